#include "platform/vision/text/text_service.h"

#include <leptonica/allheaders.h>
#include <omp.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/json.h"
#include "platform/nn/model_errors.h"
#include "platform/vision/pixels.h"
#include "platform/vision/text/line_choice.h"
#include "platform/vision/text/neural_text_reader.h"
#include "platform/vision/text/text_boxes.h"
#include "platform/vision/text/text_model_inputs.h"
#include "platform/vision/text/text_models.h"

namespace platform::vision {

namespace {

using tesseract::TessBaseAPI;

// Lines are cut out for Tesseract at this height: its boxes hold the text with a margin of about
// half its height, which leaves letters of the size Tesseract reads best.
constexpr int kTesseractLineHeight = 64;
constexpr int kLongestTesseractLine = 8000;
// Of the line's height, above and below: more reaches into the next line of small print. Half
// the height goes on either end.
constexpr double kTesseractMargin = 0.15;

// The model that reads lines again: Latin script where installed (its alphabet has the accented
// letters the recogniser lacks), English otherwise.
constexpr const char* kLatinTextModel = "Latin";

// Sauvola's local threshold keeps unevenly lit lines readable where one global threshold loses
// the darker half.
constexpr const char* kThresholdingMethod = "2";  // Sauvola

// Lines read with less confidence than this are left out: in photos they are leaves, edges and
// textures that sparse segmentation took for text, rarely real text.
constexpr float kLeastLineConfidence = 0.5f;

// Pictures narrower or lower than this hold no readable text (Tesseract refuses them).
constexpr int kSmallestReadableSide = 8;

// The resolution Tesseract would otherwise assume, after a warning, for pictures without one.
constexpr int kAssumedPixelsPerInch = 70;

struct EngineSettings {
  std::string models;
  tesseract::OcrEngineMode mode = tesseract::OEM_LSTM_ONLY;
  bool dictionaries = true;
  auto operator<=>(const EngineSettings&) const = default;
};

Error modelMissing(const std::string& models) {
  return makeError(
      kTextDomain, TextRecognitionError::modelMissing,
      "The text recognition model \"" + models + "\" could not be loaded from " + kTesseractModelFolder + ".");
}

Error recognitionFailed() {
  return makeError(kTextDomain, TextRecognitionError::recognitionFailed,
                   "The text in the picture could not be recognised.");
}

// The engines of this process, one per setting that has been asked for, each started on first
// use and kept. A run with fixed options (as a program makes) uses one recognition engine; the
// script detector starts only for detectTextScript.
class TextEngines {
 public:
  static TextEngines& shared() {
    static TextEngines engines;
    return engines;
  }

  std::mutex& lock() { return lock_; }
  int64_t starts() const { return starts_; }

  const std::vector<std::string>& models() {
    if (!models_) models_ = installedTextModels(kTesseractModelFolder);
    return *models_;
  }

  Result<TessBaseAPI*> recogniser(const EngineSettings& settings) {
    if (const auto found = engines_.find(settings); found != engines_.end()) return found->second.get();
    if (const auto alias = aliases_.find(settings); alias != aliases_.end()) return alias->second;
    std::vector<std::string> names = {"debug_file", "thresholding_method"}, values = {"/dev/null", kThresholdingMethod};
    if (!settings.dictionaries) {
      for (const char* dawg : {"load_system_dawg", "load_freq_dawg", "load_punc_dawg", "load_number_dawg",
                               "load_unambig_dawg", "load_bigram_dawg"}) {
        names.push_back(dawg);
        values.push_back("0");
      }
    }
    std::unique_ptr<TessBaseAPI> engine = start(settings.models, settings.mode, names, values);
    if (!engine && settings.mode != tesseract::OEM_LSTM_ONLY) {
      // The older classifier is not in every model (Debian's English has only the LSTM): such a
      // model reads with its LSTM engine, the one the accurate level uses.
      EngineSettings lstm = settings;
      lstm.mode = tesseract::OEM_LSTM_ONLY;
      Result<TessBaseAPI*> fallback = recogniser(lstm);
      if (fallback) aliases_[settings] = fallback.value();
      return fallback;
    }
    if (!engine) return modelMissing(settings.models);
    return engines_.emplace(settings, std::move(engine)).first->second.get();
  }

  Result<TessBaseAPI*> scriptDetector() {
    if (!scriptDetector_) {
      scriptDetector_ = start("osd", tesseract::OEM_TESSERACT_ONLY, {"debug_file"}, {"/dev/null"});
      if (!scriptDetector_) return modelMissing("osd");
    }
    return scriptDetector_.get();
  }

 private:
  TextEngines() {
    setMsgSeverity(L_SEVERITY_NONE);  // Leptonica's complaints would land on standard error
  }

  std::unique_ptr<TessBaseAPI> start(const std::string& models, tesseract::OcrEngineMode mode,
                                     const std::vector<std::string>& names, const std::vector<std::string>& values) {
    auto engine = std::make_unique<TessBaseAPI>();
    // Tesseract writes its diagnostics through this global setting; set it before the first
    // model loads so that nothing reaches standard error.
    engine->SetVariable("debug_file", "/dev/null");
    if (engine->Init(kTesseractModelFolder, models.c_str(), mode, nullptr, 0, &names, &values, false) != 0) {
      return nullptr;
    }
    ++starts_;
    return engine;
  }

  std::mutex lock_;
  int64_t starts_ = 0;
  std::optional<std::vector<std::string>> models_;
  std::map<EngineSettings, std::unique_ptr<TessBaseAPI>> engines_;
  std::map<EngineSettings, TessBaseAPI*> aliases_;  // settings served by another setting's engine
  std::unique_ptr<TessBaseAPI> scriptDetector_;
};

// The picture as Tesseract takes it: 1 or 3 bytes per pixel. BGRA is copied to RGB.
struct TesseractPixels {
  const unsigned char* data = nullptr;
  int bytesPerPixel = 0;
  int bytesPerLine = 0;
  std::vector<unsigned char> copy;
};

TesseractPixels tesseractPixels(const media::ImageView& image) {
  TesseractPixels pixels;
  if (image.format != media::PixelFormat::bgra8) {
    pixels.data = image.data;
    pixels.bytesPerPixel = media::bytesPerPixel(image.format);
    pixels.bytesPerLine = static_cast<int>(image.bytesPerRow);
    return pixels;
  }
  pixels.copy.resize(static_cast<size_t>(image.width) * image.height * 3);
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* in = image.row(y);
    unsigned char* out = pixels.copy.data() + static_cast<size_t>(y) * image.width * 3;
    for (int x = 0; x < image.width; ++x) {
      out[3 * x] = in[4 * x + 2];
      out[3 * x + 1] = in[4 * x + 1];
      out[3 * x + 2] = in[4 * x];
    }
  }
  pixels.data = pixels.copy.data();
  pixels.bytesPerPixel = 3;
  pixels.bytesPerLine = image.width * 3;
  return pixels;
}

std::optional<ScriptDetection> detectScript(TessBaseAPI& detector, const TesseractPixels& pixels,
                                            const media::ImageView& image) {
  detector.SetImage(pixels.data, image.width, image.height, pixels.bytesPerPixel, pixels.bytesPerLine);
  detector.SetSourceResolution(kAssumedPixelsPerInch);
  int degrees = 0;
  float orientationConfidence = 0, scriptConfidence = 0;
  const char* script = nullptr;
  const bool found = detector.DetectOrientationScript(&degrees, &orientationConfidence, &script, &scriptConfidence);
  std::optional<ScriptDetection> detection;
  if (found && script != nullptr) detection = ScriptDetection{script, scriptConfidence};
  detector.Clear();
  return detection;
}

// A failure of the neural models, under the text service's own codes.
Error neuralFailure(const Error& error) {
  const bool missing = error.code == static_cast<int64_t>(nn::ModelError::unreadableFile) ||
                       error.code == static_cast<int64_t>(nn::ModelError::malformed) ||
                       error.code == static_cast<int64_t>(nn::ModelError::unsupported);
  return missing ? wrapError(kTextDomain, TextRecognitionError::modelMissing, error)
                 : wrapError(kTextDomain, TextRecognitionError::recognitionFailed, error);
}

// The axis-aligned bounds of `box` (picture pixels) inside the picture, in the normalised frame.
NormalizedRect normalizedBounds(const RotatedRect& box, int width, int height) {
  const Corners corners = cornersOf(box);
  double left = width, right = 0, top = height, bottom = 0;
  for (const PicturePoint& p : corners.points) {
    left = std::min(left, p.x);
    right = std::max(right, p.x);
    top = std::min(top, p.y);
    bottom = std::max(bottom, p.y);
  }
  left = std::clamp(left, 0.0, double(width));
  right = std::clamp(right, left, double(width));
  top = std::clamp(top, 0.0, double(height));
  bottom = std::clamp(bottom, top, double(height));
  return NormalizedRect{left / width, (height - bottom) / height, (right - left) / width, (bottom - top) / height};
}

// Keeps OpenMP to the calling thread while Tesseract runs: its parallel loops cost more in
// waiting threads than they win on small pictures, and the machine is shared.
class SingleThreaded {
 public:
  SingleThreaded() : saved_(omp_get_max_active_levels()) { omp_set_max_active_levels(0); }
  ~SingleThreaded() { omp_set_max_active_levels(saved_); }

 private:
  int saved_;
};

// Tesseract's reading of one line, cut out of the picture and straightened.
std::optional<LineReading> readLineWithTesseract(TessBaseAPI& engine, const media::ImageView& image,
                                                 const RotatedRect& box) {
  // Tesseract wants some background around the letters: the detector's box is drawn close.
  RotatedRect margined = box;
  margined.height = box.height * (1 + 2 * kTesseractMargin);
  margined.width = box.width + box.height;
  const int height = static_cast<int>(std::lround(kTesseractLineHeight * (1 + 2 * kTesseractMargin)));
  const media::Image line = straightenedLine(image, margined, height, kLongestTesseractLine);
  engine.SetPageSegMode(tesseract::PSM_SINGLE_LINE);
  engine.SetImage(line.rgb.data(), line.width, line.height, 3, line.width * 3);
  engine.SetSourceResolution(kAssumedPixelsPerInch);
  if (engine.Recognize(nullptr) != 0) {
    engine.Clear();
    return std::nullopt;
  }
  std::unique_ptr<char[]> text(engine.GetUTF8Text());
  const int confidence = engine.MeanTextConf();
  engine.Clear();
  if (!text) return std::nullopt;
  std::string string = withoutEdgeMarks(replacingInvalidUtf8(text.get()));
  const float sure = std::clamp(confidence / 100.0f, 0.0f, 1.0f);
  return LineReading{std::move(string), sure, sure};
}

// The engine that reads doubtful lines again, started on first use.
Result<TessBaseAPI*> secondReader(TextEngines& engines, const TextRecognitionOptions& options) {
  const std::vector<std::string>& installed = engines.models();
  EngineSettings settings;
  settings.models = std::find(installed.begin(), installed.end(), kLatinTextModel) != installed.end()
                        ? kLatinTextModel
                        : kDefaultTextModel;
  settings.dictionaries = options.usesLanguageCorrection;
  return engines.recogniser(settings);
}

}  // namespace

Result<std::vector<TextObservation>> recognizeText(const media::ImageView& image,
                                                   const TextRecognitionOptions& options) {
  if (!holdsPixels(image)) return recognitionFailed();
  if (image.width < kSmallestReadableSide || image.height < kSmallestReadableSide) {
    return std::vector<TextObservation>{};
  }
  Result<std::vector<NeuralLine>> read = readLinesNeurally(image);
  if (!read.ok()) return neuralFailure(read.error());
  Result<const Alphabet*> alphabet = recogniserAlphabet();
  if (!alphabet.ok()) return neuralFailure(alphabet.error());
  std::vector<LineReading> readings;
  for (const NeuralLine& line : read.value()) {
    readings.push_back(LineReading{line.text, line.confidence, line.leastConfidence});
  }
  if (options.recognitionLevel == TextRecognitionLevel::accurate) {
    TextEngines& engines = TextEngines::shared();
    std::unique_lock<std::mutex> hold(engines.lock(), std::defer_lock);
    std::optional<SingleThreaded> oneThread;
    TessBaseAPI* engine = nullptr;
    std::vector<bool> readAgain(readings.size(), false);
    // Accents in a picture's text say its language has them, and then the recogniser's other
    // Latin lines are suspect too (it reads letters it lacks as their plain forms).
    bool accentsSeen =
        std::any_of(readings.begin(), readings.end(), [](const LineReading& r) { return accentedLetters(r.text) > 0; });
    auto readAgainWithTesseract = [&](size_t i) -> Result<void> {
      if (engine == nullptr) {
        hold.lock();
        oneThread.emplace();
        Result<TessBaseAPI*> started = secondReader(engines, options);
        if (!started) return started.error();
        engine = started.value();
      }
      readAgain[i] = true;
      const std::optional<LineReading> second = readLineWithTesseract(*engine, image, read.value()[i].box);
      if (second && prefersSecondReading(readings[i], *second, *alphabet.value())) {
        accentsSeen = accentsSeen || writesBeyond(*second, *alphabet.value()) || addsAccents(readings[i], *second);
        readings[i] = *second;
      }
      return {};
    };
    for (size_t i : linesWorthReadingAgain(readings)) {
      if (Result<void> done = readAgainWithTesseract(i); !done) return done.error();
    }
    for (size_t i = 0; accentsSeen && i < readings.size(); ++i) {
      if (readAgain[i] || !inLatinLetters(readings[i].text)) continue;
      if (Result<void> done = readAgainWithTesseract(i); !done) return done.error();
    }
  }
  std::vector<TextObservation> lines;
  for (size_t i = 0; i < readings.size(); ++i) {
    if (readings[i].confidence < kLeastLineConfidence || readings[i].text.empty()) continue;
    TextObservation observation;
    observation.boundingBox = normalizedBounds(read.value()[i].box, image.width, image.height);
    observation.candidates.push_back(
        TextCandidate{std::move(readings[i].text), std::clamp(readings[i].confidence, 0.0f, 1.0f)});
    lines.push_back(std::move(observation));
  }
  return lines;
}

Result<std::optional<ScriptDetection>> detectTextScript(const media::ImageView& image) {
  if (!holdsPixels(image)) return recognitionFailed();
  if (image.width < kSmallestReadableSide || image.height < kSmallestReadableSide)
    return std::optional<ScriptDetection>{};
  TextEngines& engines = TextEngines::shared();
  std::lock_guard<std::mutex> hold(engines.lock());
  SingleThreaded oneThread;
  Result<TessBaseAPI*> detector = engines.scriptDetector();
  if (!detector) return detector.error();
  return detectScript(*detector.value(), tesseractPixels(image), image);
}

int64_t textEngineStarts() {
  TextEngines& engines = TextEngines::shared();
  std::lock_guard<std::mutex> hold(engines.lock());
  return engines.starts();
}

}  // namespace platform::vision

#if defined(__SANITIZE_ADDRESS__)
// Tesseract 5.3 does not free the word lists of an LSTM model when its engine ends (a few MB,
// once per engine start, not per picture). Leak checks name our own leaks, not that one.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:tesseract::DawgLoader::Load\n"
         "leak:tesseract::SquishedDawg::read_squished_dawg\n";
}
// The list of suppressions used would otherwise land on the programs' standard error.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif
