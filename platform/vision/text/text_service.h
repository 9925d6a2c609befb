// Reading the lines of text in a picture, in whatever script they are written.
//
// Lines are found by the PP-OCRv4 text detector and read by its recogniser (models/), which reads
// Chinese and Latin letters. At the accurate level each line's script is found from the picture:
// the recogniser's reading settles Latin and Han lines it reads surely and whole (line_scripts.h);
// other lines are read by Tesseract's models for the likeliest scripts (text_models.h: Japanese,
// Korean, Cyrillic, Greek, Thai, Arabic, Chinese, the tesseract-ocr-* packages) until one is sure
// of the line. Tesseract's Latin model reads again the Latin lines the recogniser is unsure of or
// whose accents it cannot write (line_choice.h), and the model of the language the picture's
// accents and words name puts ß, ñ and the Vietnamese vowels back (latin_languages.h). Pieces of
// one line that the detector found apart are joined (line_joining.h); right-to-left lines come out
// in logical order (word_order.h). A reader is started the first time its script is seen and
// kept: pictures of Latin and Chinese text start no other.
//
// Safe to call from any thread: models and engines start on first use and stay for the life of
// the process; the neural models run on runtimes of each caller's own, Tesseract reads for one
// caller at a time. Failures are reported under platform.text (platform/errors.h) with a
// TextRecognitionError code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/observations.h"
#include "platform/vision/text/text_models.h"

namespace platform::vision {

enum class TextRecognitionLevel : int {
  accurate = 0,  // every line in its own script's reader, Tesseract where it reads better
  fast = 1,      // the neural reader alone: Latin and Chinese
};

// No option chooses a language or script: each line's script is found from the picture.
struct TextRecognitionOptions {
  TextRecognitionLevel recognitionLevel = TextRecognitionLevel::accurate;
  // Whether word lists (Tesseract's dictionaries) guide the lines Tesseract reads, and the Latin
  // lines' language is looked for.
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

// How many Tesseract engines this process has started so far (script detection's included).
int64_t textEngineStarts();

// The models of the Tesseract engines this process has started, in the order started ("Latin",
// "jpn", "ukr+rus+eng" ...).
std::vector<std::string> textEnginesStarted();

}  // namespace platform::vision
