#include "platform/vision/faces/face_mesh.h"

#include "platform/vision/detection/detection_decoding.h"
#include "platform/vision/faces/face_crop.h"
#include "platform/vision/faces/face_regions.h"
#include "platform/vision/faces/refined_mesh.h"

namespace platform::vision {

Result<FaceMesh> FaceMesh::load(nn::Threads threads) {
  Result<PooledModel> model =
      PooledModel::open("face_landmark_with_attention.tflite", kFaceMeshInputSize, kFaceMeshInputSize, threads);
  if (!model) return model.error();
  // The model names the eyes as the picture shows them: its left eye is the person's right.
  const struct {
    const char* name;
    size_t values;
    size_t Outputs::*index;
  } wanted[] = {
      {"output_mesh_identity", 3 * kFaceMeshPointCount, &Outputs::mesh},
      {"output_lips", 2 * kRefinedLipPoints.size(), &Outputs::lips},
      {"output_left_eye", 2 * kRefinedRightEyePoints.size(), &Outputs::rightEye},
      {"output_right_eye", 2 * kRefinedLeftEyePoints.size(), &Outputs::leftEye},
      {"output_left_iris", 10, &Outputs::rightIris},
      {"output_right_iris", 10, &Outputs::leftIris},
      {"conv_faceflag", 1, &Outputs::presence},
  };
  Outputs outputs{};
  for (const auto& w : wanted) {
    Result<size_t> index = model.value().output(w.name, w.values);
    if (!index) return index.error();
    outputs.*w.index = index.value();
  }
  return FaceMesh(std::move(model).value(), outputs);
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
  const AttentionMeshOutputs raw{model->output(outputs_.mesh),      model->output(outputs_.lips),
                                 model->output(outputs_.rightEye),  model->output(outputs_.leftEye),
                                 model->output(outputs_.rightIris), model->output(outputs_.leftIris)};
  FaceMeshResult result;
  result.points = refinedMeshInPicture(raw, crop);
  result.presence = scoreFromLogit(model->output(outputs_.presence)[0]);
  return result;
}

}  // namespace platform::vision
