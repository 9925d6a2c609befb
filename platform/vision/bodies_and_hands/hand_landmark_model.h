// The hand landmark model: 21 points of one hand, found in a crop around the palm.
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

struct HandLandmarks {
  float presence = 0;  // how sure the model is that a hand is in the crop, 0 to 1
  // The model's 21 points in its own order (the wrist, then each finger from its base to its tip,
  // thumb first), in picture pixels. The model gives no confidence per point.
  std::vector<LandmarkPoint> points;
};

class HandLandmarkModel {
 public:
  // Reads hand_landmark_lite.tflite or hand_landmark_full.tflite and checks its input and
  // outputs. Slow: once per process.
  static Result<std::unique_ptr<HandLandmarkModel>> load(const std::string& modelFile);

  // The hand in the crop `area` of the picture, or nothing when the model does not see a hand
  // there. Not safe to call from two threads at once.
  Result<std::optional<HandLandmarks>> run(const media::ImageView& image, const RotatedRect& area);

 private:
  HandLandmarkModel(std::unique_ptr<nn::Model> model, size_t landmarks, size_t presence)
      : model_(std::move(model)), landmarksOutput_(landmarks), presenceOutput_(presence) {}

  std::unique_ptr<nn::Model> model_;
  size_t landmarksOutput_;
  size_t presenceOutput_;
};

}  // namespace platform::vision
