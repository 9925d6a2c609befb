// Reading the lines of text in a picture.
//
// Lines are found by the PP-OCRv4 text detector and read by its recogniser (models/); Tesseract
// (its Latin script model, else English; the tesseract-ocr-* packages) reads again the lines the
// recogniser is unsure of or whose accents it cannot write (line_choice.h). Safe to call from any
// thread: models and engines start on first use and stay for the life of the process; the neural
// models run on runtimes of each caller's own, Tesseract reads for one caller at a time. Failures
// are reported under platform.text (platform/errors.h) with a TextRecognitionError code.
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
  accurate = 0,  // the neural reader, with Tesseract for the lines it reads better
  fast = 1,      // the neural reader alone
};

// The readers cover Latin and Chinese script; no option chooses a language or script.
struct TextRecognitionOptions {
  TextRecognitionLevel recognitionLevel = TextRecognitionLevel::accurate;
  // Whether word lists (Tesseract's dictionaries) guide the lines Tesseract reads.
  bool usesLanguageCorrection = true;
};

enum class TextRecognitionError : int64_t {
  modelMissing = 1,       // a model could not be loaded (models/ not fetched, tesseract-ocr-* missing)
  recognitionFailed = 2,  // a reader could not analyse the picture
};

// Every line of text in `image`, in reading order, each with one candidate: its text (UTF-8, no
// line end) and confidence (0 to 1), and the line's box in the normalised frame (origin
// bottom-left). A picture without text, or too small to hold any, gives no lines; a picture
// without pixels fails with recognitionFailed.
Result<std::vector<TextObservation>> recognizeText(const media::ImageView& image,
                                                   const TextRecognitionOptions& options);

// What script detection (Tesseract's osd model) says of the text in `image`; nothing when there
// is too little text to tell. recognizeText does not use it: no program calls it, and it starts
// the osd engine (tesseract-ocr-osd) on first use.
Result<std::optional<ScriptDetection>> detectTextScript(const media::ImageView& image);

// How many Tesseract engines this process has started so far (script detection's included;
// a setting served by another setting's engine starts none).
int64_t textEngineStarts();

}  // namespace platform::vision
