// How the detector building blocks report their failures: under platform.detection
// (platform/errors.h). The services that use them report these under their own domains.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "platform/errors.h"

namespace platform::vision {

enum class DetectionError : int64_t {
  noPixels = 1,          // the picture is empty or its rows are shorter than its width
  badCrop = 2,           // the crop is not a finite rectangle, or the tensor has no pixels
  modelUnavailable = 3,  // a model file is missing, unreadable or not the expected model
  modelFailed = 4,       // a model could not run
};

inline Error detectionError(DetectionError code, std::string description) {
  return makeError(kDetectionDomain, code, std::move(description));
}

}  // namespace platform::vision
