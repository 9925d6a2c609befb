// Finding the joints of bodies and hands in a picture.
#pragma once

#include <vector>

#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/observations.h"

namespace platform::vision {

// One observation per person in the picture.
Result<std::vector<VNHumanBodyPoseObservation>> detectHumanBodyPose(const media::ImageView& image);

// One observation per hand, the most confident `maximumHandCount` hands at most.
Result<std::vector<VNHumanHandPoseObservation>> detectHumanHandPose(const media::ImageView& image, int maximumHandCount);

}  // namespace platform::vision
