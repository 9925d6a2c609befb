// What the vision services report: plain data that callers read and tests build by hand. Two
// observations are equal when every field is.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/vision/geometry.h"

namespace platform::vision {

// Points of one facial feature, each relative to the face box: (0, 0) is the box's bottom-left
// corner, (1, 1) its top-right corner.
struct LandmarkRegion {
  std::vector<Point> normalizedPoints;

  bool operator==(const LandmarkRegion&) const = default;
};

// Left and right are the person's own.
struct FaceLandmarks {
  std::optional<LandmarkRegion> leftEye;
  std::optional<LandmarkRegion> rightEye;
  std::optional<LandmarkRegion> leftPupil;
  std::optional<LandmarkRegion> rightPupil;
  std::optional<LandmarkRegion> leftEyebrow;
  std::optional<LandmarkRegion> rightEyebrow;
  std::optional<LandmarkRegion> outerLips;
  std::optional<LandmarkRegion> innerLips;
  std::optional<LandmarkRegion> nose;

  bool operator==(const FaceLandmarks&) const = default;
};

struct FaceObservation {
  float confidence = 0;
  NormalizedRect boundingBox;
  std::optional<FaceLandmarks> landmarks;
  // Head angles in radians, when known.
  std::optional<double> yaw;
  std::optional<double> pitch;
  std::optional<double> roll;

  bool operator==(const FaceObservation&) const = default;
};

struct JointPoint {
  Point location;  // normalised frame, origin bottom-left
  float confidence = 0;

  bool operator==(const JointPoint&) const = default;
};

// Left and right are the person's own.
enum class BodyJoint {
  nose,
  leftEye,
  rightEye,
  leftEar,
  rightEar,
  neck,
  leftShoulder,
  rightShoulder,
  leftElbow,
  rightElbow,
  leftWrist,
  rightWrist,
  leftHip,
  rightHip,
  root,
  leftKnee,
  rightKnee,
  leftAnkle,
  rightAnkle,
};

enum class HandJoint {
  wrist,
  thumbCMC,
  thumbMP,
  thumbIP,
  thumbTip,
  indexMCP,
  indexPIP,
  indexDIP,
  indexTip,
  middleMCP,
  middlePIP,
  middleDIP,
  middleTip,
  ringMCP,
  ringPIP,
  ringDIP,
  ringTip,
  littleMCP,
  littlePIP,
  littleDIP,
  littleTip,
};

// The joints of one body or hand that the analysis could place.
template <typename JointName>
struct PoseObservation {
  std::map<JointName, JointPoint> points;

  // The joint's point, or nothing when the joint was not placed.
  std::optional<JointPoint> point(JointName joint) const {
    const auto found = points.find(joint);
    if (found == points.end()) return std::nullopt;
    return found->second;
  }

  bool operator==(const PoseObservation&) const = default;
};

using BodyObservation = PoseObservation<BodyJoint>;
using HandObservation = PoseObservation<HandJoint>;

struct TextCandidate {
  std::string string;
  float confidence = 0;  // 0 to 1

  bool operator==(const TextCandidate&) const = default;
};

struct TextObservation {
  NormalizedRect boundingBox;
  std::vector<TextCandidate> candidates;  // best first

  std::vector<TextCandidate> bestCandidates(size_t count) const {
    return std::vector<TextCandidate>(candidates.begin(), candidates.begin() + std::min(count, candidates.size()));
  }

  bool operator==(const TextObservation&) const = default;
};

}  // namespace platform::vision
