// The text recognition request.
#pragma once

#include "platform/vision/observations.h"
#include "platform/vision/requests.h"
#include "platform/vision/text/text_service.h"

namespace platform::vision {

// Lines of text in reading order, each with its best reading and the line's box.
class TextRecognitionRequest : public RequestWithResults<TextObservation> {
 public:
  void setRecognitionLevel(TextRecognitionLevel level) { options_.recognitionLevel = level; }
  void setUsesLanguageCorrection(bool value) { options_.usesLanguageCorrection = value; }
  void setDetectsScript(bool value) { options_.detectsScript = value; }

  Result<void> perform(const media::ImageView& image) override;

 private:
  TextRecognitionOptions options_;
};

}  // namespace platform::vision
