#include "platform/vision/detection/ssd_detector.h"

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

Result<std::vector<Detection>> SsdDetector::detect(const media::ImageView& image) const {
  const int width = settings_.anchors.inputWidth, height = settings_.anchors.inputHeight;
  Result<nn::ModelPool::Lease> leased = model_.take();
  if (!leased) return leased.error();
  nn::ModelPool::Lease& model = leased.value();
  const Letterbox fit = letterbox(image.width, image.height, width, height);
  if (Result<void> filled =
          imageToTensor(image, fit.area, width, height, settings_.low, settings_.high, model->input(0));
      !filled) {
    return filled.error();
  }
  if (Result<void> ran = PooledModel::run(model); !ran) return ran.error();

  const size_t rows = anchors_.size();
  const std::span<const float> boxes(model->output(boxesOutput_), rows * (4 + 2 * settings_.keypointCount));
  const std::span<const float> scores(model->output(scoresOutput_), rows);
  std::vector<Detection> detections = weightedNonMaxSuppression(
      decodeDetections(boxes, scores, anchors_,
                       {1.0 * width, 1.0 * height, settings_.keypointCount, settings_.minScore}),
      settings_.suppressionThreshold);
  toPicture(detections, fit.area);
  return detections;
}

}  // namespace platform::vision
