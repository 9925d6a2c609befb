// The size of the cut-out and the number of frames to expect.
#pragma once

#include <cstdint>

#include "platform/media/video_asset.h"

namespace person_cutout {

// `value` rounded to the nearest integer, halves away from zero. Values beyond the 64-bit range,
// and values that are not numbers, give 0.
int64_t roundHalfAway(double value);

struct CutOutSize {
  double shrink = 1;  // at most 1: 1280 / the longer side, for a longer side above 1280
  int64_t width = 2;  // even, 2 to 1280
  int64_t height = 2;
};

// The shown size scaled down to a longer side of at most 1280, each side rounded to an even
// number of at least 2: 1920 x 1080 gives 1280 x 720, 1277 x 717 gives 1278 x 718, 5 x 3 gives
// 6 x 4. A side that is not a finite number counts as 0.
CutOutSize cutOutSize(platform::media::FrameSize shown);

// The larger of 1 and `seconds` x `frameRate` rounded (the rate widened exactly to 64 bits
// first): 10.01 s at 25 gives 250. A product that is not a finite number in the 64-bit range
// gives 1.
int64_t expectedFrameCount(double seconds, float frameRate);

}  // namespace person_cutout
