#include "platform/vision/detection/ssd_detector.h"

#include <algorithm>
#include <optional>

#include "platform/vision/detection/image_to_tensor.h"
#include "platform/vision/detection/non_max_suppression.h"
#include "platform/vision/detection/pooled_model.h"

namespace platform::vision {
namespace {

// Detections given as fractions of the letterboxed input, moved to picture pixels. The letterbox
// is upright, so the box's corners map to the box's corners.
void toPicture(std::vector<Detection>& detections, const RotatedRect& letterboxed) {
  for (Detection& d : detections) {
    const PicturePoint topLeft = pictureFromTensor(letterboxed, d.box.xMin, d.box.yMin);
    const PicturePoint bottomRight = pictureFromTensor(letterboxed, d.box.xMax(), d.box.yMax());
    d.box = {topLeft.x, topLeft.y, bottomRight.x - topLeft.x, bottomRight.y - topLeft.y};
    for (ImagePoint& k : d.keypoints) {
      const PicturePoint p = pictureFromTensor(letterboxed, k.x, k.y);
      k = {p.x, p.y};
    }
  }
}

}  // namespace

Result<SsdDetector> SsdDetector::load(const SsdDetectorSettings& settings) {
  const int width = settings.anchors.inputWidth, height = settings.anchors.inputHeight;
  Result<PooledModel> model = PooledModel::open(settings.modelFile, width, height);
  if (!model) return model.error();
  Result<nn::ModelPool::Lease> runtime = model.value().take();
  if (!runtime) return runtime.error();
  // One output holds a row of box and keypoint values per anchor, the other a score per anchor.
  const int anchorCount = static_cast<int>(ssdAnchors(settings.anchors).size());
  const int valuesPerRow = 4 + 2 * settings.keypointCount;
  std::optional<size_t> boxes, scores;
  for (size_t i = 0; i < runtime.value()->outputCount(); ++i) {
    const std::vector<int>& dims = runtime.value()->outputShape(i).dims;
    if (dims == std::vector<int>{1, anchorCount, valuesPerRow}) boxes = i;
    if (dims == std::vector<int>{1, anchorCount, 1}) scores = i;
  }
  if (!boxes || !scores) {
    return model.value().unexpected("the outputs are not " + std::to_string(anchorCount) + " rows of " +
                                    std::to_string(valuesPerRow) + " values and " + std::to_string(anchorCount) +
                                    " scores");
  }
  return SsdDetector(settings, model.value(), *boxes, *scores);
}

SsdDetector::SsdDetector(SsdDetectorSettings settings, PooledModel model, size_t boxesOutput, size_t scoresOutput)
    : settings_(std::move(settings)),
      model_(std::move(model)),
      anchors_(ssdAnchors(settings_.anchors)),
      boxesOutput_(boxesOutput),
      scoresOutput_(scoresOutput) {}

const SsdDetector::PaddingOutputs& SsdDetector::paddingOutputs(nn::ModelPool::Lease& model) const {
  std::call_once(padding_->once, [&] {
    padding_->ran = PooledModel::run(model);
    if (!padding_->ran) return;
    const float* boxes = model->output(boxesOutput_);
    const float* scores = model->output(scoresOutput_);
    padding_->boxes.assign(boxes, boxes + anchors_.size() * (4 + 2 * settings_.keypointCount));
    padding_->scores.assign(scores, scores + anchors_.size());
  });
  return *padding_;
}

Result<std::vector<Detection>> SsdDetector::detect(const media::ImageView& image) const {
  const Letterbox fit = letterbox(image.width, image.height, settings_.anchors.inputWidth, settings_.anchors.inputHeight);
  Result<SsdFindings> findings = detectIn(image, fit.area, settings_.minScore);
  if (!findings) return findings.error();
  return std::move(findings.value().found);
}

Result<SsdFindings> SsdDetector::detectIn(const media::ImageView& image, const RotatedRect& area,
                                          float doubtfulScore) const {
  const int width = settings_.anchors.inputWidth, height = settings_.anchors.inputHeight;
  Result<nn::ModelPool::Lease> leased = model_.take();
  if (!leased) return leased.error();
  nn::ModelPool::Lease& model = leased.value();
  // The area grown to the input's aspect ratio around its centre, as a letterbox does.
  RotatedRect fitted = area;
  if (area.width * height > area.height * width) {
    fitted.height = area.width * height / width;
  } else {
    fitted.width = area.height * width / height;
  }
  if (Result<void> filled =
          imageToTensor(image, fitted, width, height, settings_.low, settings_.high, model->input(0));
      !filled) {
    return filled.error();
  }
  const size_t rows = anchors_.size(), rowValues = rows * (4 + 2 * settings_.keypointCount);
  std::span<const float> boxes(model->output(boxesOutput_), rowValues);
  std::span<const float> scores(model->output(scoresOutput_), rows);
  const float* input = model->input(0);
  if (std::all_of(input, input + size_t(width) * height * 3, [&](float v) { return v == settings_.low; })) {
    const PaddingOutputs& padding = paddingOutputs(model);
    if (!padding.ran) return padding.ran.error();
    boxes = padding.boxes, scores = padding.scores;
  } else if (Result<void> ran = PooledModel::run(model); !ran) {
    return ran.error();
  }
  const float lowest = std::min(doubtfulScore, settings_.minScore);
  std::vector<Detection> decoded =
      decodeDetections(boxes, scores, anchors_, {1.0 * width, 1.0 * height, settings_.keypointCount, lowest});
  // The sure detections are merged among themselves only, so that weaker neighbours never move them.
  std::vector<Detection> sure, weak;
  for (Detection& d : decoded) (d.score >= settings_.minScore ? sure : weak).push_back(std::move(d));
  SsdFindings findings{weightedNonMaxSuppression(std::move(sure), settings_.suppressionThreshold),
                       weightedNonMaxSuppression(std::move(weak), settings_.suppressionThreshold)};
  toPicture(findings.found, fitted);
  toPicture(findings.doubtful, fitted);
  return findings;
}

}  // namespace platform::vision
