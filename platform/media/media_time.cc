#include "platform/media/media_time.h"

#include <limits>
#include <numeric>

namespace platform::media {
namespace {

using Wide = __int128;

// numerator / denominator (> 0), rounded to the nearest integer, halves away from zero.
Wide divideRounded(Wide numerator, Wide denominator) {
  const Wide half = denominator / 2;
  if (numerator >= 0) return (numerator + half) / denominator;
  return -((-numerator + half) / denominator);
}

bool fits(Wide value) {
  return value >= std::numeric_limits<int64_t>::min() && value <= std::numeric_limits<int64_t>::max();
}

}  // namespace

double MediaTime::seconds() const {
  if (!isValid()) return 0.0;
  return static_cast<double>(value) / static_cast<double>(timeScale);
}

int64_t MediaTime::valueInScale(int32_t scale) const {
  if (!isValid() || scale <= 0) return 0;
  if (scale == timeScale) return value;
  const Wide rounded = divideRounded(static_cast<Wide>(value) * scale, timeScale);
  if (rounded > std::numeric_limits<int64_t>::max()) return std::numeric_limits<int64_t>::max();
  if (rounded < std::numeric_limits<int64_t>::min()) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(rounded);
}

std::strong_ordering operator<=>(const MediaTime& a, const MediaTime& b) {
  if (!a.isValid() || !b.isValid()) return a.isValid() <=> b.isValid();
  const Wide left = static_cast<Wide>(a.value) * b.timeScale;
  const Wide right = static_cast<Wide>(b.value) * a.timeScale;
  return left < right   ? std::strong_ordering::less
         : left > right ? std::strong_ordering::greater
                        : std::strong_ordering::equal;
}

bool operator==(const MediaTime& a, const MediaTime& b) { return (a <=> b) == 0; }

MediaTime add(const MediaTime& a, const MediaTime& b) {
  if (!a.isValid() || !b.isValid()) return MediaTime{};
  const Wide common = std::lcm(static_cast<int64_t>(a.timeScale), static_cast<int64_t>(b.timeScale));
  if (common <= kMaxTimeScale) {
    const Wide sum =
        static_cast<Wide>(a.value) * (common / a.timeScale) + static_cast<Wide>(b.value) * (common / b.timeScale);
    if (!fits(sum)) return MediaTime{};
    return MediaTime{static_cast<int64_t>(sum), static_cast<int32_t>(common)};
  }
  // The exact sum over a.timeScale * b.timeScale, rounded to the largest scale.
  const Wide exact = static_cast<Wide>(a.value) * b.timeScale + static_cast<Wide>(b.value) * a.timeScale;
  const Wide rounded = divideRounded(exact * kMaxTimeScale, static_cast<Wide>(a.timeScale) * b.timeScale);
  if (!fits(rounded)) return MediaTime{};
  return MediaTime{static_cast<int64_t>(rounded), kMaxTimeScale};
}

}  // namespace platform::media
