#include "platform/vision/image_request_handler.h"

#include <utility>

#include "platform/media/still_image.h"

namespace platform::vision {

ImageRequestHandler::ImageRequestHandler(std::string path) : path_(std::move(path)) {}

Result<void> ImageRequestHandler::perform(std::initializer_list<Request*> requests) {
  if (!picture_) picture_.emplace(media::decodeStillImage(path_));
  if (!picture_->ok()) return picture_->error();
  const media::ImageView view = picture_->value().view();
  for (Request* request : requests) {
    if (Result<void> done = request->perform(view); !done) return done;
  }
  return {};
}

}  // namespace platform::vision
