// Steadies a video's person masks from frame to frame. A model that sees each frame alone
// flickers where it is unsure (hair, hands, the edges of clothes); where the new frame's mask is
// unsure of a point, the point keeps part of its value from the frame before, and where the new
// mask is sure, it wins at once, so that a person who moves is followed without a trail.
#pragma once

#include <array>

#include "platform/vision/segmentation/selfie_segmentation.h"

namespace platform::vision {

class MaskSteadier {
 public:
  // `carry`: the share of the last value a point keeps when the new one is wholly unsure (0.5);
  // less the surer the new value is. 0 turns steadying off.
  explicit MaskSteadier(float carry = 0.9f);

  // Blends `mask` (probabilities 0 to 1) with the steadied mask of the frame before and keeps the
  // result for the next frame. The first frame, and a frame whose grid differs from the last
  // one's, is kept as it is.
  void steady(FloatPlane& mask);

  // Forgets the frames so far: the next frame starts a new sequence.
  void reset() { last_.resize(0, 0); }

 private:
  static constexpr int kSteps = 1024;
  std::array<float, kSteps + 1> weight_;  // the share of the last value kept, by new probability
  FloatPlane last_;
};

}  // namespace platform::vision
