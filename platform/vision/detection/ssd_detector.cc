#include "platform/vision/detection/ssd_detector.h"

#include "platform/nn/model_files.h"
#include "platform/vision/detection/image_to_tensor.h"
#include "platform/vision/detection/non_max_suppression.h"

namespace platform::vision {
namespace {

Error unexpected(const SsdDetectorSettings& settings, const std::string& what) {
  return Error{"vision.detector", 1, settings.modelFile + ": " + what};
}

}  // namespace

Result<std::unique_ptr<SsdDetector>> SsdDetector::load(const SsdDetectorSettings& settings) {
  Result<std::unique_ptr<nn::Model>> loaded = nn::Model::load(nn::modelPath(settings.modelFile), nn::Threads::one);
  if (!loaded) return loaded.error();
  std::unique_ptr<nn::Model>& model = loaded.value();

  const int width = settings.anchors.inputWidth, height = settings.anchors.inputHeight;
  if (model->inputCount() != 1 || model->inputShape(0).dims != std::vector<int>{1, height, width, 3}) {
    return unexpected(settings, "the input is not one " + std::to_string(width) + "x" + std::to_string(height) + " RGB picture");
  }
  // One output holds a row of box and keypoint values per anchor, the other a score per anchor.
  const int anchorCount = static_cast<int>(ssdAnchors(settings.anchors).size());
  const int valuesPerRow = 4 + 2 * settings.keypointCount;
  std::optional<size_t> boxes, scores;
  for (size_t i = 0; i < model->outputCount(); ++i) {
    const std::vector<int>& dims = model->outputShape(i).dims;
    if (dims == std::vector<int>{1, anchorCount, valuesPerRow}) boxes = i;
    if (dims == std::vector<int>{1, anchorCount, 1}) scores = i;
  }
  if (!boxes || !scores) {
    return unexpected(settings, "the outputs are not " + std::to_string(anchorCount) + " rows of " +
                                    std::to_string(valuesPerRow) + " values and " + std::to_string(anchorCount) + " scores");
  }
  return std::unique_ptr<SsdDetector>(new SsdDetector(settings, std::move(model), *boxes, *scores));
}

SsdDetector::SsdDetector(SsdDetectorSettings settings, std::unique_ptr<nn::Model> model, size_t boxesOutput,
                         size_t scoresOutput)
    : settings_(std::move(settings)),
      model_(std::move(model)),
      anchors_(ssdAnchors(settings_.anchors)),
      boxesOutput_(boxesOutput),
      scoresOutput_(scoresOutput) {}

Result<std::vector<Detection>> SsdDetector::detect(const media::ImageView& image) {
  const int width = settings_.anchors.inputWidth, height = settings_.anchors.inputHeight;
  const Letterbox fit = letterbox(image.width, image.height, width, height);
  if (auto error = imageToTensor(image, fit.area, width, height, settings_.low, settings_.high, model_->input(0))) {
    return *error;
  }
  if (Result<void> ran = model_->run(); !ran.ok()) return ran.error();

  const size_t rows = anchors_.size();
  const std::span<const float> boxes(model_->output(boxesOutput_), rows * (4 + 2 * settings_.keypointCount));
  const std::span<const float> scores(model_->output(scoresOutput_), rows);
  std::vector<Detection> detections = weightedNonMaxSuppression(
      decodeDetections(boxes, scores, anchors_, {1.0 * width, 1.0 * height, settings_.keypointCount, settings_.minScore}),
      settings_.suppressionThreshold);

  // From fractions of the letterboxed input to picture pixels. The letterbox is upright, so the
  // box's corners map to the box's corners.
  for (Detection& d : detections) {
    const PicturePoint topLeft = pictureFromTensor(fit.area, d.box.xMin, d.box.yMin);
    const PicturePoint bottomRight = pictureFromTensor(fit.area, d.box.xMax(), d.box.yMax());
    d.box = {topLeft.x, topLeft.y, bottomRight.x - topLeft.x, bottomRight.y - topLeft.y};
    for (ImagePoint& k : d.keypoints) {
      const PicturePoint p = pictureFromTensor(fit.area, k.x, k.y);
      k = {p.x, p.y};
    }
  }
  return detections;
}

}  // namespace platform::vision
