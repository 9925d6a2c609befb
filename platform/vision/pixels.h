// The one check every service makes of a picture before it reads a pixel.
#pragma once

#include <cstddef>

#include "platform/media/image.h"

namespace platform::vision {

// Whether `image` has pixels to read: memory, a width and height of at least 1, and rows at least
// as long as its width (a shorter row would lead a reader past the end of the pixels).
inline bool holdsPixels(const media::ImageView& image) {
  return image.data != nullptr && image.width > 0 && image.height > 0 &&
         image.bytesPerRow >= static_cast<ptrdiff_t>(image.width) * media::bytesPerPixel(image.format);
}

}  // namespace platform::vision
