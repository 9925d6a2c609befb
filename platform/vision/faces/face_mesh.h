// The face mesh with attention, run on the crop of one face: 468 mesh points, those around the
// eyes and lips placed again by a closer look, and five points on each iris (refined_mesh.h).
#pragma once

#include <vector>

#include "platform/media/image.h"
#include "platform/nn/model.h"
#include "platform/result.h"
#include "platform/vision/detection/image_to_tensor.h"
#include "platform/vision/detection/pooled_model.h"
#include "platform/vision/faces/procrustes.h"

namespace platform::vision {

struct FaceMeshResult {
  // The kRefinedMeshPointCount points in the picture's pixels: x right, y down, z the depth
  // relative to the face in the units of x, larger further away.
  std::vector<Vec3> points;
  // How sure the model is that the crop shows a face, 0 to 1.
  float presence = 0;
};

// Needs face_landmark_with_attention.tflite fetched by the set-up. Once loaded, run() may be
// called from any number of threads at once: each call runs the model on a runtime of its own
// (pooled_model.h).
class FaceMesh {
 public:
  // Finds the model's pool of runtimes on `threads` and checks its input and outputs. Fails with
  // DetectionError::modelUnavailable (detection_errors.h), naming the file.
  static Result<FaceMesh> load(nn::Threads threads = nn::Threads::one);

  // Runs the model on the part of `picture` under `crop` (see faceMeshCrop). Fails with a
  // DetectionError: noPixels, badCrop, or modelFailed when the model cannot run.
  Result<FaceMeshResult> run(const media::ImageView& picture, const RotatedRect& crop) const;

 private:
  // Output indices of the model: the mesh, lips, eyes and irises (the person's right first), and
  // the face flag.
  struct Outputs {
    size_t mesh, lips, rightEye, leftEye, rightIris, leftIris, presence;
  };

  FaceMesh(PooledModel model, Outputs outputs) : model_(std::move(model)), outputs_(outputs) {}

  PooledModel model_;
  Outputs outputs_;
};

}  // namespace platform::vision
