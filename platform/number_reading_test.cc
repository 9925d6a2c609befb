#include "platform/number_reading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace platform {
namespace {

TEST(ReadDouble, AcceptsWhatStrtodReadsWhole) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"30", 30},     {"29.97", 29.97}, {"+25", 25},  {"2.5e1", 25}, {".5", 0.5},        {"2e1", 20},
      {"0x1Ep0", 30}, {"0X1e", 30},     {"-25", -25}, {"0", 0},      {"1e-310", 1e-310},  // subnormal, but still a
                                                                                          // number
  };
  for (const auto& c : cases) {
    const std::optional<double> read = readDouble(c.text);
    ASSERT_TRUE(read.has_value()) << c.text;
    EXPECT_EQ(*read, c.value) << c.text;
  }
}

TEST(ReadDouble, ReadsInfinityAndNanInAnyCase) {
  for (const char* text : {"inf", "INF", "Infinity", "+inf"}) {
    ASSERT_TRUE(readDouble(text).has_value()) << text;
    EXPECT_EQ(*readDouble(text), std::numeric_limits<double>::infinity()) << text;
  }
  for (const char* text : {"nan", "NaN", "-nan"}) {
    ASSERT_TRUE(readDouble(text).has_value()) << text;
    EXPECT_TRUE(std::isnan(*readDouble(text))) << text;
  }
}

TEST(ReadDouble, RefusesTextThatIsNotWhollyANumberInRange) {
  for (const char* text : {"", " 30", "30 ", "\t30", "\n30", "30\n", "30fps", "abc", "1e400", "-1e400", "1e-400", "0x",
                           "e5", "--1", "3,5", "30 fps"}) {
    EXPECT_FALSE(readDouble(text).has_value()) << '"' << text << '"';
  }
}

TEST(ReadDouble, StopsAtNothingEmbedded) { EXPECT_FALSE(readDouble(std::string_view("30\0x", 4)).has_value()); }

}  // namespace
}  // namespace platform
