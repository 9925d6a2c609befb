#include "platform/vision/image_request_handler.h"

#include <utility>

#include "platform/media/still_image.h"

namespace platform::vision {

VNImageRequestHandler::VNImageRequestHandler(std::string path, ImageOrientation) : path_(std::move(path)) {}

std::optional<Error> VNImageRequestHandler::performRequests(std::initializer_list<VNRequest*> requests) {
  if (!picture_) picture_.emplace(media::decodeStillImage(path_));
  if (!picture_->ok()) return picture_->error();
  const media::ImageView view = picture_->value().view();
  for (VNRequest* request : requests) {
    if (std::optional<Error> failure = request->perform(view)) return failure;
  }
  return std::nullopt;
}

}  // namespace platform::vision
