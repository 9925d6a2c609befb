// Media time: an exact rational time, value / timeScale seconds, as the video services use it.
// Plain values and pure functions: safe from any thread.
#pragma once

#include <compare>
#include <cstdint>

namespace platform::media {

// The largest time scale a sum is given; beyond it sums are rounded to this scale.
inline constexpr int32_t kMaxTimeScale = 1'000'000'000;

struct MediaTime {
  int64_t value = 0;
  int32_t timeScale = 0;  // ticks per second; a time with a scale of 0 or less is invalid

  bool isValid() const { return timeScale > 0; }
  // The time in seconds, rounded to the nearest double; 0 for an invalid time.
  double seconds() const;
  // The value in ticks of `scale` (> 0), rounded to the nearest tick, halves away from zero.
  // Values beyond the 64-bit range are clamped to it.
  int64_t valueInScale(int32_t scale) const;
};

inline constexpr MediaTime kMediaTimeZero{0, 1};

// Orders times by the instant they stand for, whatever their scales: 1/600 equals 2/1200. An
// invalid time is earlier than every valid one and equal to every other invalid one.
std::strong_ordering operator<=>(const MediaTime& a, const MediaTime& b);
bool operator==(const MediaTime& a, const MediaTime& b);

// The exact sum in the least common multiple of the two scales. When that multiple exceeds
// kMaxTimeScale the sum is rounded to kMaxTimeScale; a sum beyond the 64-bit range of values, or
// one with an invalid operand, is invalid.
MediaTime add(const MediaTime& a, const MediaTime& b);

}  // namespace platform::media
