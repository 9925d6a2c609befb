#include "person_cutout/summary_record.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>

namespace person_cutout {
namespace {

TEST(SummaryRecordTest, FormatsFixedPointAsPrintfDoesInTheCLocale) {
  const double values[] = {0, 0.125, 0.1, 2.5, 8.365, 8.375, 0.00005, 0.99995, 1.0 / 3, 1.7777777, 123456.789, 1e20};
  std::setlocale(LC_NUMERIC, "C");
  for (const double value : values) {
    for (const int digits : {2, 4}) {
      char expected[64];
      std::snprintf(expected, sizeof expected, "%.*f", digits, value);
      EXPECT_EQ(fixedPoint(value, digits), expected) << value;
    }
  }
  EXPECT_EQ(fixedPoint(0.125, 4), "0.1250");
  EXPECT_EQ(fixedPoint(12.0, 2), "12.00");
}

TEST(SummaryRecordTest, TheTypicalTopIsTheUpperMiddleOfTheSortedTops) {
  struct Case {
    std::vector<double> tops;
    double top;
  };
  const Case cases[] = {
      {{}, 0.0}, {{0.4}, 0.4}, {{0.3, 0.1, 0.2}, 0.2}, {{0.25, 0.1, 0.2, 0.3}, 0.25}, {{0.5, 0.0}, 0.5},
  };
  for (Case c : cases) EXPECT_EQ(typicalTop(c.tops), c.top);
  std::vector<double> tops = {0.3, 0.1, 0.2};
  typicalTop(tops);
  EXPECT_EQ(tops, (std::vector<double>{0.1, 0.2, 0.3}));  // sorted in place
}

TEST(SummaryRecordTest, WritesTheEightMembersInTheirOrderAndFormats) {
  EXPECT_EQ(summaryRecord({120, 720, 1280, 8.3712, 117, 0.2311 * 120, 0.125}),
            "{\"frames\": 120, \"width\": 720, \"height\": 1280, \"seconds\": 8.37, \"person_frames\": 117, "
            "\"coverage\": 0.2311, \"top\": 0.1250, \"aspect\": 0.5625}");
  EXPECT_EQ(summaryRecord({3, 1280, 720, 0, 0, 0, 0}),
            "{\"frames\": 3, \"width\": 1280, \"height\": 720, \"seconds\": 0.00, \"person_frames\": 0, "
            "\"coverage\": 0.0000, \"top\": 0.0000, \"aspect\": 1.7778}");
}

}  // namespace
}  // namespace person_cutout
