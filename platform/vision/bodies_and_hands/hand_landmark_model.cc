#include "platform/vision/bodies_and_hands/hand_landmark_model.h"

#include "platform/nn/model_files.h"
#include "platform/vision/detection/image_to_tensor.h"

namespace platform::vision {
namespace {

constexpr int kInputSize = 224;
constexpr size_t kPoints = 21;
constexpr size_t kValuesPerPoint = 3;  // x, y, z
constexpr float kMinPresence = 0.5f;

}  // namespace

Result<std::unique_ptr<HandLandmarkModel>> HandLandmarkModel::load(const std::string& modelFile) {
  Result<std::unique_ptr<nn::Model>> loaded = nn::Model::load(nn::modelPath(modelFile), nn::Threads::one);
  if (!loaded) return loaded.error();
  std::unique_ptr<nn::Model>& model = loaded.value();
  // The picture points and the points in metres both have 63 values, the presence and the
  // handedness one each: only the names tell them apart.
  const std::optional<size_t> landmarks = model->outputIndex("Identity");
  const std::optional<size_t> presence = model->outputIndex("Identity_1");
  if (model->inputCount() != 1 || model->inputShape(0).dims != std::vector<int>{1, kInputSize, kInputSize, 3} ||
      !landmarks || model->outputShape(*landmarks).elementCount() != kPoints * kValuesPerPoint || !presence ||
      model->outputShape(*presence).elementCount() != 1) {
    return Error{"vision.hand", 1, modelFile + ": not the hand landmark model's input and outputs"};
  }
  return std::unique_ptr<HandLandmarkModel>(new HandLandmarkModel(std::move(model), *landmarks, *presence));
}

Result<std::optional<HandLandmarks>> HandLandmarkModel::run(const media::ImageView& image, const RotatedRect& area) {
  if (auto error = imageToTensor(image, area, kInputSize, kInputSize, 0, 1, model_->input(0))) return *error;
  if (Result<void> ran = model_->run(); !ran.ok()) return ran.error();
  // The presence output already went through a sigmoid inside the model.
  const float presence = model_->output(presenceOutput_)[0];
  if (!(presence >= kMinPresence)) return std::optional<HandLandmarks>();
  std::vector<LandmarkPoint> points = decodeLandmarks({model_->output(landmarksOutput_), kPoints * kValuesPerPoint},
                                                      kPoints, kValuesPerPoint, std::nullopt, kInputSize, kInputSize);
  projectFromCrop(points, area);
  return std::optional<HandLandmarks>(HandLandmarks{presence, std::move(points)});
}

}  // namespace platform::vision
