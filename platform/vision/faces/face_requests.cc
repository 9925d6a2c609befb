#include "platform/vision/faces/face_requests.h"

#include "platform/vision/faces/face_service.h"

namespace platform::vision {

Result<void> FaceLandmarksRequest::perform(const media::ImageView& image) { return keep(detectFaceLandmarks(image)); }

Result<void> FaceRectanglesRequest::perform(const media::ImageView& image) { return keep(detectFaceRectangles(image)); }

}  // namespace platform::vision
