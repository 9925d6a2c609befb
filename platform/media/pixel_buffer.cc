#include "platform/media/pixel_buffer.h"

#include <new>

namespace platform::media {
namespace {

// Rows start on 64-byte boundaries, which the scaling and colour conversion code reads fastest.
constexpr size_t kRowAlignment = 64;

std::unique_ptr<PixelBuffer> allocate(PixelFormat format, int width, int height) {
  if (format != PixelFormat::gray8 && format != PixelFormat::bgra8) return nullptr;
  if (width < 1 || height < 1 || width > kMaxPixelBufferSide || height > kMaxPixelBufferSide) return nullptr;
  const size_t rowBytes = static_cast<size_t>(width) * bytesPerPixel(format);
  const size_t stride = (rowBytes + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
  auto* memory = static_cast<uint8_t*>(
      ::operator new[](stride* static_cast<size_t>(height), std::align_val_t(kRowAlignment), std::nothrow));
  if (memory == nullptr) return nullptr;
  auto buffer = std::unique_ptr<PixelBuffer>(new (std::nothrow) PixelBuffer);
  if (!buffer) {
    PixelBuffer::FreeMemory()(memory);
    return nullptr;
  }
  buffer->format = format;
  buffer->width = width;
  buffer->height = height;
  buffer->bytesPerRow = static_cast<ptrdiff_t>(stride);
  buffer->data = memory;
  buffer->memory.reset(memory);
  return buffer;
}

}  // namespace

void PixelBuffer::FreeMemory::operator()(uint8_t* memory) const {
  ::operator delete[](memory, std::align_val_t(kRowAlignment));
}

std::shared_ptr<PixelBuffer> makePixelBuffer(PixelFormat format, int width, int height) {
  return std::shared_ptr<PixelBuffer>(allocate(format, width, height));
}

PixelBufferPool::PixelBufferPool(PixelFormat format, int width, int height, size_t keep)
    : format_(format), width_(width), height_(height), shelf_(std::make_shared<Shelf>()) {
  shelf_->keep = keep;
  shelf_->free.reserve(keep);  // putting a buffer back never allocates
}

std::shared_ptr<PixelBuffer> PixelBufferPool::makeBuffer() {
  std::unique_ptr<PixelBuffer> buffer;
  {
    std::lock_guard<std::mutex> hold(shelf_->lock);
    if (!shelf_->free.empty()) {
      buffer = std::move(shelf_->free.back());
      shelf_->free.pop_back();
    }
  }
  if (!buffer) buffer = allocate(format_, width_, height_);
  if (!buffer) return nullptr;

  // The deleter puts the buffer back on the shelf while the pool lives, and frees it otherwise.
  std::weak_ptr<Shelf> home = shelf_;
  try {
    return std::shared_ptr<PixelBuffer>(buffer.release(), [home](PixelBuffer* released) {
      std::unique_ptr<PixelBuffer> owned(released);
      if (std::shared_ptr<Shelf> shelf = home.lock()) {
        std::lock_guard<std::mutex> hold(shelf->lock);
        if (shelf->free.size() < shelf->keep) shelf->free.push_back(std::move(owned));
      }
    });
  } catch (const std::bad_alloc&) {
    return nullptr;  // the control block could not be had; the deleter has freed the buffer
  }
}

}  // namespace platform::media
