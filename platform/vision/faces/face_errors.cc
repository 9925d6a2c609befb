#include "platform/vision/faces/face_errors.h"

namespace platform::vision {

Error faceModelError(const std::string& what, const std::string& why) {
  return Error{kFaceServiceErrorDomain, static_cast<int64_t>(FaceServiceError::modelUnavailable),
               "The face analysis is unavailable: " + what + " could not be loaded (" + why + ")"};
}

}  // namespace platform::vision
