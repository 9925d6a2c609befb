#include "platform/vision/bodies_and_hands/pose_requests.h"

#include "platform/vision/bodies_and_hands/pose_service.h"

namespace platform::vision {

void BodyPoseRequest::setFaces(const std::vector<FaceObservation>& faces) {
  faces_.clear();
  for (const FaceObservation& face : faces) faces_.push_back(face.boundingBox);
}

Result<void> BodyPoseRequest::perform(const media::ImageView& image) { return keep(detectBodies(image, faces_)); }

Result<void> HandPoseRequest::perform(const media::ImageView& image) {
  return keep(detectHands(image, maximumHandCount_, bodies_));
}

}  // namespace platform::vision
