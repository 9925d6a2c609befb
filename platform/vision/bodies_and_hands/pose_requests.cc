#include "platform/vision/bodies_and_hands/pose_requests.h"

#include "platform/vision/bodies_and_hands/pose_service.h"

namespace platform::vision {

Result<void> BodyPoseRequest::perform(const media::ImageView& image) { return keep(detectBodies(image)); }

Result<void> HandPoseRequest::perform(const media::ImageView& image) {
  return keep(detectHands(image, maximumHandCount_));
}

}  // namespace platform::vision
