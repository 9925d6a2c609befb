#include "platform/vision/face_service.h"

namespace platform::vision {

// Face detection is not built yet: every picture reports no faces.
Result<std::vector<VNFaceObservation>> detectFaceLandmarks(const media::ImageView&) {
  return std::vector<VNFaceObservation>{};
}

Result<std::vector<VNFaceObservation>> detectFaceRectangles(const media::ImageView&) {
  return std::vector<VNFaceObservation>{};
}

}  // namespace platform::vision
