// Finding faces in a picture.
#pragma once

#include <vector>

#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/observations.h"

namespace platform::vision {

// Every face in the picture with its box, landmark regions and head angles, most confident first.
Result<std::vector<FaceObservation>> detectFaceLandmarks(const media::ImageView& image);

// Every face in the picture with its box and confidence only, most confident first.
Result<std::vector<FaceObservation>> detectFaceRectangles(const media::ImageView& image);

}  // namespace platform::vision
