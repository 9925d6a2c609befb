#include "platform/vision/bodies_and_hands/pose_detector.h"

#include <numbers>

namespace platform::vision {

Result<std::unique_ptr<PoseDetector>> PoseDetector::load() {
  SsdDetectorSettings settings;
  settings.modelFile = "pose_detection.tflite";
  settings.anchors = {224, 224, {8, 16, 32, 32, 32}};
  settings.keypointCount = 4;
  settings.low = -1;
  settings.high = 1;
  settings.minScore = 0.5f;
  settings.suppressionThreshold = 0.3;
  Result<std::unique_ptr<SsdDetector>> detector = SsdDetector::load(settings);
  if (!detector) return detector.error();
  return std::unique_ptr<PoseDetector>(new PoseDetector(std::move(detector.value())));
}

RotatedRect bodyCrop(const Detection& person) {
  if (person.keypoints.size() < 2) return {};
  const RotatedRect circle = alignedSquare(person.keypoints[0], person.keypoints[1], std::numbers::pi / 2);
  return transformRect(circle, {1.25, 1.25, 0, 0, true});
}

}  // namespace platform::vision
