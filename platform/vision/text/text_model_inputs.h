// The inputs of the text models, filled from a picture: the whole picture for the detector, one
// line, straightened, for the recogniser. Both models take BGR channels (as they were trained),
// channels-last. Pictures are shrunk by averaging, not by sampling alone, so that the small text
// of a large photo does not break up. Pure functions of their arguments; safe from any thread.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/media/image.h"
#include "platform/vision/detection/image_to_tensor.h"

namespace platform::vision {

// Fills the top-left `width` x `height` cells of a `canvasWidth` x `canvasHeight` x 3 tensor with
// the whole picture scaled to that size, normalised with the ImageNet mean and deviation; the
// rest of the canvas holds zeros (the mean). The picture holds pixels (holdsPixels).
void fillDetectorInput(const media::ImageView& image, int width, int height, int canvasWidth, int canvasHeight,
                       float* tensor);

// Fills the left `width` columns of a `height` x `canvasWidth` x 3 tensor with the picture under
// `line` (picture pixels; its width runs along the text), values mapped to [-1, 1]; the rest of
// the canvas holds zeros. Where the line reaches outside the picture it reads the nearest edge.
void fillLineInput(const media::ImageView& image, const RotatedRect& line, int width, int height, int canvasWidth,
                   float* tensor);

// The picture under `line`, straightened: an RGB picture `height` pixels high and as wide as the
// line's proportions make it (at most `maxWidth`), for a reader that takes plain pictures.
media::Image straightenedLine(const media::ImageView& image, const RotatedRect& line, int height, int maxWidth);

// `line` (picture pixels) grown by `across` of its height above and below and by `along` of its
// height at either end, but no further than the picture's edges: what lies beyond them would be
// the edge's pixels drawn out into bands, which Tesseract takes for ink.
RotatedRect withMargins(const RotatedRect& line, double across, double along, int width, int height);

struct GreyImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // rows top first, no padding
};

// A line picture as Tesseract reads it: one grey channel (luma), dark text on a light ground.
// Tesseract thresholds colour pictures channel by channel, which loses black text on yellow
// (whose blue channel is dark throughout), and its thresholds find no text in some light text on
// dark grounds. The ground is the side of the picture's Otsu threshold that holds most of its top
// and bottom rows (the line's margins); a picture whose ground is darker than its text is
// inverted.
GreyImage darkTextOnLight(const media::Image& line);

}  // namespace platform::vision
