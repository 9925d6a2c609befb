// How the face service reports its failures: under platform.faces (platform/errors.h), with a
// FaceError code.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "platform/errors.h"

namespace platform::vision {

enum class FaceError : int64_t {
  modelUnavailable = 1,  // a model file (or the canonical face) is missing, unreadable or not the expected one
  noPixels = 2,          // the picture holds no pixels
  analysisFailed = 3,    // a model could not run on the picture
};

inline Error faceError(FaceError code, std::string description) {
  return makeError(kFacesDomain, code, std::move(description));
}

}  // namespace platform::vision
