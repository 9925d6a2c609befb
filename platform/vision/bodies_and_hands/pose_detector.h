// Finding people: the pose detector model, and the crop in which the pose landmark model looks
// for each person it finds.
#pragma once

#include <memory>
#include <vector>

#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/detection/detection_decoding.h"
#include "platform/vision/detection/rotated_rect.h"
#include "platform/vision/detection/ssd_detector.h"

namespace platform::vision {

class PoseDetector {
 public:
  // Reads pose_detection.tflite. Slow: once per process.
  static Result<std::unique_ptr<PoseDetector>> load();

  // One detection per person, best first, in picture pixels. Its box is the face's; keypoint 0 is
  // the middle of the hips and keypoint 1 lies on the circle around the whole body, in the
  // direction of the head (keypoints 2 and 3 do the same for the upper body).
  Result<std::vector<Detection>> detect(const media::ImageView& image) { return detector_->detect(image); }

 private:
  explicit PoseDetector(std::unique_ptr<SsdDetector> detector) : detector_(std::move(detector)) {}
  std::unique_ptr<SsdDetector> detector_;
};

// The crop the pose landmark model was trained on: a square around the mid-hip keypoint, twice the
// body circle's radius and a quarter more, turned so that the body points up.
RotatedRect bodyCrop(const Detection& person);

}  // namespace platform::vision
