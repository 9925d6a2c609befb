// Finding hands: the palm detector model, and the crop in which the hand landmark model looks for
// each palm it finds.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/detection/detection_decoding.h"
#include "platform/vision/detection/rotated_rect.h"
#include "platform/vision/detection/ssd_detector.h"

namespace platform::vision {

class PalmDetector {
 public:
  // Reads the palm detector model (palm_detection_lite.tflite or palm_detection_full.tflite).
  // Slow: once per process.
  static Result<std::unique_ptr<PalmDetector>> load(const std::string& modelFile);

  // One detection per palm, best first, in picture pixels: the palm's box and seven keypoints,
  // 0 the middle of the wrist and 2 the knuckle of the middle finger.
  Result<std::vector<Detection>> detect(const media::ImageView& image) { return detector_->detect(image); }

 private:
  explicit PalmDetector(std::unique_ptr<SsdDetector> detector) : detector_(std::move(detector)) {}
  std::unique_ptr<SsdDetector> detector_;
};

// The crop the hand landmark model was trained on: the palm box turned so that the wrist points
// down and the fingers up, moved half its height towards the fingers, made square on its longer
// side and enlarged 2.6 times so that the whole hand fits.
RotatedRect handCrop(const Detection& palm);

}  // namespace platform::vision
