#include "person_cutout/mask_statistics.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

namespace person_cutout {
namespace {

using platform::media::PixelBuffer;
using platform::media::PixelFormat;

// A background mask of the given size whose row padding is all person, so that a reader that
// strays past the width would count it.
std::shared_ptr<PixelBuffer> background(int width, int height) {
  std::shared_ptr<PixelBuffer> mask = platform::media::makePixelBuffer(PixelFormat::gray8, width, height);
  for (int y = 0; y < height; ++y) {
    std::memset(mask->row(y), 255, static_cast<size_t>(mask->bytesPerRow));
    std::memset(mask->row(y), 0, static_cast<size_t>(width));
  }
  return mask;
}

void mark(PixelBuffer& mask, const std::vector<std::pair<int, int>>& points, uint8_t value = 255) {
  for (const auto& [x, y] : points) mask.row(y)[x] = value;
}

TEST(MaskStatisticsTest, WorkedExampleOnA256By192Mask) {
  // 32 x 24 coverage points, 100 of them person. The search rows 0 to 36 hold one person point
  // each (of 32: too few); rows 40 and below are filled from the left.
  std::shared_ptr<PixelBuffer> mask = background(256, 192);
  int onGrid = 0;
  for (int y = 0; y < 40; y += 4) {
    mark(*mask, {{0, y}});
    if (y % 8 == 0) ++onGrid;
  }
  for (int y = 40; onGrid < 100; y += 8) {
    for (int x = 8; x < 256 && onGrid < 100; x += 8, ++onGrid) mark(*mask, {{x, y}});
  }
  const MaskMeasure measure = measureMask(*mask);
  ASSERT_TRUE(measure.measured);
  EXPECT_DOUBLE_EQ(measure.coverage, 100.0 / 768.0);
  EXPECT_TRUE(measure.personFrame);
  ASSERT_TRUE(measure.top);
  EXPECT_DOUBLE_EQ(*measure.top, 40.0 / 192.0);
}

TEST(MaskStatisticsTest, CountsPersonFromByte129AndOnlyAtGridPoints) {
  std::shared_ptr<PixelBuffer> mask = background(16, 16);  // 2 x 2 points
  mark(*mask, {{0, 0}}, 128);
  mark(*mask, {{1, 1}, {7, 0}, {15, 15}}, 255);  // between the points
  EXPECT_EQ(measureMask(*mask).coverage, 0.0);
  mark(*mask, {{8, 8}}, 129);
  EXPECT_EQ(measureMask(*mask).coverage, 0.25);
}

TEST(MaskStatisticsTest, APersonFrameNeedsMoreThanTwoPercent) {
  // 80 x 40 has 10 x 5 = 50 coverage points: one person point is exactly 0.02.
  std::shared_ptr<PixelBuffer> mask = background(80, 40);
  mark(*mask, {{0, 32}});
  MaskMeasure measure = measureMask(*mask);
  EXPECT_DOUBLE_EQ(measure.coverage, 0.02);
  EXPECT_FALSE(measure.personFrame);
  EXPECT_FALSE(measure.top);
  mark(*mask, {{8, 32}});
  measure = measureMask(*mask);
  EXPECT_TRUE(measure.personFrame);
  ASSERT_TRUE(measure.top);  // row 32: 2 of its 10 points
  EXPECT_DOUBLE_EQ(*measure.top, 32.0 / 40.0);
}

TEST(MaskStatisticsTest, ARowQualifiesFromOneSixteenthOfItsPoints) {
  // 256 wide: 32 points per row. Row 4 has 2 of 32 (one sixteenth), row 0 has 1.
  std::shared_ptr<PixelBuffer> mask = background(256, 64);
  mark(*mask, {{0, 0}, {0, 4}, {8, 4}});
  for (int x = 0; x < 256; x += 8) mark(*mask, {{x, 16}});  // enough coverage for a person frame
  const MaskMeasure measure = measureMask(*mask);
  ASSERT_TRUE(measure.personFrame);
  ASSERT_TRUE(measure.top);
  EXPECT_DOUBLE_EQ(*measure.top, 4.0 / 64.0);
}

TEST(MaskStatisticsTest, APersonSpreadThinlyHasNoTop) {
  // 512 x 8: 64 points in the one coverage row, 3 of them person (above 2%), but no search row
  // reaches 4 of 64.
  std::shared_ptr<PixelBuffer> mask = background(512, 8);
  mark(*mask, {{0, 0}, {8, 0}, {16, 0}, {0, 4}});
  const MaskMeasure measure = measureMask(*mask);
  EXPECT_TRUE(measure.personFrame);
  EXPECT_FALSE(measure.top);
}

TEST(MaskStatisticsTest, MasksWithoutMemoryOrArea) {
  PixelBuffer noMemory;
  noMemory.width = 8;
  noMemory.height = 8;
  EXPECT_FALSE(measureMask(noMemory).measured);

  std::shared_ptr<PixelBuffer> flat = background(8, 1);
  flat->height = 0;  // no rows: no points
  const MaskMeasure measure = measureMask(*flat);
  EXPECT_TRUE(measure.measured);
  EXPECT_EQ(measure.coverage, 0.0);
  EXPECT_FALSE(measure.personFrame);
}

}  // namespace
}  // namespace person_cutout
