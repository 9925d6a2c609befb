#include "platform/vision/faces/face_mesh.h"

#include "platform/vision/detection/detection_decoding.h"
#include "platform/vision/faces/face_crop.h"
#include "platform/vision/faces/face_errors.h"
#include "platform/vision/faces/face_regions.h"

namespace platform::vision {

FaceMesh::FaceMesh(std::unique_ptr<nn::Model> model, size_t points, size_t presence)
    : model_(std::move(model)), pointsOutput_(points), presenceOutput_(presence) {}

Result<std::unique_ptr<FaceMesh>> FaceMesh::load(const std::string& path, nn::Threads threads) {
  Result<std::unique_ptr<nn::Model>> model = nn::Model::load(path, threads);
  if (!model) return faceModelError("the face mesh model", model.error().description);
  nn::Model& m = *model.value();
  if (m.inputCount() != 1 || m.inputShape(0).dims != std::vector<int>{1, kFaceMeshInputSize, kFaceMeshInputSize, 3} ||
      m.outputCount() != 2) {
    return faceModelError("the face mesh model", "its input or outputs are not those of the face mesh model");
  }
  std::optional<size_t> points, presence;
  for (size_t i = 0; i < 2; ++i) {
    const size_t count = m.outputShape(i).elementCount();
    if (count == 3 * kFaceMeshPointCount) points = i;
    if (count == 1) presence = i;
  }
  if (!points || !presence) return faceModelError("the face mesh model", "its outputs are not 468 points and a face flag");
  return std::unique_ptr<FaceMesh>(new FaceMesh(std::move(model.value()), *points, *presence));
}

Result<FaceMeshResult> FaceMesh::run(const media::ImageView& picture, const RotatedRect& crop) {
  if (std::optional<Error> failure =
          imageToTensor(picture, crop, kFaceMeshInputSize, kFaceMeshInputSize, 0, 1, model_->input(0))) {
    return *failure;
  }
  if (Result<void> ran = model_->run(); !ran.ok()) return ran.error();
  FaceMeshResult result;
  result.points = meshInPicture(model_->output(pointsOutput_), kFaceMeshPointCount, crop);
  result.presence = scoreFromLogit(model_->output(presenceOutput_)[0]);
  return result;
}

}  // namespace platform::vision
