// The coarse colour picture of the person around a face.
#pragma once

#include "platform/json.h"
#include "platform/media/image.h"
#include "platform/vision/geometry.h"

namespace frame_analysis {

// The region sampled for a face box: a quarter of the face's width beyond it on either side,
// 1.2 face heights below it and 0.3 above it (normalised frame, y upwards).
platform::vision::NormalizedRect samplingRect(const platform::vision::NormalizedRect& box);

// The part of `image` inside `rect` (normalised, origin bottom-left), shrunk to 4 x 4 pixels:
// red, green and blue of each pixel as multiples of 1/255, the top row first, 48 numbers. Empty
// when the rectangle does not overlap the picture or has no area.
platform::JsonArray colours(const platform::media::Image& image, const platform::vision::NormalizedRect& rect);

}  // namespace frame_analysis
