#include "platform/media/pixel_buffer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

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
    EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer->data) % 64, 0u);
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
  std::shared_ptr<PixelBuffer> first = pool.makeBuffer();
  std::shared_ptr<PixelBuffer> second = pool.makeBuffer();
  ASSERT_TRUE(first && second);
  EXPECT_NE(first->data, second->data);
  EXPECT_EQ(first->width, 32);
  EXPECT_EQ(first->format, PixelFormat::bgra8);

  uint8_t* const released = first->data;
  first.reset();
  std::shared_ptr<PixelBuffer> again = pool.makeBuffer();
  EXPECT_EQ(again->data, released);

  // A steady stream of one frame at a time cycles through the same memory.
  std::set<uint8_t*> seen;
  for (int i = 0; i < 20; ++i) seen.insert(pool.makeBuffer()->data);
  EXPECT_EQ(seen.size(), 1u);
}

TEST(PixelBufferPoolTest, BuffersOutliveTheirPool) {
  std::shared_ptr<PixelBuffer> kept;
  {
    PixelBufferPool pool(PixelFormat::gray8, 4, 4);
    kept = pool.makeBuffer();
  }
  kept->row(3)[3] = 1;  // still ours; freed when let go (the sanitizer build checks)
  kept.reset();
}

TEST(PixelBufferPoolTest, ThreadsShareOnePoolAndNeverOneBuffer) {
  PixelBufferPool pool(PixelFormat::gray8, 64, 8, 2);
  const size_t bytes = static_cast<size_t>(pool.makeBuffer()->bytesPerRow) * 8;
  // Buffers the first thread hands to the second, which lets go of them there.
  std::mutex handOverLock;
  std::deque<std::shared_ptr<PixelBuffer>> handedOver;
  std::atomic<int> clashes = 0;

  auto fillAndCheck = [&](PixelBuffer& buffer, uint8_t mark) {
    std::memset(buffer.data, mark, bytes);
    std::this_thread::yield();  // let the other thread get a buffer meanwhile
    for (size_t i = 0; i < bytes; ++i) {
      if (buffer.data[i] != mark) {
        ++clashes;
        return;
      }
    }
  };
  std::thread giver([&] {
    for (int i = 0; i < 2000; ++i) {
      std::shared_ptr<PixelBuffer> buffer = pool.makeBuffer();
      if (!buffer) {
        ++clashes;
        continue;
      }
      fillAndCheck(*buffer, 0xA5);
      const std::lock_guard<std::mutex> hold(handOverLock);
      handedOver.push_back(std::move(buffer));
    }
  });
  std::thread taker([&] {
    for (int i = 0; i < 2000; ++i) {
      std::shared_ptr<PixelBuffer> buffer = pool.makeBuffer();
      if (!buffer) {
        ++clashes;
        continue;
      }
      fillAndCheck(*buffer, 0x5A);
      const std::lock_guard<std::mutex> hold(handOverLock);
      handedOver.clear();  // the giver's buffers go back to the pool from this thread
    }
  });
  giver.join();
  taker.join();
  EXPECT_EQ(clashes.load(), 0);
}

}  // namespace
}  // namespace platform::media
