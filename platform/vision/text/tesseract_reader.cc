#include "platform/vision/text/tesseract_reader.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cmath>

#include "platform/errors.h"
#include "platform/json.h"
#include "platform/vision/text/line_choice.h"
#include "platform/vision/text/text_models.h"
#include "platform/vision/text/text_scripts.h"
#include "platform/vision/text/text_service.h"
#include "platform/vision/text/word_order.h"

namespace platform::vision {

namespace {

using tesseract::TessBaseAPI;

// Sauvola's local threshold keeps unevenly lit lines readable where one global threshold loses
// the darker half.
constexpr const char* kThresholdingMethod = "2";  // Sauvola

// The resolution Tesseract would otherwise assume, after a warning, for pictures without one.
constexpr int kAssumedPixelsPerInch = 70;

Error modelMissing(const std::string& models) {
  return makeError(
      kTextDomain, TextRecognitionError::modelMissing,
      "The text recognition model \"" + models + "\" could not be loaded from " + kTesseractModelFolder + ".");
}

// Whether the words of a reading must be put in order by hand: Tesseract's own line text keeps a
// left-to-right order around right-to-left words, and spaces between the words it splits Han,
// kana and Thai into.
bool needsWordOrder(std::string_view text) {
  for (char32_t c : codePoints(text)) {
    const std::optional<TextScript> script = scriptOfCharacter(c);
    if ((script && rightToLeft(*script)) || writtenWithoutSpaces(c)) return true;
  }
  return false;
}

std::string orderedWords(TessBaseAPI& engine) {
  std::vector<PlacedWord> words;
  std::unique_ptr<tesseract::ResultIterator> iterator(engine.GetIterator());
  if (!iterator) return "";
  do {
    std::unique_ptr<char[]> word(iterator->GetUTF8Text(tesseract::RIL_WORD));
    if (!word) continue;
    int left = 0, top = 0, right = 0, bottom = 0;
    iterator->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom);
    words.push_back(PlacedWord{replacingInvalidUtf8(word.get()), left, right, bottom - top});
  } while (iterator->Next(tesseract::RIL_WORD));
  return lineFromWords(std::move(words));
}

// The confidence (0 to 1) of the least sure word with a letter in it; 1 when there is none.
float leastWordConfidence(TessBaseAPI& engine) {
  float least = 1;
  std::unique_ptr<tesseract::ResultIterator> iterator(engine.GetIterator());
  if (!iterator) return least;
  do {
    std::unique_ptr<char[]> word(iterator->GetUTF8Text(tesseract::RIL_WORD));
    if (!word) continue;
    const std::vector<char32_t> characters = codePoints(word.get());
    if (std::none_of(characters.begin(), characters.end(), [](char32_t c) { return scriptOfCharacter(c).has_value(); })) {
      continue;
    }
    least = std::min(least, std::clamp(iterator->Confidence(tesseract::RIL_WORD) / 100.0f, 0.0f, 1.0f));
  } while (iterator->Next(tesseract::RIL_WORD));
  return least;
}

// The sizes, of the one the picture comes at, that a line Tesseract finds nothing in is read at
// again.
constexpr double kOtherSizes[] = {1.25, 0.8};

// `line` scaled by `factor`, bilinear.
GreyImage scaled(const GreyImage& line, double factor) {
  GreyImage out;
  out.width = std::max(1, static_cast<int>(std::lround(line.width * factor)));
  out.height = std::max(1, static_cast<int>(std::lround(line.height * factor)));
  out.pixels.resize(static_cast<size_t>(out.width) * out.height);
  for (int y = 0; y < out.height; ++y) {
    const double sy = std::clamp((y + 0.5) / factor - 0.5, 0.0, line.height - 1.0);
    const int y0 = static_cast<int>(sy), y1 = std::min(y0 + 1, line.height - 1);
    const double ay = sy - y0;
    for (int x = 0; x < out.width; ++x) {
      const double sx = std::clamp((x + 0.5) / factor - 0.5, 0.0, line.width - 1.0);
      const int x0 = static_cast<int>(sx), x1 = std::min(x0 + 1, line.width - 1);
      const double ax = sx - x0;
      auto at = [&](int px, int py) { return static_cast<double>(line.pixels[static_cast<size_t>(py) * line.width + px]); };
      const double top = at(x0, y0) + (at(x1, y0) - at(x0, y0)) * ax;
      const double bottom = at(x0, y1) + (at(x1, y1) - at(x0, y1)) * ax;
      out.pixels[static_cast<size_t>(y) * out.width + x] = static_cast<uint8_t>(std::lround(top + (bottom - top) * ay));
    }
  }
  return out;
}

// One reading of the line picture as a single line of text.
std::optional<TesseractReading> readLine(TessBaseAPI& engine, const GreyImage& line) {
  engine.SetPageSegMode(tesseract::PSM_SINGLE_LINE);
  engine.SetImage(line.pixels.data(), line.width, line.height, 1, line.width);
  engine.SetSourceResolution(kAssumedPixelsPerInch);
  if (engine.Recognize(nullptr) != 0) {
    engine.Clear();
    return std::nullopt;
  }
  std::unique_ptr<char[]> text(engine.GetUTF8Text());
  if (!text) {
    engine.Clear();
    return std::nullopt;
  }
  std::string string = replacingInvalidUtf8(text.get());
  if (needsWordOrder(string)) string = orderedWords(engine);
  const int confidence = engine.MeanTextConf();
  const float leastWord = leastWordConfidence(engine);
  engine.Clear();
  return TesseractReading{withoutEdgeMarks(std::move(string)), std::clamp(confidence / 100.0f, 0.0f, 1.0f), leastWord};
}

}  // namespace

TesseractEngines& TesseractEngines::shared() {
  // Kept for the life of the process and never destroyed: Tesseract's own word-list cache is a
  // static made on the first model load, after this one, so it is gone before an exit-time
  // destructor here could hand its word lists back.
  static TesseractEngines* const engines = new TesseractEngines;
  return *engines;
}

TesseractEngines::TesseractEngines() {
  setMsgSeverity(L_SEVERITY_NONE);  // Leptonica's complaints would land on standard error
}

TesseractEngines::~TesseractEngines() = default;

const std::vector<std::string>& TesseractEngines::installedModels() {
  if (!installed_) installed_ = installedTextModels(kTesseractModelFolder);
  return *installed_;
}

Result<TessBaseAPI*> TesseractEngines::engine(const std::string& models, bool dictionaries) {
  const auto key = std::make_pair(models, dictionaries);
  if (const auto found = engines_.find(key); found != engines_.end()) return found->second.get();
  std::vector<std::string> names = {"debug_file", "thresholding_method"}, values = {"/dev/null", kThresholdingMethod};
  if (!dictionaries) {
    for (const char* dawg : {"load_system_dawg", "load_freq_dawg", "load_punc_dawg", "load_number_dawg",
                             "load_unambig_dawg", "load_bigram_dawg"}) {
      names.push_back(dawg);
      values.push_back("0");
    }
  }
  std::unique_ptr<TessBaseAPI> started = start(models, false, names, values);
  if (!started) return modelMissing(models);
  return engines_.emplace(key, std::move(started)).first->second.get();
}

Result<TessBaseAPI*> TesseractEngines::scriptDetector() {
  if (!scriptDetector_) {
    scriptDetector_ = start("osd", true, {"debug_file"}, {"/dev/null"});
    if (!scriptDetector_) return modelMissing("osd");
  }
  return scriptDetector_.get();
}

std::unique_ptr<TessBaseAPI> TesseractEngines::start(const std::string& models, bool legacy,
                                                     const std::vector<std::string>& names,
                                                     const std::vector<std::string>& values) {
  auto engine = std::make_unique<TessBaseAPI>();
  // Tesseract writes its diagnostics through this global setting; set it before the first model
  // loads so that nothing reaches standard error.
  engine->SetVariable("debug_file", "/dev/null");
  const tesseract::OcrEngineMode mode = legacy ? tesseract::OEM_TESSERACT_ONLY : tesseract::OEM_LSTM_ONLY;
  if (engine->Init(kTesseractModelFolder, models.c_str(), mode, nullptr, 0, &names, &values, false) != 0) {
    return nullptr;
  }
  started_.push_back(models);
  return engine;
}

std::optional<TesseractReading> readLineWithTesseract(TessBaseAPI& engine, const GreyImage& line) {
  if (line.width <= 0 || line.height <= 0) return std::nullopt;
  std::optional<TesseractReading> reading = readLine(engine, line);
  // Tesseract's line finding now and then finds no line at one size of a picture that holds
  // nothing else (an Arabic line, its dots taken for specks) and finds it at another; its raw-line
  // mode reads such lines but gives them no confidence.
  for (double scale : kOtherSizes) {
    if (!reading || !reading->text.empty()) break;
    reading = readLine(engine, scaled(line, scale));
  }
  return reading;
}

bool inWordList(TessBaseAPI& engine, const std::string& word) { return engine.IsValidWord(word.c_str()) != 0; }

}  // namespace platform::vision
