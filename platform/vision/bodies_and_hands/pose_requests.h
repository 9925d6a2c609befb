// The body and hand pose requests.
#pragma once

#include <vector>

#include "platform/vision/observations.h"
#include "platform/vision/requests.h"

namespace platform::vision {

// One observation per person, best first.
class BodyPoseRequest : public RequestWithResults<BodyObservation> {
 public:
  // The faces a face request found in the same picture: the body of each is looked for around it
  // (pose_service.h). Without them, bodies are found by the pose detector alone.
  void setFaces(const std::vector<FaceObservation>& faces);
  Result<void> perform(const media::ImageView& image) override;

 private:
  std::vector<NormalizedRect> faces_;
};

// One observation per hand, best first.
class HandPoseRequest : public RequestWithResults<HandObservation> {
 public:
  // The most confident hands are kept, at most this many.
  void setMaximumHandCount(int count) { maximumHandCount_ = count; }
  // The bodies a body request found in the same picture: palms are looked for closer around each.
  void setBodies(std::vector<BodyObservation> bodies) { bodies_ = std::move(bodies); }
  Result<void> perform(const media::ImageView& image) override;

 private:
  int maximumHandCount_ = 2;
  std::vector<BodyObservation> bodies_;
};

}  // namespace platform::vision
