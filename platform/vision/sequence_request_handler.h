// Performs vision requests on the frames of one sequence, such as a video, one after another.
#pragma once

#include <initializer_list>
#include <memory>
#include <optional>

#include "platform/media/pixel_buffer.h"
#include "platform/result.h"
#include "platform/vision/person_segmentation_service.h"
#include "platform/vision/requests.h"

namespace platform::vision {

// Keeps what requests learn from one frame for the next: person segmentation follows the
// sequence through one segmenter, made once with the handler.
class VNSequenceRequestHandler {
 public:
  // Segments with the platform's person segmentation.
  VNSequenceRequestHandler();
  // Segments with `segmenter` instead (masks from elsewhere, such as hand-made ones in tests).
  explicit VNSequenceRequestHandler(std::unique_ptr<PersonSegmenter> segmenter);

  // Runs the requests one after another on `frame`, the next frame of the sequence. Gives nothing
  // when all of them ran, or the first failure; requests after a failed one do not run. A frame
  // without pixels fails every request.
  std::optional<Error> performRequests(std::initializer_list<VNRequest*> requests, const media::PixelBuffer& frame);

 private:
  std::unique_ptr<PersonSegmenter> segmenter_;
};

}  // namespace platform::vision
