// Which Tesseract models read the lines of each script, among the models installed.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/vision/text/text_scripts.h"

namespace platform::vision {

// Where Debian's tesseract-ocr packages put the models (fixed by the packages, not configurable).
inline constexpr const char* kTesseractModelFolder = "/usr/share/tesseract-ocr/5/tessdata";

// Script detection below this confidence is treated as unsure. Tesseract reports about 20 and
// more for a paragraph of text; stray marks in photos come out below 10.
inline constexpr float kScriptConfidenceNeeded = 10.0f;

// What script detection reported for a picture.
struct ScriptDetection {
  std::string script;  // as Tesseract names it: "Latin", "Cyrillic", "Han", ...
  float confidence = 0;
};

// The recognition models in `folder`, as Tesseract's language names: "eng" for eng.traineddata
// at the top, "script/Latin" for script/Latin.traineddata. The script-detection model ("osd")
// and the equation model ("equ") are left out; they do not read text. Sorted.
std::vector<std::string> installedTextModels(const std::string& folder);

// The models, "+"-joined as Tesseract takes them, that read lines of `script`: its languages'
// models, whose word lists correct the reading; with `english`, English after them for the
// English words that signs mix in (Tesseract tries the later models on the words the first reads
// poorly, and English then and again takes a word of the language); the script's own model where
// no language model of it is installed (it covers every language of the script, and English
// letters). Nothing when neither is installed. Latin lines are read by the Latin script model,
// else English.
//   Japanese: jpn (its model reads English)   Korean: kor+Hangul (the script model's spaces are
//   worse than kor's, its English better)     Cyrillic: rus+ukr    Greek: ell    Thai: tha
//   Arabic: ara     Han: chi_tra (the recogniser reads Chinese; its alphabet lacks traditional
//   characters)
// `firstLanguage`, when given and installed, moves that language's model to the front (Tesseract
// reads every word with the first model, the others only where it reads poorly): "ukr" gives
// ukr+rus, for a line whose letters are Ukrainian.
std::optional<std::string> scriptReaderModels(TextScript script, const std::vector<std::string>& installed,
                                              bool english = false, std::string_view firstLanguage = {});

// Whether `text` has letters only Ukrainian writes among the Cyrillic languages read here (і, ї,
// є, ґ): the Russian-first reader then reads the line again Ukrainian-first.
bool writesUkrainian(std::string_view text);

}  // namespace platform::vision
