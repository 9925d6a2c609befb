#include "platform/vision/bodies_and_hands/pose_landmark_model.h"

#include "platform/nn/model_files.h"
#include "platform/vision/detection/image_to_tensor.h"

namespace platform::vision {
namespace {

constexpr int kInputSize = 256;
// 33 body points, 2 points that would place a following frame's crop and 4 more that are not
// used; 5 values each: x, y, z, and the visibility and presence logits.
constexpr size_t kPointRows = 39;
constexpr size_t kValuesPerPoint = 5;
constexpr size_t kVisibilityValue = 3;
constexpr size_t kBodyPoints = 33;
constexpr int kHeatmapSize = 64;
constexpr float kMinPresence = 0.5f;
// The published post-processing refines each point within a 7 x 7 window of its heat map.
constexpr int kHeatmapKernel = 7;
constexpr float kMinHeatmapConfidence = 0.5f;

}  // namespace

Result<std::unique_ptr<PoseLandmarkModel>> PoseLandmarkModel::load(const std::string& modelFile) {
  Result<std::unique_ptr<nn::Model>> loaded = nn::Model::load(nn::modelPath(modelFile), nn::Threads::one);
  if (!loaded) return loaded.error();
  std::unique_ptr<nn::Model>& model = loaded.value();
  const Error unexpected{"vision.pose", 1, modelFile + ": not the pose landmark model's input and outputs"};
  if (model->inputCount() != 1 || model->inputShape(0).dims != std::vector<int>{1, kInputSize, kInputSize, 3}) {
    return unexpected;
  }
  std::optional<size_t> landmarks, presence, heatmap;
  for (size_t i = 0; i < model->outputCount(); ++i) {
    const nn::TensorShape shape = model->outputShape(i);
    if (shape.elementCount() == kPointRows * kValuesPerPoint && !landmarks) landmarks = i;
    if (shape.elementCount() == 1 && !presence) presence = i;
    if (shape.dims == std::vector<int>{1, kHeatmapSize, kHeatmapSize, static_cast<int>(kPointRows)}) heatmap = i;
  }
  if (!landmarks || !presence || !heatmap) return unexpected;
  return std::unique_ptr<PoseLandmarkModel>(new PoseLandmarkModel(std::move(model), *landmarks, *presence, *heatmap));
}

Result<std::optional<BodyLandmarks>> PoseLandmarkModel::run(const media::ImageView& image, const RotatedRect& area) {
  if (auto error = imageToTensor(image, area, kInputSize, kInputSize, 0, 1, model_->input(0))) return *error;
  if (Result<void> ran = model_->run(); !ran.ok()) return ran.error();
  // The presence output already went through a sigmoid inside the model.
  const float presence = model_->output(presenceOutput_)[0];
  if (!(presence >= kMinPresence)) return std::optional<BodyLandmarks>();

  std::vector<LandmarkPoint> points =
      decodeLandmarks({model_->output(landmarksOutput_), kPointRows * kValuesPerPoint}, kPointRows, kValuesPerPoint,
                      kVisibilityValue, kInputSize, kInputSize);
  const Heatmap heatmap{{model_->output(heatmapOutput_), kHeatmapSize * kHeatmapSize * kPointRows}, kHeatmapSize,
                        kHeatmapSize, static_cast<int>(kPointRows)};
  refineFromHeatmap(points, heatmap, kHeatmapKernel, kMinHeatmapConfidence);
  points.resize(kBodyPoints);
  projectFromCrop(points, area);
  return std::optional<BodyLandmarks>(BodyLandmarks{presence, std::move(points)});
}

}  // namespace platform::vision
