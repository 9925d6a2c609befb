// The installed Tesseract models, and the choice among them that script detection would make.
// recognizeText reads again with the Latin script model, else English (installedTextModels); it
// neither detects the script nor calls chooseTextModel.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform::vision {

// Where Debian's tesseract-ocr packages put the models (fixed by the packages, not configurable).
inline constexpr const char* kTesseractModelFolder = "/usr/share/tesseract-ocr/5/tessdata";

// The model that reads a picture when nothing else is known about it.
inline constexpr const char* kDefaultTextModel = "eng";

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

// The model (or "+"-joined models) that reads a picture, given what script detection said and
// which models are installed:
// - no detection, or one below kScriptConfidenceNeeded: the default (English);
// - Latin: English (on English text the general Latin-script model, alone or as a second
//   reading, makes more mistakes and takes twice as long: bench/look_bench.sh);
// - another script: that script's model ("Cyrillic" or "script/Cyrillic"; Han tries the
//   simplified, then the traditional model), or the default when none is installed.
std::string chooseTextModel(const std::optional<ScriptDetection>& detection, const std::vector<std::string>& installed);

// True when script detection can change the choice for some script, given the installed models;
// when it cannot, there is no need to run it.
bool scriptDetectionMatters(const std::vector<std::string>& installed);

}  // namespace platform::vision
