#include "platform/media/render_context.h"

#include <cmath>
#include <cstring>

#include "platform/errors.h"

namespace platform::media {
namespace {

Error renderError(RenderError code, std::string description) {
  return makeError(kRenderDomain, code, std::move(description));
}

void putGrey(uint8_t* pixel, uint8_t grey) {
  pixel[0] = grey;  // blue
  pixel[1] = grey;  // green
  pixel[2] = grey;  // red
  pixel[3] = 255;   // alpha
}

void fillBlack(PixelBuffer& target) {
  if (target.format == PixelFormat::gray8) {
    for (int y = 0; y < target.height; ++y) std::memset(target.row(y), 0, static_cast<size_t>(target.width));
    return;
  }
  for (int y = 0; y < target.height; ++y) {
    uint8_t* out = target.row(y);
    for (int x = 0; x < target.width; ++x) putGrey(out + 4 * x, 0);
  }
}

}  // namespace

void RenderContext::computeTaps(std::vector<Tap>& taps, int targetSize, int sourceSize, double scale) {
  taps.resize(static_cast<size_t>(targetSize));
  for (int i = 0; i < targetSize; ++i) {
    const double at = (i + 0.5) / scale - 0.5;
    Tap& tap = taps[static_cast<size_t>(i)];
    if (!(at > 0)) {
      tap = Tap{0, 0, 0};
    } else if (at >= sourceSize - 1) {
      tap = Tap{sourceSize - 1, sourceSize - 1, 0};
    } else {
      const int low = static_cast<int>(at);
      tap = Tap{low, low + 1, static_cast<uint32_t>(std::lround((at - low) * 256.0))};
    }
  }
}

Result<void> RenderContext::render(const PixelBuffer& mask, double scaleAcross, double scaleDown, PixelBuffer& target) {
  const bool greyTarget = target.format == PixelFormat::gray8;
  if ((target.format != PixelFormat::bgra8 && !greyTarget) || target.data == nullptr || target.width < 1 ||
      target.height < 1) {
    return renderError(RenderError::wrongTarget, "the picture to draw into is not a BGRA or grey picture with pixels");
  }
  if (mask.format != PixelFormat::gray8)
    return renderError(RenderError::wrongMask, "the mask is not one byte per pixel");
  const bool drawable = mask.data != nullptr && mask.width > 0 && mask.height > 0 && std::isfinite(scaleAcross) &&
                        std::isfinite(scaleDown) && scaleAcross > 0 && scaleDown > 0;
  if (!drawable) {
    fillBlack(target);
    return {};
  }

  const Scale scale{target.width, target.height, mask.width, mask.height, scaleAcross, scaleDown};
  if (!(scale == tapsFor_)) {
    computeTaps(across_, target.width, mask.width, scaleAcross);
    computeTaps(down_, target.height, mask.height, scaleDown);
    tapsFor_ = scale;
  }
  const size_t width = static_cast<size_t>(target.width);
  blended_.resize(static_cast<size_t>(mask.height) * width);
  rowReady_.assign(static_cast<size_t>(mask.height), 0);

  auto blendedRow = [&](int y) -> const uint16_t* {
    uint16_t* row = blended_.data() + static_cast<size_t>(y) * width;
    if (!rowReady_[static_cast<size_t>(y)]) {
      const uint8_t* in = mask.row(y);
      for (size_t x = 0; x < width; ++x) {
        const Tap& tap = across_[x];
        row[x] = static_cast<uint16_t>(in[tap.low] * (256 - tap.weight) + in[tap.high] * tap.weight);
      }
      rowReady_[static_cast<size_t>(y)] = 1;
    }
    return row;
  };

  // Two passes per row, each simple enough for the compiler to vectorize: blend the two mask rows
  // down into greys (straight into a grey target), then widen the greys to opaque BGRA.
  if (!greyTarget) greys_.resize(width);
  for (int y = 0; y < target.height; ++y) {
    const Tap& tap = down_[static_cast<size_t>(y)];
    const uint16_t* upper = blendedRow(tap.low);
    const uint16_t* lower = blendedRow(tap.high);
    // Weights of at most 256 as 16-bit numbers: 16 by 16 bits to 32 is a multiplication that
    // vector units have, 16 by 32 bits is not.
    const auto keep = static_cast<uint16_t>(256 - tap.weight);
    const auto weight = static_cast<uint16_t>(tap.weight);
    uint8_t* greys = greyTarget ? target.row(y) : greys_.data();
    for (size_t x = 0; x < width; ++x) {
      const uint32_t sum = static_cast<uint32_t>(upper[x]) * keep + static_cast<uint32_t>(lower[x]) * weight;
      greys[x] = static_cast<uint8_t>((sum + 32768) >> 16);
    }
    if (greyTarget) continue;
    uint8_t* out = target.row(y);
    for (size_t x = 0; x < width; ++x) {
      const uint32_t pixel = 0xFF000000u | greys[x] * 0x010101u;  // alpha, red, green, blue: BGRA in memory
      std::memcpy(out + 4 * x, &pixel, 4);
    }
  }
  return {};
}

}  // namespace platform::media
