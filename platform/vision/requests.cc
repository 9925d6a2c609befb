#include "platform/vision/requests.h"

#include "platform/vision/face_service.h"
#include "platform/vision/pose_service.h"
#include "platform/vision/text_service.h"

namespace platform::vision {

std::optional<Error> VNDetectFaceLandmarksRequest::perform(const media::ImageView& image) {
  return keep(detectFaceLandmarks(image));
}

std::optional<Error> VNDetectFaceRectanglesRequest::perform(const media::ImageView& image) {
  return keep(detectFaceRectangles(image));
}

std::optional<Error> VNDetectHumanBodyPoseRequest::perform(const media::ImageView& image) {
  return keep(detectHumanBodyPose(image));
}

std::optional<Error> VNDetectHumanHandPoseRequest::perform(const media::ImageView& image) {
  return keep(detectHumanHandPose(image, maximumHandCount()));
}

std::optional<Error> VNRecognizeTextRequest::perform(const media::ImageView& image) {
  return keep(recognizeText(image, options_));
}

}  // namespace platform::vision
