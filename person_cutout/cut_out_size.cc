#include "person_cutout/cut_out_size.h"

#include <algorithm>
#include <cmath>

namespace person_cutout {

int64_t roundHalfAway(double value) {
  const double rounded = std::round(value);
  // 2^63 is the first double beyond the range; -2^63 is the last one inside it.
  if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0)) return 0;
  return static_cast<int64_t>(rounded);
}

CutOutSize cutOutSize(platform::media::FrameSize shown) {
  const double shownWidth = std::isfinite(shown.width) ? shown.width : 0;
  const double shownHeight = std::isfinite(shown.height) ? shown.height : 0;
  CutOutSize size;
  const double longest = shownWidth <= shownHeight ? shownHeight : shownWidth;
  size.shrink = longest < 1 ? 1 : std::min(1280 / longest, 1.0);
  size.width = std::max<int64_t>(2, 2 * roundHalfAway(shownWidth * size.shrink * 0.5));
  size.height = std::max<int64_t>(2, 2 * roundHalfAway(shownHeight * size.shrink * 0.5));
  return size;
}

int64_t expectedFrameCount(double seconds, float frameRate) {
  return std::max<int64_t>(1, roundHalfAway(seconds * static_cast<double>(frameRate)));
}

}  // namespace person_cutout
