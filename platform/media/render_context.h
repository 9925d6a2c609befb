// Drawing one-byte masks into BGRA or grey pictures.
//
// Needs: a gray8 mask and a bgra8 or gray8 target with memory. Gives: the target filled with the scaled
// mask, or a failure of the render domain (platform/errors.h) with the target untouched. A
// context keeps working tables between draws, so it belongs to one thread at a time; use one per
// thread.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/media/pixel_buffer.h"
#include "platform/result.h"

namespace platform::media {

enum class RenderError : int64_t {
  wrongTarget = 1,  // the target is not a bgra8 or gray8 buffer with memory
  wrongMask = 2,    // the mask is not gray8
};

// Draws masks scaled into BGRA or grey pictures. Keeps the sampling tables of the last scale it drew, so
// a run of frames of one size computes them once; it keeps no pictures between draws.
class RenderContext {
 public:
  // Draws `mask` (gray8), scaled by `scaleAcross` and `scaleDown`, into all of `target` (bgra8
  // or gray8) as a grey picture: every target pixel gets the mask's value sampled bilinearly at
  // the pixel's centre (edges held): in blue, green and red, with alpha 255, or as the grey
  // byte itself; both formats get the same greys. Mask parts that fall outside the target are
  // cut off; target parts that the scaled mask does not reach take its edge values. A mask
  // without pixels (no memory or no area, or a scale that is not a positive number) draws black.
  // Fails, leaving the target untouched, when the target is not a bgra8 or gray8 buffer with
  // memory or the mask is not gray8 (see RenderError).
  Result<void> render(const PixelBuffer& mask, double scaleAcross, double scaleDown, PixelBuffer& target);

 private:
  // Where target column or row i samples the mask: between source index `low` and `low` + 1,
  // with weight `weight` / 256 on the second.
  struct Tap {
    int low = 0;
    int high = 0;
    uint32_t weight = 0;
  };
  static void computeTaps(std::vector<Tap>& taps, int targetSize, int sourceSize, double scale);

  struct Scale {
    int targetWidth = -1, targetHeight = -1, sourceWidth = -1, sourceHeight = -1;
    double across = 0, down = 0;
    bool operator==(const Scale&) const = default;
  };
  Scale tapsFor_;
  std::vector<Tap> across_;
  std::vector<Tap> down_;
  std::vector<uint16_t> blended_;  // mask rows blended across, each targetWidth long
  std::vector<uint8_t> rowReady_;  // which rows of blended_ this draw has filled
  std::vector<uint8_t> greys_;     // one target row of greys, for a BGRA target
};

}  // namespace platform::media
