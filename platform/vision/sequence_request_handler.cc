#include "platform/vision/sequence_request_handler.h"

#include <typeinfo>

namespace platform::vision {

Result<void> SequenceRequestHandler::perform(std::initializer_list<Request*> requests,
                                             const media::PixelBuffer& frame) {
  const media::ImageView view = frame.view();
  for (Request* request : requests) {
    Request& performed = *request;
    if (Result<void> done = performed.performInSequence(view, memories_[std::type_index(typeid(performed))]); !done) {
      return done;
    }
  }
  return {};
}

}  // namespace platform::vision
