// A picture whose person mask is known exactly: the man of the webcam fixture, cut out along an
// outline traced by hand just inside his head, neck and shoulders, laid over a picture with no
// person. Segmentation tests and benchmarks measure masks against it.
#pragma once

#include <vector>

#include "platform/media/image.h"
#include "platform/media/pixel_buffer.h"

namespace test_support {

struct OutlinePoint {
  double x, y;
};

// The outline of the man in people/webcam_400x300.jpg, in its pixels (x right, y down), traced
// just inside his edge so that every point inside is person; it closes along the bottom edge.
const std::vector<OutlinePoint>& webcamOutline();

// How much of each pixel of a picture of width x height lies inside `outline` (given for a
// picture of outlineWidth x outlineHeight and scaled to this one), 0 to 1, rows top first:
// the true mask, with edge pixels partly covered.
std::vector<float> outlineCoverage(const std::vector<OutlinePoint>& outline, int outlineWidth, int outlineHeight,
                                   int width, int height);

// `person` where `coverage` says so, `background` elsewhere, blended at the edge pixels. All
// three have the same size.
platform::media::Image composite(const platform::media::Image& person, const platform::media::Image& background,
                                 const std::vector<float>& coverage);

// `picture` resampled to width x height, bilinearly.
platform::media::Image stretched(const platform::media::Image& picture, int width, int height);

// The webcam man over the coast picture, both from the committed fixtures stretched to width x
// height (4:3), and its true mask. The edge between them is as sharp as the size allows, however
// large: it is drawn at that size, not stretched.
struct KnownMaskPicture {
  platform::media::Image picture;
  std::vector<float> truth;
};
// `shift` moves the man (and his mask) that many pixels to the right, for sequences in which he
// moves.
KnownMaskPicture webcamManOnTheCoast(int width = 400, int height = 300, int shift = 0);

// How far a mask is from a true one, with the mask stretched bilinearly over the picture (as the
// cut-out stretches it) and a pixel counted as person at 129 and above.
struct MaskError {
  double edge = 0;     // mean |mask - truth| (0 to 1) over the pixels within `band` of the true edge
  double whole = 0;    // the same over the whole picture
  double iou = 0;      // intersection over union of person pixels and true ones (truth >= 0.5)
  double inside = 0;   // the share of person pixels among those farther than `band` inside the edge
  double outside = 0;  // the share of person pixels among those farther than `band` outside it
};
MaskError maskError(const platform::media::PixelBuffer& mask, const std::vector<float>& truth, int width, int height,
                    int band);

}  // namespace test_support
