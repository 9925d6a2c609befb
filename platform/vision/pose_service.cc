#include "platform/vision/pose_service.h"

namespace platform::vision {

// Body and hand analysis is not built yet: every picture reports none.
Result<std::vector<VNHumanBodyPoseObservation>> detectHumanBodyPose(const media::ImageView&) {
  return std::vector<VNHumanBodyPoseObservation>{};
}

Result<std::vector<VNHumanHandPoseObservation>> detectHumanHandPose(const media::ImageView&, int) {
  return std::vector<VNHumanHandPoseObservation>{};
}

}  // namespace platform::vision
