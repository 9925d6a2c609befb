#include "frame_analysis/colour_sample.h"

#include <gtest/gtest.h>

#include <cmath>

namespace frame_analysis {
namespace {

using platform::vision::NormalizedRect;

platform::media::Image flat(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  platform::media::Image image;
  image.width = width;
  image.height = height;
  for (int i = 0; i < width * height; ++i) image.rgb.insert(image.rgb.end(), {r, g, b});
  return image;
}

std::vector<double> numbers(const platform::JsonArray& array) {
  std::vector<double> values;
  for (const platform::JsonValue& value : array) values.push_back(std::get<double>(value.get()));
  return values;
}

TEST(SamplingRect, ReachesBelowAndAroundTheFace) {
  const NormalizedRect rect = samplingRect({0.4, 0.5, 0.2, 0.2});
  EXPECT_DOUBLE_EQ(rect.x, 0.35);
  EXPECT_DOUBLE_EQ(rect.y, 0.26);
  EXPECT_DOUBLE_EQ(rect.width, 0.3);
  EXPECT_DOUBLE_EQ(rect.height, 0.5);

  // A box given with negative extents is the same box and gets the same rectangle.
  const NormalizedRect flipped = samplingRect({0.6, 0.7, -0.2, -0.2});
  EXPECT_DOUBLE_EQ(flipped.x, 0.35);
  EXPECT_DOUBLE_EQ(flipped.y, 0.26);
  EXPECT_DOUBLE_EQ(flipped.width, 0.3);
  EXPECT_DOUBLE_EQ(flipped.height, 0.5);
}

TEST(Colours, AFlatFrameGivesSixteenEqualTriplesOfWholeSteps) {
  const std::vector<double> sample = numbers(colours(flat(64, 48, 10, 128, 255), {0.1, 0.1, 0.5, 0.5}));
  ASSERT_EQ(sample.size(), 48u);
  for (size_t i = 0; i < sample.size(); i += 3) {
    EXPECT_EQ(sample[i], 10 / 255.0);
    EXPECT_EQ(sample[i + 1], 128 / 255.0);
    EXPECT_EQ(sample[i + 2], 1.0);
  }
}

TEST(Colours, TopRowsComeFirst) {
  // Black top half, white bottom half; the rectangle spans the boundary.
  platform::media::Image image = flat(40, 40, 255, 255, 255);
  std::fill(image.rgb.begin(), image.rgb.begin() + 40 * 20 * 3, 0);
  const std::vector<double> sample = numbers(colours(image, {0.25, 0.25, 0.5, 0.5}));
  ASSERT_EQ(sample.size(), 48u);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(sample[i], 0.0) << i;
  for (int i = 24; i < 48; ++i) EXPECT_EQ(sample[i], 1.0) << i;
}

TEST(Colours, AveragesTheAreaEachPixelCovers) {
  // Columns alternate black and white: a 4 x 4 sample of the whole must be mid grey everywhere,
  // where point sampling would give stripes.
  platform::media::Image image = flat(64, 8, 0, 0, 0);
  for (int y = 0; y < 8; ++y)
    for (int x = 1; x < 64; x += 2)
      for (int c = 0; c < 3; ++c) image.rgb[(y * 64 + x) * 3 + c] = 255;
  for (const double value : numbers(colours(image, {0, 0, 1, 1}))) EXPECT_EQ(value, 128 / 255.0);
}

TEST(Colours, OnlyThePartInsideTheFrameIsSampled) {
  // Red above white; the rectangle hangs below the frame's bottom edge, so only its top half
  // (red over white) is inside and fills the whole sample.
  platform::media::Image image = flat(20, 20, 255, 255, 255);
  for (int i = 0; i < 20 * 10; ++i) image.rgb[i * 3 + 1] = image.rgb[i * 3 + 2] = 0;
  const std::vector<double> sample = numbers(colours(image, {0, -1, 1, 2}));
  ASSERT_EQ(sample.size(), 48u);
  EXPECT_EQ(sample[1], 0.0);   // top row: red
  EXPECT_EQ(sample[46], 1.0);  // bottom row: white
}

TEST(Colours, IsEmptyWhenTheRectangleMissesTheFrameOrHasNoArea) {
  const platform::media::Image image = flat(10, 10, 1, 2, 3);
  for (const NormalizedRect rect :
       {NormalizedRect{1.5, 0, 0.5, 0.5}, NormalizedRect{0, -2, 1, 1}, NormalizedRect{0.2, 0.2, 0, 0.5},
        NormalizedRect{0.2, 0.2, 0.5, 0}, NormalizedRect{1, 0, 0.5, 0.5}}) {
    EXPECT_TRUE(colours(image, rect).empty()) << rect.x << "," << rect.y << "," << rect.width << "," << rect.height;
  }
}

TEST(Colours, ASlimRectangleStillFillsAllSixteenPixels) {
  const std::vector<double> sample = numbers(colours(flat(100, 100, 200, 100, 50), {0.5, 0.5, 0.001, 0.001}));
  ASSERT_EQ(sample.size(), 48u);
  EXPECT_EQ(sample[47], 50 / 255.0);
}

}  // namespace
}  // namespace frame_analysis
