// What the vision requests report: plain data that callers read and tests build by hand.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/vision/geometry.h"

namespace platform::media {
struct PixelBuffer;
}

namespace platform::vision {

// Points of one facial feature, each relative to the face box: (0, 0) is the box's bottom-left
// corner, (1, 1) its top-right corner.
struct VNFaceLandmarkRegion2D {
  std::vector<Point> normalizedPoints;
};

// Left and right are the person's own.
struct VNFaceLandmarks2D {
  std::optional<VNFaceLandmarkRegion2D> leftEye;
  std::optional<VNFaceLandmarkRegion2D> rightEye;
  std::optional<VNFaceLandmarkRegion2D> leftPupil;
  std::optional<VNFaceLandmarkRegion2D> rightPupil;
  std::optional<VNFaceLandmarkRegion2D> leftEyebrow;
  std::optional<VNFaceLandmarkRegion2D> rightEyebrow;
  std::optional<VNFaceLandmarkRegion2D> outerLips;
  std::optional<VNFaceLandmarkRegion2D> innerLips;
  std::optional<VNFaceLandmarkRegion2D> nose;
};

struct VNFaceObservation {
  float confidence = 0;
  NormalizedRect boundingBox;
  std::optional<VNFaceLandmarks2D> landmarks;
  // Head angles in radians, when known.
  std::optional<double> yaw;
  std::optional<double> pitch;
  std::optional<double> roll;
};

struct VNRecognizedPoint {
  Point location;  // normalised frame, origin bottom-left
  float confidence = 0;
};

// Left and right are the person's own.
enum class VNHumanBodyPoseObservationJointName {
  nose, leftEye, rightEye, leftEar, rightEar, neck,
  leftShoulder, rightShoulder, leftElbow, rightElbow, leftWrist, rightWrist,
  leftHip, rightHip, root, leftKnee, rightKnee, leftAnkle, rightAnkle,
};

enum class VNHumanHandPoseObservationJointName {
  wrist,
  thumbCMC, thumbMP, thumbIP, thumbTip,
  indexMCP, indexPIP, indexDIP, indexTip,
  middleMCP, middlePIP, middleDIP, middleTip,
  ringMCP, ringPIP, ringDIP, ringTip,
  littleMCP, littlePIP, littleDIP, littleTip,
};

// The joints of one body or hand that the analysis could place.
template <typename JointName>
struct VNPoseObservation {
  std::map<JointName, VNRecognizedPoint> points;

  // The joint's point, or nothing when the joint was not placed.
  std::optional<VNRecognizedPoint> recognizedPoint(JointName joint) const {
    const auto found = points.find(joint);
    if (found == points.end()) return std::nullopt;
    return found->second;
  }
};

using VNHumanBodyPoseObservation = VNPoseObservation<VNHumanBodyPoseObservationJointName>;
using VNHumanHandPoseObservation = VNPoseObservation<VNHumanHandPoseObservationJointName>;

struct VNRecognizedText {
  std::string string;
  float confidence = 0;  // 0 to 1
};

struct VNRecognizedTextObservation {
  NormalizedRect boundingBox;
  std::vector<VNRecognizedText> candidates;  // best first

  std::vector<VNRecognizedText> topCandidates(size_t count) const {
    return std::vector<VNRecognizedText>(candidates.begin(), candidates.begin() + std::min(count, candidates.size()));
  }
};

struct VNPixelBufferObservation {
  std::shared_ptr<media::PixelBuffer> pixelBuffer;  // may be empty
};

}  // namespace platform::vision
