// Separating people from the background in the frames of a video.
//
// A segmenter follows one sequence and is used from one thread at a time; segmenters of other
// sequences may run on other threads at the same time, each with its own memory, sharing only
// the models (loaded once per process, each call running them on a runtime of its own). The
// platform's segmenter needs the selfie segmentation models fetched by the set-up.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/errors.h"
#include "platform/media/image.h"
#include "platform/media/pixel_buffer.h"
#include "platform/result.h"

namespace platform::vision {

// Failures under platform.segmentation (platform/errors.h).
enum class PersonSegmentationError : int64_t {
  noPixels = 1,  // the frame holds no pixels
  outOfMemory = 2,
  modelFailed = 4,  // the segmentation model could not be loaded or run
};

inline Error personSegmentationError(PersonSegmentationError code, std::string description) {
  return makeError(kSegmentationDomain, code, std::move(description));
}

// Speed against the quality of the mask's edges.
enum class MaskQuality : unsigned {
  accurate = 0,  // the finest edges, steadied from frame to frame
  balanced = 1,
  fast = 2,
};

// Segments the frames of one sequence, in order; may keep what it learnt from earlier frames to
// steady the masks of later ones.
class PersonSegmenter {
 public:
  virtual ~PersonSegmenter() = default;

  // The person mask of `frame` (any layout of ImageView, with pixels): a gray8 buffer with
  // memory, rows top first, where larger values mean person (129 and above: person). Its size
  // is the segmenter's choice, may differ from the frame's and between qualities, and may stand
  // in a different proportion than the frame: callers stretch it over the frame. Fails with a
  // PersonSegmentationError: noPixels for a frame without pixels, outOfMemory, or modelFailed.
  virtual Result<std::shared_ptr<media::PixelBuffer>> segment(const media::ImageView& frame, MaskQuality quality) = 0;
};

// The platform's segmenter for a new sequence: the selfie segmentation models
// (selfie_segmenter.h says what each quality does).
std::unique_ptr<PersonSegmenter> makePersonSegmenter();

}  // namespace platform::vision
