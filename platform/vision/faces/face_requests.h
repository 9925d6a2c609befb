// The face requests: landmarks (box, regions, head angles) and rectangles (box and confidence).
#pragma once

#include "platform/vision/observations.h"
#include "platform/vision/requests.h"

namespace platform::vision {

// Faces with their box, landmark regions and head angles, most confident first.
class FaceLandmarksRequest : public RequestWithResults<FaceObservation> {
 public:
  Result<void> perform(const media::ImageView& image) override;
};

// Face boxes and confidences only, most confident first.
class FaceRectanglesRequest : public RequestWithResults<FaceObservation> {
 public:
  Result<void> perform(const media::ImageView& image) override;
};

}  // namespace platform::vision
