#include "platform/media/pixel_buffer.h"

#include <gtest/gtest.h>

#include <set>

namespace platform::media {
namespace {

TEST(PixelBufferTest, MakesAlignedRowsOfTheAskedLayout) {
  struct Case {
    PixelFormat format;
    int width, height;
    ptrdiff_t bytesPerRow;
  };
  const Case cases[] = {
      {PixelFormat::gray8, 1, 1, 64},
      {PixelFormat::gray8, 65, 3, 128},
      {PixelFormat::bgra8, 16, 2, 64},
      {PixelFormat::bgra8, 17, 2, 128},
  };
  for (const Case& c : cases) {
    const std::shared_ptr<PixelBuffer> buffer = makePixelBuffer(c.format, c.width, c.height);
    ASSERT_TRUE(buffer);
    EXPECT_EQ(buffer->width, c.width);
    EXPECT_EQ(buffer->height, c.height);
    EXPECT_EQ(buffer->bytesPerRow, c.bytesPerRow);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer->baseAddress) % 64, 0u);
    buffer->row(c.height - 1)[c.width * bytesPerPixel(c.format) - 1] = 7;  // the last byte is ours
  }
}

TEST(PixelBufferTest, RefusesLayoutsAndSizesItCannotHold) {
  EXPECT_FALSE(makePixelBuffer(PixelFormat::rgb8, 4, 4));
  EXPECT_FALSE(makePixelBuffer(PixelFormat::gray8, 0, 4));
  EXPECT_FALSE(makePixelBuffer(PixelFormat::gray8, 4, -1));
  EXPECT_FALSE(makePixelBuffer(PixelFormat::bgra8, kMaxPixelBufferSide + 1, 2));
}

TEST(PixelBufferPoolTest, ReusesReleasedBuffersAndKeepsHeldOnesApart) {
  PixelBufferPool pool(PixelFormat::bgra8, 32, 8, 2);
  std::shared_ptr<PixelBuffer> first = pool.createPixelBuffer();
  std::shared_ptr<PixelBuffer> second = pool.createPixelBuffer();
  ASSERT_TRUE(first && second);
  EXPECT_NE(first->baseAddress, second->baseAddress);
  EXPECT_EQ(first->width, 32);
  EXPECT_EQ(first->format, PixelFormat::bgra8);

  uint8_t* const released = first->baseAddress;
  first.reset();
  std::shared_ptr<PixelBuffer> again = pool.createPixelBuffer();
  EXPECT_EQ(again->baseAddress, released);

  // A steady stream of one frame at a time cycles through the same memory.
  std::set<uint8_t*> seen;
  for (int i = 0; i < 20; ++i) seen.insert(pool.createPixelBuffer()->baseAddress);
  EXPECT_EQ(seen.size(), 1u);
}

TEST(PixelBufferPoolTest, BuffersOutliveTheirPool) {
  std::shared_ptr<PixelBuffer> kept;
  {
    PixelBufferPool pool(PixelFormat::gray8, 4, 4);
    kept = pool.createPixelBuffer();
  }
  kept->row(3)[3] = 1;  // still ours; freed when let go (the sanitizer build checks)
  kept.reset();
}

}  // namespace
}  // namespace platform::media
