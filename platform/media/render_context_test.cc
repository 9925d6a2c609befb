#include "platform/media/render_context.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/errors.h"

namespace platform::media {
namespace {

std::shared_ptr<PixelBuffer> maskOf(int width, const std::vector<uint8_t>& values) {
  const int height = static_cast<int>(values.size()) / width;
  std::shared_ptr<PixelBuffer> mask = makePixelBuffer(PixelFormat::gray8, width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) mask->row(y)[x] = values[static_cast<size_t>(y * width + x)];
  }
  return mask;
}

// The grey value of every target pixel; in a BGRA target after checking that blue, green and red
// agree and alpha is opaque.
std::vector<int> greys(const PixelBuffer& target) {
  std::vector<int> values;
  for (int y = 0; y < target.height; ++y) {
    for (int x = 0; x < target.width; ++x) {
      if (target.format == PixelFormat::gray8) {
        values.push_back(target.row(y)[x]);
        continue;
      }
      const uint8_t* pixel = target.row(y) + 4 * x;
      EXPECT_EQ(pixel[0], pixel[1]);
      EXPECT_EQ(pixel[1], pixel[2]);
      EXPECT_EQ(pixel[3], 255);
      values.push_back(pixel[0]);
    }
  }
  return values;
}

std::shared_ptr<PixelBuffer> scribbled(int width, int height, PixelFormat format = PixelFormat::bgra8) {
  std::shared_ptr<PixelBuffer> target = makePixelBuffer(format, width, height);
  for (int y = 0; y < height; ++y) std::fill(target->row(y), target->row(y) + bytesPerPixel(format) * width, 0x5A);
  return target;
}

TEST(RenderContextTest, StretchesTheMaskBilinearlyOverTheWholeTarget) {
  struct Case {
    const char* name;
    int maskWidth;
    std::vector<uint8_t> mask;
    int width, height;
    std::vector<int> expected;
  };
  const Case cases[] = {
      {"same size", 2, {0, 255, 10, 20}, 2, 2, {0, 255, 10, 20}},
      // Centres of the four columns sample the mask at -0.25, 0.25, 0.75 and 1.25.
      {"twice as wide", 2, {0, 255}, 4, 1, {0, 64, 191, 255}},
      {"stretched unevenly", 2, {0, 255}, 4, 2, {0, 64, 191, 255, 0, 64, 191, 255}},
      {"down one row to three", 1, {0, 240}, 1, 3, {0, 120, 240}},
      {"halved", 4, {0, 0, 200, 200}, 2, 1, {0, 200}},
  };
  RenderContext context;  // one context for all: its tables must follow each new scale and format
  for (const PixelFormat format : {PixelFormat::bgra8, PixelFormat::gray8}) {
    for (const Case& c : cases) {
      const std::shared_ptr<PixelBuffer> mask = maskOf(c.maskWidth, c.mask);
      const std::shared_ptr<PixelBuffer> target = scribbled(c.width, c.height, format);
      ASSERT_TRUE(context.render(*mask, double(c.width) / mask->width, double(c.height) / mask->height, *target))
          << c.name;
      EXPECT_EQ(greys(*target), c.expected) << c.name << (format == PixelFormat::gray8 ? ", grey target" : "");
    }
  }
}

TEST(RenderContextTest, GreyAndBgraTargetsGetTheSameGreysAtAnyScale) {
  // A mask of every value, drawn larger, smaller and unevenly stretched.
  std::vector<uint8_t> values(13 * 7);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint8_t>(i * 37 % 256);
  const std::shared_ptr<PixelBuffer> mask = maskOf(13, values);
  RenderContext bgraContext, greyContext;
  for (const auto& [width, height] : {std::pair{40, 30}, std::pair{6, 4}, std::pair{64, 5}, std::pair{13, 7}}) {
    const std::shared_ptr<PixelBuffer> bgra = scribbled(width, height);
    const std::shared_ptr<PixelBuffer> grey = scribbled(width, height, PixelFormat::gray8);
    const double across = double(width) / mask->width, down = double(height) / mask->height;
    ASSERT_TRUE(bgraContext.render(*mask, across, down, *bgra));
    ASSERT_TRUE(greyContext.render(*mask, across, down, *grey));
    EXPECT_EQ(greys(*grey), greys(*bgra)) << width << " x " << height;
  }
}

TEST(RenderContextTest, DrawsAMaskWithoutPixelsAsBlack) {
  RenderContext context;
  PixelBuffer empty;  // no memory
  empty.width = 4;
  empty.height = 4;
  for (const PixelFormat format : {PixelFormat::bgra8, PixelFormat::gray8}) {
    const std::shared_ptr<PixelBuffer> target = scribbled(3, 2, format);
    ASSERT_TRUE(context.render(empty, 0.75, 0.5, *target));
    EXPECT_EQ(greys(*target), std::vector<int>(6, 0));
  }
}

TEST(RenderContextTest, RefusesTargetsAndMasksOfOtherLayouts) {
  RenderContext context;
  const std::shared_ptr<PixelBuffer> mask = maskOf(1, {9});
  std::vector<uint8_t> rgb(2 * 2 * 3, 0x5A);
  PixelBuffer rgbTarget;
  rgbTarget.format = PixelFormat::rgb8;
  rgbTarget.width = rgbTarget.height = 2;
  rgbTarget.bytesPerRow = 6;
  rgbTarget.data = rgb.data();
  PixelBuffer noMemory;
  noMemory.format = PixelFormat::gray8;
  noMemory.width = noMemory.height = 2;
  for (PixelBuffer* wrong : {&rgbTarget, &noMemory}) {
    const Result<void> wrongTarget = context.render(*mask, 2, 2, *wrong);
    ASSERT_FALSE(wrongTarget);
    EXPECT_EQ(wrongTarget.error().domain, kRenderDomain);
    EXPECT_EQ(wrongTarget.error().code, static_cast<int64_t>(RenderError::wrongTarget));
  }
  EXPECT_EQ(rgb, std::vector<uint8_t>(2 * 2 * 3, 0x5A));  // untouched
  const std::shared_ptr<PixelBuffer> colourMask = makePixelBuffer(PixelFormat::bgra8, 1, 1);
  const std::shared_ptr<PixelBuffer> target = scribbled(2, 2);
  const Result<void> wrongMask = context.render(*colourMask, 2, 2, *target);
  ASSERT_FALSE(wrongMask);
  EXPECT_EQ(wrongMask.error().code, static_cast<int64_t>(RenderError::wrongMask));
  EXPECT_EQ(target->row(0)[3], 0x5A);  // untouched
}

}  // namespace
}  // namespace platform::media
