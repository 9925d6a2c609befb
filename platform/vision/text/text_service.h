// Reading the lines of text in a picture.
//
// Needs Tesseract's English and script-detection models (the tesseract-ocr-eng and -osd packages).
// Safe to call from any thread: the engines start on first use, stay for the life of the process,
// and read one picture at a time (calls from several threads wait for each other). Failures are
// reported under platform.text (platform/errors.h) with a TextRecognitionError code.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/errors.h"
#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/observations.h"
#include "platform/vision/text/text_models.h"

namespace platform::vision {

enum class TextRecognitionLevel : int {
  accurate = 0,  // Tesseract's LSTM engine
  fast = 1,      // Tesseract's older character classifier where the model has it, else the LSTM
};

struct TextRecognitionOptions {
  TextRecognitionLevel recognitionLevel = TextRecognitionLevel::accurate;
  // Whether word lists (the model's dictionaries) guide the reading.
  bool usesLanguageCorrection = true;
  // Whether script detection picks the model (see text_models.h); English otherwise.
  bool detectsScript = false;
};

enum class TextRecognitionError : int64_t {
  modelMissing = 1,       // the model could not be loaded (tesseract-ocr-* packages missing)
  recognitionFailed = 2,  // Tesseract could not analyse the picture
};

// Every line of text in `image`, in reading order, each with one candidate: its text (UTF-8, no
// line end) and confidence (0 to 1), and the line's box in the normalised frame (origin
// bottom-left). A picture without text, or too small to hold any, gives no lines; a picture
// without pixels fails with recognitionFailed.
Result<std::vector<TextObservation>> recognizeText(const media::ImageView& image,
                                                   const TextRecognitionOptions& options);

// What script detection (Tesseract's osd model) says of the text in `image`; nothing when there
// is too little text to tell. recognizeText runs this when it detects the language and the
// installed models give it a choice.
Result<std::optional<ScriptDetection>> detectTextScript(const media::ImageView& image);

// How many Tesseract engines this process has started so far (script detection's included;
// a setting served by another setting's engine starts none).
int64_t textEngineStarts();

}  // namespace platform::vision
