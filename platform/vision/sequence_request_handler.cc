#include "platform/vision/sequence_request_handler.h"

#include "platform/vision/person_segmentation_request.h"

namespace platform::vision {

VNSequenceRequestHandler::VNSequenceRequestHandler() : segmenter_(makePersonSegmenter()) {}

VNSequenceRequestHandler::VNSequenceRequestHandler(std::unique_ptr<PersonSegmenter> segmenter)
    : segmenter_(std::move(segmenter)) {}

std::optional<Error> VNSequenceRequestHandler::performRequests(std::initializer_list<VNRequest*> requests,
                                                               const media::PixelBuffer& frame) {
  if (frame.baseAddress == nullptr || frame.width < 1 || frame.height < 1) {
    return personSegmentationError(PersonSegmentationError::noPixels, "the frame holds no pixels");
  }
  const media::ImageView view = frame.view();
  for (VNRequest* request : requests) {
    std::optional<Error> failure;
    if (auto* segmentation = dynamic_cast<VNGeneratePersonSegmentationRequest*>(request)) {
      failure = segmentation->perform(view, *segmenter_);
    } else {
      failure = request->perform(view);
    }
    if (failure) return failure;
  }
  return std::nullopt;
}

}  // namespace platform::vision
