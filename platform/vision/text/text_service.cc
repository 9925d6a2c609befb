#include "platform/vision/text/text_service.h"

#include <tesseract/baseapi.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "platform/nn/model_errors.h"
#include "platform/vision/pixels.h"
#include "platform/vision/text/line_joining.h"
#include "platform/vision/text/line_scripts.h"
#include "platform/vision/text/neural_text_reader.h"
#include "platform/vision/text/picture_reader.h"
#include "platform/vision/text/tesseract_reader.h"
#include "platform/vision/text/text_models.h"

namespace platform::vision {

namespace {

using tesseract::TessBaseAPI;

// Pictures narrower or lower than this hold no readable text (Tesseract refuses them).
constexpr int kSmallestReadableSide = 8;

// The resolution Tesseract would otherwise assume, after a warning, for pictures without one.
constexpr int kAssumedPixelsPerInch = 70;

Error recognitionFailed() {
  return makeError(kTextDomain, TextRecognitionError::recognitionFailed,
                   "The text in the picture could not be recognised.");
}

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

// A detected line with the recogniser's reading and, at the accurate level, the script that
// reading settles or the scripts to try.
Result<PictureLine> firstReading(const media::ImageView& image, const DetectedLine& found, bool accurate) {
  std::vector<StepChoices> choices;
  const bool smallPrint = accurate && found.box.height <= kSmallPrintBox;
  Result<NeuralLine> neural = recogniseLine(image, found.box, smallPrint ? &choices : nullptr);
  if (!neural.ok()) return neuralFailure(neural.error());
  PictureLine line;
  line.detected = found;
  line.neural = std::move(neural.value());
  line.stepChoices = std::move(choices);
  line.reading = LineReading{line.neural.text, line.neural.confidence, line.neural.leastConfidence};
  const ScriptGuess guess =
      guessScript(FirstReading{line.neural.text, line.neural.confidence, line.neural.longestGap, found.score,
                               line.neural.leastWordConfidence},
                  {});
  line.script = accurate ? guess.settled : scriptOfLine(line.neural.text);
  line.candidates = guess.candidates;
  return line;
}

// Each detected box read by the recogniser; at the accurate level, pieces of one line that it
// cannot settle joined and read again as one.
Result<std::vector<PictureLine>> firstReadings(const media::ImageView& image, const std::vector<DetectedLine>& detected,
                                               bool accurate) {
  std::vector<PictureLine> pieces;
  for (const DetectedLine& found : detected) {
    Result<PictureLine> piece = firstReading(image, found, accurate);
    if (!piece) return piece.error();
    // Specks the detector doubts and the recogniser reads as (nearly) nothing are no line, nor
    // part of one.
    if (found.score < kLikelyTextLine && piece.value().neural.confidence < kLeastLineConfidence) continue;
    pieces.push_back(std::move(piece.value()));
  }
  std::vector<std::vector<size_t>> runs;
  if (accurate) {
    std::vector<JoinableBox> boxes;
    for (const PictureLine& piece : pieces) {
      // A piece read as plain Latin letters, however doubtfully, has found its script: words of
      // a photographed sign the detector finds one by one stay lines of their own, as they
      // always have.
      const bool plainLatin = piece.candidates.size() == 1 && piece.candidates.front() == TextScript::latin;
      boxes.push_back(
          JoinableBox{piece.detected.box, piece.detected.score >= kLikelyTextLine, !piece.script && !plainLatin});
    }
    runs = linesOfBoxes(boxes);
  } else {
    for (size_t i = 0; i < pieces.size(); ++i) runs.push_back({i});
  }
  std::vector<PictureLine> lines;
  for (const std::vector<size_t>& run : runs) {
    if (run.size() == 1) {
      lines.push_back(std::move(pieces[run.front()]));
      continue;
    }
    std::vector<RotatedRect> parts;
    float score = 1;
    for (size_t i : run) {
      parts.push_back(pieces[i].detected.box);
      score = std::min(score, pieces[i].detected.score);
    }
    Result<PictureLine> joined = firstReading(image, DetectedLine{boxAround(parts), score}, accurate);
    if (!joined) return joined.error();
    lines.push_back(std::move(joined.value()));
  }
  return lines;
}

}  // namespace

Result<std::vector<TextObservation>> recognizeText(const media::ImageView& image,
                                                   const TextRecognitionOptions& options) {
  if (!holdsPixels(image)) return recognitionFailed();
  if (image.width < kSmallestReadableSide || image.height < kSmallestReadableSide) {
    return std::vector<TextObservation>{};
  }
  Result<std::vector<DetectedLine>> detected = detectTextLines(image);
  if (!detected.ok()) return neuralFailure(detected.error());
  Result<const Alphabet*> alphabet = recogniserAlphabet();
  if (!alphabet.ok()) return neuralFailure(alphabet.error());
  const bool accurate = options.recognitionLevel == TextRecognitionLevel::accurate;
  Result<std::vector<PictureLine>> lines = firstReadings(image, detected.value(), accurate);
  if (!lines) return lines.error();
  PictureReader reader(image, options, *alphabet.value(), std::move(lines.value()));
  if (accurate) {
    if (Result<void> done = reader.doubtForeignWords(); !done) return done.error();
    if (Result<void> done = reader.readUnsettledLines(); !done) return done.error();
    if (Result<void> done = reader.readLookalikesAgain(); !done) return done.error();
    if (Result<void> done = reader.readLatinAgain(); !done) return done.error();
    if (options.usesLanguageCorrection) {
      if (Result<void> done = reader.correctLatinLanguage(); !done) return done.error();
    }
  }
  return reader.observations();
}

Result<std::optional<ScriptDetection>> detectTextScript(const media::ImageView& image) {
  if (!holdsPixels(image)) return recognitionFailed();
  if (image.width < kSmallestReadableSide || image.height < kSmallestReadableSide)
    return std::optional<ScriptDetection>{};
  TesseractEngines& engines = TesseractEngines::shared();
  std::lock_guard<std::mutex> hold(engines.lock());
  SingleThreaded oneThread;
  Result<TessBaseAPI*> detector = engines.scriptDetector();
  if (!detector) return detector.error();
  return detectScript(*detector.value(), tesseractPixels(image), image);
}

int64_t textEngineStarts() {
  TesseractEngines& engines = TesseractEngines::shared();
  std::lock_guard<std::mutex> hold(engines.lock());
  return engines.starts();
}

std::vector<std::string> textEnginesStarted() {
  TesseractEngines& engines = TesseractEngines::shared();
  std::lock_guard<std::mutex> hold(engines.lock());
  return engines.started();
}

}  // namespace platform::vision

// gcc tells a build under AddressSanitizer by __SANITIZE_ADDRESS__, clang by __has_feature.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TEXT_SERVICE_UNDER_ADDRESS_SANITIZER
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(TEXT_SERVICE_UNDER_ADDRESS_SANITIZER)
// Tesseract 5.3 does not free the word lists of an LSTM model when its engine ends (a few MB,
// once per engine start, not per picture). Leak checks name our own leaks, not that one.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:tesseract::DawgLoader::Load\n"
         "leak:tesseract::SquishedDawg::read_squished_dawg\n";
}
// The list of suppressions used would otherwise land on the programs' standard error.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif
