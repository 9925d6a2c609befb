// Tesseract as a reader of single lines: the engines of this process, one per set of models
// ("jpn", "ukr+rus+eng"), each started the first time it is asked for and kept for the life of
// the process, and the reading of one line picture with one of them. Nothing outside the text
// service sees Tesseract's headers. The engines are shared: callers hold lock() while they use
// them (Tesseract reads for one caller at a time).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/result.h"
#include "platform/vision/text/text_model_inputs.h"

namespace tesseract {
class TessBaseAPI;
}

namespace platform::vision {

struct TesseractReading {
  std::string text;  // UTF-8, words in reading order, no line end
  float confidence = 0;  // 0 to 1
  // Of its least sure word of letters (1 when it has none): a word of another alphabet forced
  // into this reader's letters stands out of a line it otherwise reads surely.
  float leastWordConfidence = 1;
};

class TesseractEngines {
 public:
  static TesseractEngines& shared();
  ~TesseractEngines();

  std::mutex& lock() { return lock_; }
  // Engines started so far, the script detector's included, and their models in that order.
  int64_t starts() const { return static_cast<int64_t>(started_.size()); }
  const std::vector<std::string>& started() const { return started_; }
  // The models in Debian's model folder (text_models.h).
  const std::vector<std::string>& installedModels();

  // The engine that reads with `models` ("+"-joined, the first one's word lists and layout
  // leading), with or without word lists; fails with modelMissing when a model cannot be loaded.
  Result<tesseract::TessBaseAPI*> engine(const std::string& models, bool dictionaries);
  // The script and orientation detector (osd).
  Result<tesseract::TessBaseAPI*> scriptDetector();

 private:
  TesseractEngines();
  std::unique_ptr<tesseract::TessBaseAPI> start(const std::string& models, bool legacy,
                                                const std::vector<std::string>& names,
                                                const std::vector<std::string>& values);

  std::mutex lock_;
  std::vector<std::string> started_;
  std::optional<std::vector<std::string>> installed_;
  std::map<std::pair<std::string, bool>, std::unique_ptr<tesseract::TessBaseAPI>> engines_;
  std::unique_ptr<tesseract::TessBaseAPI> scriptDetector_;
};

// Tesseract's reading of one line picture, its words put in the order a reader of the line's
// script expects: right-to-left lines (Arabic) in logical order, with the runs of left-to-right
// words among them (English, numbers) kept in their own order, and no direction marks. Between
// two words of scripts written without spaces (Han, kana, Thai) a space is kept only where the
// picture shows a gap. Nothing when Tesseract cannot read the picture.
std::optional<TesseractReading> readLineWithTesseract(tesseract::TessBaseAPI& engine, const GreyImage& line);

// Whether `word` is in the word lists of the engine's first model.
bool inWordList(tesseract::TessBaseAPI& engine, const std::string& word);

}  // namespace platform::vision
