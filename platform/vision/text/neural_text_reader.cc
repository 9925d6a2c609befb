#include "platform/vision/text/neural_text_reader.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/nn/model_errors.h"
#include "platform/nn/model_files.h"
#include "platform/nn/sized_model_pool.h"
#include "platform/vision/text/ctc_decoding.h"
#include "platform/vision/text/text_boxes.h"
#include "platform/vision/text/text_model_inputs.h"
#include "platform/vision/text/text_tiles.h"

namespace platform::vision {
namespace {

using nn::SizedModelPool;
using nn::Threads;

constexpr const char* kDetectorFile = "ch_PP-OCRv4_det_infer.onnx";
constexpr const char* kRecogniserFile = "ch_PP-OCRv4_rec_infer.onnx";
constexpr const char* kAlphabetFile = "ppocr_keys_v1.txt";

constexpr int kLineHeight = 48;
// The recogniser runs at a few fixed widths (each needs a runtime of its own); a line is padded
// to the next one. At least 320, as it was trained; longer lines than the last are squeezed.
constexpr int kLineWidths[] = {320, 448, 640, 896, 1280, 1792};
// The detector's canvas grows in steps of this many pixels, so that pictures of similar sizes
// share a runtime (building one costs several runs). Measured on the bench: steps of 128 built
// so many runtimes that look took 1.65 times the tesseract command's processor time; steps of
// 320 padded a screenshot's map enough to lose two spaces between its words.
constexpr int kCanvasStep = 256;
// Idle runtimes kept, counted in input values, since a runtime's memory grows with its input (a
// detector of a 1024x768 canvas holds about 300 MB, a recogniser of a 1792-wide line 250 MB, one of
// 320 60 MB). The detector keeps about one large canvas: pictures of a run are mostly of one or
// two sizes, and a few large canvases kept held a gigabyte. The recogniser keeps the four narrower
// widths, which most lines take; a long line's runtime gives way to them.
constexpr size_t kKeptDetectorValues = size_t{3} * 1024 * 1024;
constexpr size_t kKeptRecogniserValues = size_t{3} * kLineHeight * (320 + 448 + 640 + 896);

// The models run on the calling thread: work is split across pictures, not inside one model.
Result<SizedModelPool*> pool(const char* file, size_t kept) { return nn::sharedSizedModel(file, Threads::one, kept); }

int roundUp(int value, int step) { return (value + step - 1) / step * step; }

// The detector's view of a box, in picture pixels: each axis scaled by its own factor.
RotatedRect toPicture(const RotatedRect& r, double fx, double fy) {
  double c = std::cos(r.rotation), s = std::sin(r.rotation);
  RotatedRect out;
  out.centerX = r.centerX * fx;
  out.centerY = r.centerY * fy;
  out.width = r.width * std::hypot(c * fx, s * fy);
  out.height = r.height * std::hypot(s * fx, c * fy);
  out.rotation = std::atan2(s * fy, c * fx);
  return out;
}

// The detector's map of a picture seen at `scale` (at most kDetectorSide on its longer side),
// and the lines on it in picture pixels.
struct DetectorLook {
  std::vector<float> map;
  int width = 0;
  int height = 0;
  double scale = 1;  // the map's cells per picture pixel, along the longer side
  std::vector<DetectedLine> lines;
};

Result<DetectorLook> detectAt(const media::ImageView& image, double scale) {
  DetectorLook look;
  look.scale = scale;
  look.width = std::max(16, static_cast<int>(std::lround(image.width * scale)));
  look.height = std::max(16, static_cast<int>(std::lround(image.height * scale)));
  const int canvasWidth = roundUp(look.width, kCanvasStep), canvasHeight = roundUp(look.height, kCanvasStep);
  Result<SizedModelPool*> detectors = pool(kDetectorFile, kKeptDetectorValues);
  if (!detectors.ok()) return detectors.error();
  Result<SizedModelPool::Lease> detector = detectors.value()->take({1, 3, canvasHeight, canvasWidth});
  if (!detector.ok()) return detector.error();
  fillDetectorInput(image, look.width, look.height, canvasWidth, canvasHeight, detector.value()->input(0));
  if (Result<void> ran = detector.value().run(); !ran.ok()) return ran.error();
  // The map of the picture's part of the canvas.
  look.map.resize(static_cast<size_t>(look.width) * look.height);
  const float* out = detector.value()->output(0);
  for (int y = 0; y < look.height; ++y) {
    std::copy(out + static_cast<size_t>(y) * canvasWidth, out + static_cast<size_t>(y) * canvasWidth + look.width,
              look.map.begin() + static_cast<size_t>(y) * look.width);
  }
  const double fx = double(image.width) / look.width, fy = double(image.height) / look.height;
  for (const TextBox& box : textBoxes(look.map.data(), look.width, look.height, TextBoxSettings{})) {
    look.lines.push_back(DetectedLine{toPicture(box.rect, fx, fy), box.score});
  }
  return look;
}

// The pixels of `area` (inside the picture) as a picture of their own.
media::ImageView partOf(const media::ImageView& image, const PictureArea& area) {
  media::ImageView part = image;
  part.data = image.row(area.top) + static_cast<ptrdiff_t>(area.left) * media::bytesPerPixel(image.format);
  part.width = area.width;
  part.height = area.height;
  return part;
}

}  // namespace

Result<std::vector<DetectedLine>> detectTextLines(const media::ImageView& image) {
  const double scale = std::min(1.0, double(kDetectorSide) / std::max(image.width, image.height));
  Result<DetectorLook> whole = detectAt(image, scale);
  if (!whole.ok()) return whole.error();
  const CloserLook closer = smallPrintTiles(
      image, WholeMap{whole.value().map.data(), whole.value().width, whole.value().height, whole.value().scale},
      whole.value().lines);
  if (closer.tiles.empty()) return std::move(whole.value().lines);
  auto look = [&](size_t i) -> Result<TileLines> {
    const PictureArea& area = closer.tiles[i];
    Result<DetectorLook> tile = detectAt(partOf(image, area), closer.scale);
    if (!tile.ok()) return tile.error();
    for (DetectedLine& line : tile.value().lines) {
      line.box.centerX += area.left;
      line.box.centerY += area.top;
    }
    return TileLines{area, closer.scale, std::move(tile.value().lines)};
  };
  // One tile first: most doubts (a picture without text, a sign's stray specks) end there.
  Result<TileLines> probe = look(closer.probe);
  if (!probe.ok()) return probe.error();
  if (!holdsSmallPrint(probe.value().lines, whole.value().scale, closer.scale)) return std::move(whole.value().lines);
  std::vector<TileLines> tiles;
  for (size_t i = 0; i < closer.tiles.size(); ++i) {
    if (i == closer.probe) {
      tiles.push_back(std::move(probe.value()));
      continue;
    }
    Result<TileLines> tile = look(i);
    if (!tile.ok()) return tile.error();
    tiles.push_back(std::move(tile.value()));
  }
  return mergeTileLines(whole.value().lines, whole.value().scale, tiles, image.height);
}

Result<const Alphabet*> recogniserAlphabet() {
  static const std::optional<Alphabet> loaded = Alphabet::fromFile(nn::modelPath(kAlphabetFile));
  if (!loaded) {
    return nn::modelError(nn::ModelError::unreadableFile,
                          "cannot read the recogniser's alphabet " + nn::modelPath(kAlphabetFile));
  }
  return &*loaded;
}

Result<NeuralLine> recogniseLine(const media::ImageView& image, const RotatedRect& line,
                                 std::vector<StepChoices>* choices) {
  Result<const Alphabet*> letters = recogniserAlphabet();
  if (!letters.ok()) return letters.error();
  const double ratio = line.height > 0 ? line.width / line.height : 1.0;
  const int last = kLineWidths[std::size(kLineWidths) - 1];
  const int width = std::clamp(static_cast<int>(std::ceil(kLineHeight * ratio)), 8, last);
  const int canvas = *std::find_if(std::begin(kLineWidths), std::end(kLineWidths), [&](int w) { return w >= width; });
  Result<SizedModelPool*> recognisers = pool(kRecogniserFile, kKeptRecogniserValues);
  if (!recognisers.ok()) return recognisers.error();
  Result<SizedModelPool::Lease> recogniser = recognisers.value()->take({1, 3, kLineHeight, canvas});
  if (!recogniser.ok()) return recogniser.error();
  fillLineInput(image, line, width, kLineHeight, canvas, recogniser.value()->input(0));
  if (Result<void> ran = recogniser.value().run(); !ran.ok()) return ran.error();
  const std::vector<int>& dims = recogniser.value()->outputShape(0).dims;
  const size_t steps = static_cast<size_t>(dims[1]);
  const double stepWidth = static_cast<double>(canvas) / static_cast<double>(std::max<size_t>(1, steps));
  const auto lineSteps = static_cast<size_t>(std::ceil(width / stepWidth));
  const auto classes = static_cast<size_t>(dims[2]);
  CtcReading reading = decodeGreedy(recogniser.value()->output(0), steps, classes, *letters.value(), lineSteps);
  if (choices) *choices = likeliestChoices(recogniser.value()->output(0), steps, classes, *letters.value());
  return NeuralLine{line,
                    std::move(reading.text),
                    reading.confidence,
                    reading.leastConfidence,
                    reading.leastWordConfidence,
                    static_cast<double>(reading.longestGap) * stepWidth / kLineHeight,
                    std::move(reading.wordConfidences),
                    std::move(reading.wordSteps)};
}

Result<std::vector<NeuralLine>> readLinesNeurally(const media::ImageView& image) {
  Result<std::vector<DetectedLine>> boxes = detectTextLines(image);
  if (!boxes.ok()) return boxes.error();
  std::vector<NeuralLine> lines;
  for (const DetectedLine& box : boxes.value()) {
    Result<NeuralLine> line = recogniseLine(image, box.box);
    if (!line.ok()) return line.error();
    if (!line.value().text.empty()) lines.push_back(std::move(line.value()));
  }
  return lines;
}

}  // namespace platform::vision
