#include "person_cutout/cut_out_size.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace person_cutout {
namespace {

TEST(CutOutSizeTest, ScalesTheLongerSideToAtMost1280AndEvensBothSides) {
  struct Case {
    double shownWidth, shownHeight, shrink;
    int64_t width, height;
  };
  const Case cases[] = {
      {1920, 1080, 2.0 / 3, 1280, 720},
      {1080, 1920, 2.0 / 3, 720, 1280},
      {3840, 2160, 1.0 / 3, 1280, 720},
      {4096, 2160, 0.3125, 1280, 676},
      {1440, 1080, 8.0 / 9, 1280, 960},
      {1280, 720, 1, 1280, 720},
      {1277, 717, 1, 1278, 718},
      {1000, 563, 1, 1000, 564},
      {5, 3, 1, 6, 4},
      {0, 0, 1, 2, 2},
      {1281, 1281, 1280.0 / 1281, 1280, 1280},
      {0.4, 0.2, 1, 2, 2},
      {16384, 1, 1280.0 / 16384, 1280, 2},
  };
  for (const Case& c : cases) {
    const CutOutSize size = cutOutSize({c.shownWidth, c.shownHeight});
    EXPECT_DOUBLE_EQ(size.shrink, c.shrink) << c.shownWidth << " x " << c.shownHeight;
    EXPECT_EQ(size.width, c.width) << c.shownWidth << " x " << c.shownHeight;
    EXPECT_EQ(size.height, c.height) << c.shownWidth << " x " << c.shownHeight;
  }
}

TEST(CutOutSizeTest, TreatsSidesThatAreNoFiniteNumberAsZero) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const CutOutSize size = cutOutSize({nan, inf});
  EXPECT_EQ(size.width, 2);
  EXPECT_EQ(size.height, 2);
  EXPECT_EQ(cutOutSize({inf, 720}).width, 2);
  EXPECT_EQ(cutOutSize({inf, 720}).height, 720);
}

TEST(CutOutSizeTest, ExpectsDurationTimesRateFramesAndAtLeastOne) {
  struct Case {
    double seconds;
    float rate;
    int64_t expected;
  };
  const Case cases[] = {
      {10.01, 25.0f, 250}, {10.0, 29.97f, 300}, {2.0, 25.0f, 50},  {0.0, 25.0f, 1},          {10.0, 0.0f, 1},
      {0.01, 25.0f, 1},    {0.02, 25.0f, 1},    {1e300, 30.0f, 1}, {std::nan(""), 25.0f, 1}, {-5.0, 25.0f, 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(expectedFrameCount(c.seconds, c.rate), c.expected) << c.seconds << " s at " << c.rate;
}

TEST(CutOutSizeTest, RoundsHalvesAwayFromZero) {
  EXPECT_EQ(roundHalfAway(2.5), 3);
  EXPECT_EQ(roundHalfAway(-2.5), -3);
  EXPECT_EQ(roundHalfAway(638.5), 639);
  EXPECT_EQ(roundHalfAway(0.49999999999999994), 0);
  EXPECT_EQ(roundHalfAway(9.3e18), 0);  // beyond 64 bits
}

}  // namespace
}  // namespace person_cutout
