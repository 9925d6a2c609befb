// Face observations as frame-record entries.
#pragma once

#include <optional>

#include "platform/json.h"
#include "platform/media/image.h"
#include "platform/vision/observations.h"

namespace frame_analysis {

// The record of one face: "box", "confidence", "landmarks" with nine regions, the head angles in
// degrees that the observation has, and "colours" when the frame image is given.
platform::JsonObject faceRecord(const platform::vision::FaceObservation& face, const platform::media::Image* image);

// The points of `region` placed in the frame through the face box `box`; empty when absent.
platform::JsonArray region(const std::optional<platform::vision::LandmarkRegion>& landmarkRegion,
                           const platform::vision::NormalizedRect& box);

}  // namespace frame_analysis
