// Pixel buffers: pictures in memory that the media and vision services hand to each other, and
// pools that hand out buffers of one size again and again without new allocations.
//
// A buffer is a plain value: it may be read from any number of threads at once, and written by
// one thread while no other reads it. A pool may be used from any number of threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/media/image.h"

namespace platform::media {

// The largest side, in pixels, of a buffer this platform makes.
inline constexpr int kMaxPixelBufferSide = 16384;

// One picture: one byte (gray8) or four bytes (bgra8) per pixel, rows top first; row y starts at
// data + y * bytesPerRow. A buffer may hold no memory (data null); readers must check before
// touching pixels.
struct PixelBuffer {
  PixelFormat format = PixelFormat::gray8;
  int width = 0;
  int height = 0;
  ptrdiff_t bytesPerRow = 0;
  uint8_t* data = nullptr;

  uint8_t* row(int y) const { return data + y * bytesPerRow; }
  ImageView view() const { return ImageView{data, width, height, bytesPerRow, format}; }

  // Owns the memory at data when the buffer was made by makePixelBuffer or a pool.
  struct FreeMemory {
    void operator()(uint8_t* memory) const;
  };
  std::unique_ptr<uint8_t, FreeMemory> memory;
};

// A buffer of its own memory (not cleared), rows aligned for vector code. Gives nothing when the
// format is not gray8 or bgra8, a side is below 1 or above kMaxPixelBufferSide, or the memory
// cannot be had.
std::shared_ptr<PixelBuffer> makePixelBuffer(PixelFormat format, int width, int height);

// Hands out buffers of one format and size. A buffer goes back to the pool when its last holder
// lets go of it (from any thread), and the next request reuses it, so a steady stream of frames
// allocates only as many buffers as are held at once. Buffers may outlive the pool.
class PixelBufferPool {
 public:
  // Keeps at most `keep` released buffers for reuse; the rest are freed.
  PixelBufferPool(PixelFormat format, int width, int height, size_t keep = 8);

  int width() const { return width_; }
  int height() const { return height_; }

  // A buffer of the pool's format and size, or nothing when memory cannot be had.
  std::shared_ptr<PixelBuffer> makeBuffer();

 private:
  struct Shelf {
    std::mutex lock;
    std::vector<std::unique_ptr<PixelBuffer>> free;
    size_t keep = 0;
  };

  PixelFormat format_;
  int width_;
  int height_;
  std::shared_ptr<Shelf> shelf_;
};

}  // namespace platform::media
