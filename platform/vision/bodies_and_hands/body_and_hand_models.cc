#include "platform/vision/bodies_and_hands/body_and_hand_models.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace platform::vision {

SsdDetectorSettings poseDetectorSettings() {
  SsdDetectorSettings settings;
  settings.modelFile = "pose_detection.tflite";
  settings.anchors = {224, 224, {8, 16, 32, 32, 32}};
  settings.keypointCount = 4;
  settings.low = -1;
  settings.high = 1;
  settings.minScore = 0.5f;
  settings.suppressionThreshold = 0.3;
  return settings;
}

LandmarkModelSettings poseLandmarkSettings(const std::string& modelFile) {
  LandmarkModelSettings settings;
  settings.modelFile = modelFile;
  settings.inputSize = 256;
  // 33 body points, 2 points that would place a following frame's crop and 4 more that are not
  // used; 5 values each: x, y, z, and the visibility and presence logits.
  settings.pointsOutput = "Identity";
  settings.rows = 39;
  settings.valuesPerRow = 5;
  settings.visibilityValue = 3;
  settings.keptPoints = 33;
  settings.presenceOutput = "Identity_1";
  // The published post-processing refines each point within a 7 x 7 window of its heat map.
  settings.heatmap = HeatmapRefinement{"Identity_3", 64, 7, 0.5f};
  return settings;
}

SsdDetectorSettings palmDetectorSettings(const std::string& modelFile) {
  SsdDetectorSettings settings;
  settings.modelFile = modelFile;
  settings.anchors = {192, 192, {8, 16, 16, 16}};
  settings.keypointCount = 7;
  settings.low = 0;
  settings.high = 1;
  settings.minScore = 0.5f;
  settings.suppressionThreshold = 0.3;
  return settings;
}

LandmarkModelSettings handLandmarkSettings(const std::string& modelFile) {
  LandmarkModelSettings settings;
  settings.modelFile = modelFile;
  settings.inputSize = 224;
  // The picture points and the points in metres both have 63 values (x, y, z), the presence and
  // the handedness one each: only the names tell them apart.
  settings.pointsOutput = "Identity";
  settings.rows = 21;
  settings.valuesPerRow = 3;
  settings.keptPoints = 21;
  settings.presenceOutput = "Identity_1";
  return settings;
}

RotatedRect bodyCrop(const Detection& person) {
  if (person.keypoints.size() < 2) return {};
  const RotatedRect circle = alignedSquare(person.keypoints[0], person.keypoints[1], std::numbers::pi / 2);
  return transformRect(circle, {1.25, 1.25, 0, 0, true});
}

RotatedRect handCrop(const Detection& palm) {
  if (palm.keypoints.size() < 3) return {};
  const RotatedRect box{palm.box.xMin + palm.box.width / 2, palm.box.yMin + palm.box.height / 2, palm.box.width,
                        palm.box.height, alignmentRotation(palm.keypoints[0], palm.keypoints[2], std::numbers::pi / 2)};
  return transformRect(box, {2.6, 2.6, 0, -0.5, true});
}

RotatedRect handCropFromLandmarks(std::span<const LandmarkPoint> hand) {
  if (hand.size() < 21) return {};
  // The wrist, the thumb's first three points and the first two of each other finger: the points
  // that stay put however the fingers bend.
  constexpr size_t kSteady[] = {0, 1, 2, 3, 5, 6, 9, 10, 13, 14, 17, 18};
  const ImagePoint wrist = hand[0].position;
  const ImagePoint index = hand[5].position, middle = hand[9].position, ring = hand[13].position;
  const ImagePoint knuckles{((index.x + ring.x) / 2 + middle.x) / 2, ((index.y + ring.y) / 2 + middle.y) / 2};
  const double rotation = alignmentRotation(wrist, knuckles, std::numbers::pi / 2);

  // The box of the steady points in the crop's own axes, around their upright box's centre.
  double low = std::numeric_limits<double>::infinity();
  double minX = low, minY = low, maxX = -low, maxY = -low;
  for (const size_t i : kSteady) {
    minX = std::min(minX, hand[i].position.x), maxX = std::max(maxX, hand[i].position.x);
    minY = std::min(minY, hand[i].position.y), maxY = std::max(maxY, hand[i].position.y);
  }
  const double centreX = (minX + maxX) / 2, centreY = (minY + maxY) / 2;
  const double c = std::cos(rotation), s = std::sin(rotation);
  double uMin = low, vMin = low, uMax = -low, vMax = -low;
  for (const size_t i : kSteady) {
    const double dx = hand[i].position.x - centreX, dy = hand[i].position.y - centreY;
    const double u = dx * c + dy * s, v = -dx * s + dy * c;
    uMin = std::min(uMin, u), uMax = std::max(uMax, u), vMin = std::min(vMin, v), vMax = std::max(vMax, v);
  }
  const double u = (uMin + uMax) / 2, v = (vMin + vMax) / 2;
  const RotatedRect box{centreX + u * c - v * s, centreY + u * s + v * c, uMax - uMin, vMax - vMin, rotation};
  return transformRect(box, {2.0, 2.0, 0, -0.1, true});
}

}  // namespace platform::vision
