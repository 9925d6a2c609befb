// The 468-point face mesh model, run on the crop of one face.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/media/image.h"
#include "platform/nn/model.h"
#include "platform/result.h"
#include "platform/vision/detection/image_to_tensor.h"
#include "platform/vision/faces/procrustes.h"

namespace platform::vision {

struct FaceMeshResult {
  // The mesh points in the picture's pixels: x right, y down, z the depth relative to the face in
  // the units of x, larger further away.
  std::vector<Vec3> points;
  // How sure the model is that the crop shows a face, 0 to 1.
  float presence = 0;
};

class FaceMesh {
 public:
  // Loads face_landmark.tflite from `path` and checks its input and outputs. Slow: once per
  // process.
  static Result<std::unique_ptr<FaceMesh>> load(const std::string& path, nn::Threads threads = nn::Threads::all);

  // Runs the model on the part of `picture` under `crop` (see faceMeshCrop).
  Result<FaceMeshResult> run(const media::ImageView& picture, const RotatedRect& crop);

 private:
  FaceMesh(std::unique_ptr<nn::Model> model, size_t points, size_t presence);

  std::unique_ptr<nn::Model> model_;
  size_t pointsOutput_;
  size_t presenceOutput_;
};

}  // namespace platform::vision
