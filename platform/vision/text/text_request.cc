#include "platform/vision/text/text_request.h"

namespace platform::vision {

Result<void> TextRecognitionRequest::perform(const media::ImageView& image) {
  return keep(recognizeText(image, options_));
}

}  // namespace platform::vision
