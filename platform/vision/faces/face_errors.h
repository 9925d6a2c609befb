// How the face service reports its failures.
#pragma once

#include <string>

#include "platform/result.h"

namespace platform::vision {

inline constexpr const char* kFaceServiceErrorDomain = "platform.vision.face";

enum class FaceServiceError : int64_t {
  modelUnavailable = 1,  // a model file is missing, unreadable or not the expected model
};

// "The face analysis is unavailable: <what> could not be loaded (<why>)".
Error faceModelError(const std::string& what, const std::string& why);

}  // namespace platform::vision
