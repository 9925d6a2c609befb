#include "platform/media/media_time.h"

#include <gtest/gtest.h>

namespace platform::media {
namespace {

TEST(MediaTimeTest, OrdersByInstantAcrossTimeScales) {
  struct Case {
    MediaTime earlier, later;
  };
  const Case cases[] = {
      {{1, 600}, {2, 600}},
      {{21, 12800}, {1, 600}},  // 0.00164 s before 0.00167 s
      {{-1, 25}, kMediaTimeZero},
      {{0, 1}, {1, 1'000'000'000}},
      {{INT64_MAX - 1, 7}, {INT64_MAX, 7}},  // products beyond 64 bits still compare exactly
      {MediaTime{}, {-5, 1}},                // an invalid time comes first
  };
  for (const Case& c : cases) {
    EXPECT_LT(c.earlier, c.later) << c.earlier.value << "/" << c.earlier.timeScale;
    EXPECT_GT(c.later, c.earlier);
    EXPECT_FALSE(c.earlier == c.later);
  }
  EXPECT_EQ((MediaTime{1, 600}), (MediaTime{2, 1200}));
  EXPECT_EQ((MediaTime{512, 12800}), (MediaTime{1, 25}));
  EXPECT_EQ(MediaTime{}, (MediaTime{3, 0}));
}

TEST(MediaTimeTest, AddsExactlyInTheCommonScale) {
  struct Case {
    MediaTime a, b, sum;
  };
  const Case cases[] = {
      {{1, 25}, {1, 600}, {25, 600}}, {{512, 12800}, {1, 600}, {1600, 38400}}, {{7, 1000}, {1, 600}, {26, 3000}},
      {{-3, 4}, {3, 4}, {0, 4}},      {kMediaTimeZero, {1, 600}, {1, 600}},
  };
  for (const Case& c : cases) {
    const MediaTime sum = add(c.a, c.b);
    EXPECT_EQ(sum.value, c.sum.value) << c.a.value << "/" << c.a.timeScale << " + " << c.b.value << "/"
                                      << c.b.timeScale;
    EXPECT_EQ(sum.timeScale, c.sum.timeScale);
  }
}

TEST(MediaTimeTest, RoundsSumsBeyondTheLargestScaleAndRefusesOverflow) {
  // Two primes near a billion: their common multiple is far beyond the largest scale.
  const MediaTime sum = add(MediaTime{1, 999'999'937}, MediaTime{1, 999'999'929});
  EXPECT_EQ(sum.timeScale, kMaxTimeScale);
  EXPECT_EQ(sum.value, 2);  // 2.0000001 ns
  EXPECT_FALSE(add(MediaTime{INT64_MAX, 1}, MediaTime{1, 1}).isValid());
  EXPECT_FALSE(add(MediaTime{}, MediaTime{1, 1}).isValid());
}

TEST(MediaTimeTest, ConvertsToOtherScalesRoundingHalvesAwayFromZero) {
  struct Case {
    MediaTime time;
    int32_t scale;
    int64_t value;
  };
  const Case cases[] = {
      {{1, 600}, 25, 0},
      {{1, 600}, 1000, 2},
      {{1, 2}, 1, 1},
      {{-1, 2}, 1, -1},
      {{512, 12800}, 25, 1},
      {{3, 3}, 3, 3},
      {{INT64_MAX, 1}, 2, INT64_MAX},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.time.valueInScale(c.scale), c.value) << c.time.value << "/" << c.time.timeScale << " in " << c.scale;
  }
  EXPECT_DOUBLE_EQ((MediaTime{1001, 30000}).seconds(), 1001.0 / 30000.0);
  EXPECT_EQ(MediaTime{}.seconds(), 0.0);
}

}  // namespace
}  // namespace platform::media
