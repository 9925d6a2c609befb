#include "platform/vision/segmentation/mask_steadying.h"

#include <algorithm>
#include <cmath>

namespace platform::vision {

MaskSteadier::MaskSteadier(float carry) {
  // How unsure a probability p is: its binary entropy, 1 bit at p = 0.5 and 0 at 0 and 1.
  for (int i = 0; i <= kSteps; ++i) {
    const double p = static_cast<double>(i) / kSteps;
    double entropy = 0.0;
    if (p > 0.0 && p < 1.0) entropy = -(p * std::log2(p) + (1.0 - p) * std::log2(1.0 - p));
    weight_[static_cast<size_t>(i)] = static_cast<float>(carry * entropy);
  }
}

void MaskSteadier::steady(FloatPlane& mask) {
  if (last_.width == mask.width && last_.height == mask.height && !mask.values.empty()) {
    for (size_t i = 0; i < mask.values.size(); ++i) {
      const float now = mask.values[i];
      const float inRange = now > 0.0f ? std::min(now, 1.0f) : 0.0f;  // also for a value that is not a number
      const float keep = weight_[static_cast<size_t>(inRange * kSteps + 0.5f)];
      mask.values[i] = now + (last_.values[i] - now) * keep;
    }
  }
  last_.resize(mask.width, mask.height);
  last_.values.assign(mask.values.begin(), mask.values.end());
}

}  // namespace platform::vision
