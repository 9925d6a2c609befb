// Pictures brought to the small sizes that the segmentation works at.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/media/image.h"
#include "platform/result.h"

namespace platform::vision {

// A BGRA picture in memory of its own: 4 bytes per pixel, `width` × 4 bytes per row.
struct BgraPlane {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bytes;
};

// Resamples the whole of `picture` (rgb8, bgra8 or gray8, any row stride) to `width` × `height`
// into `out`, averaging every source pixel a target pixel covers when shrinking (no aliasing
// from a large frame) and interpolating bilinearly when enlarging. `scratch` holds a
// full-size BGRA copy for rgb8 and gray8 pictures. Both keep their memory between calls. Fails
// with PersonSegmentationError::noPixels when the picture holds no pixels or a size is out of
// range. Touches nothing but its arguments: safe on several threads with arguments of their own.
Result<void> scalePicture(const media::ImageView& picture, int width, int height, BgraPlane& out,
                          std::vector<uint8_t>& scratch);

}  // namespace platform::vision
