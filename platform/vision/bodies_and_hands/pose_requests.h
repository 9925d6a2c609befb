// The body and hand pose requests.
#pragma once

#include "platform/vision/observations.h"
#include "platform/vision/requests.h"

namespace platform::vision {

// One observation per person, best first.
class BodyPoseRequest : public RequestWithResults<BodyObservation> {
 public:
  Result<void> perform(const media::ImageView& image) override;
};

// One observation per hand, best first.
class HandPoseRequest : public RequestWithResults<HandObservation> {
 public:
  // The most confident hands are kept, at most this many.
  void setMaximumHandCount(int count) { maximumHandCount_ = count; }
  Result<void> perform(const media::ImageView& image) override;

 private:
  int maximumHandCount_ = 2;
};

}  // namespace platform::vision
