#include "platform/vision/faces/face_mesh.h"

#include "platform/vision/detection/detection_decoding.h"
#include "platform/vision/faces/face_crop.h"
#include "platform/vision/faces/face_regions.h"

namespace platform::vision {

Result<FaceMesh> FaceMesh::load(nn::Threads threads) {
  Result<PooledModel> model =
      PooledModel::open("face_landmark.tflite", kFaceMeshInputSize, kFaceMeshInputSize, threads);
  if (!model) return model.error();
  Result<size_t> points = model.value().output("conv2d_21", 3 * kFaceMeshPointCount);
  if (!points) return points.error();
  Result<size_t> presence = model.value().output("conv2d_31", 1);
  if (!presence) return presence.error();
  return FaceMesh(std::move(model).value(), points.value(), presence.value());
}

Result<FaceMeshResult> FaceMesh::run(const media::ImageView& picture, const RotatedRect& crop) const {
  Result<nn::ModelPool::Lease> leased = model_.take();
  if (!leased) return leased.error();
  nn::ModelPool::Lease& model = leased.value();
  if (Result<void> filled = imageToTensor(picture, crop, kFaceMeshInputSize, kFaceMeshInputSize, 0, 1, model->input(0));
      !filled) {
    return filled.error();
  }
  if (Result<void> ran = PooledModel::run(model); !ran) return ran.error();
  FaceMeshResult result;
  result.points = meshInPicture(model->output(pointsOutput_), kFaceMeshPointCount, crop);
  result.presence = scoreFromLogit(model->output(presenceOutput_)[0]);
  return result;
}

}  // namespace platform::vision
