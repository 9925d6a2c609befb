// The pose landmark model: 33 points of one body, found in a crop around the person.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/media/image.h"
#include "platform/nn/model.h"
#include "platform/result.h"
#include "platform/vision/detection/landmark_decoding.h"
#include "platform/vision/detection/rotated_rect.h"

namespace platform::vision {

struct BodyLandmarks {
  float presence = 0;  // how sure the model is that a person fills the crop, 0 to 1
  // The model's 33 body points in its own order, in picture pixels; confidence is the model's
  // visibility of the point (low where it is hidden or guessed).
  std::vector<LandmarkPoint> points;
};

class PoseLandmarkModel {
 public:
  // Reads one of pose_landmark_lite.tflite, pose_landmark_full.tflite, pose_landmark_heavy.tflite
  // and checks its input and outputs. Slow: once per process.
  static Result<std::unique_ptr<PoseLandmarkModel>> load(const std::string& modelFile);

  // The body in the crop `area` of the picture, or nothing when the model does not see a person
  // there. Not safe to call from two threads at once.
  Result<std::optional<BodyLandmarks>> run(const media::ImageView& image, const RotatedRect& area);

 private:
  PoseLandmarkModel(std::unique_ptr<nn::Model> model, size_t landmarks, size_t presence, size_t heatmap)
      : model_(std::move(model)), landmarksOutput_(landmarks), presenceOutput_(presence), heatmapOutput_(heatmap) {}

  std::unique_ptr<nn::Model> model_;
  size_t landmarksOutput_;
  size_t presenceOutput_;
  size_t heatmapOutput_;
};

}  // namespace platform::vision
