// Pictures in memory: an owning RGB image and a view that also covers other pixel layouts.
// Plain values: any number of threads may read one picture at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::media {

enum class PixelFormat {
  rgb8,   // 3 bytes per pixel: red, green, blue
  bgra8,  // 4 bytes per pixel: blue, green, red, alpha
  gray8,  // 1 byte per pixel
};

constexpr int bytesPerPixel(PixelFormat format) {
  return format == PixelFormat::rgb8 ? 3 : format == PixelFormat::bgra8 ? 4 : 1;
}

// Pixels owned elsewhere. Rows run top first; row y starts at data + y * bytesPerRow.
struct ImageView {
  const uint8_t* data = nullptr;
  int width = 0;
  int height = 0;
  ptrdiff_t bytesPerRow = 0;
  PixelFormat format = PixelFormat::rgb8;

  const uint8_t* row(int y) const { return data + y * bytesPerRow; }
};

// An RGB picture, rows top first, no padding between rows.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;

  ImageView view() const {
    return ImageView{rgb.data(), width, height, static_cast<ptrdiff_t>(width) * 3, PixelFormat::rgb8};
  }
};

}  // namespace platform::media
