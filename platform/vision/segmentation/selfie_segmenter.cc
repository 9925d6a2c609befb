#include "platform/vision/segmentation/selfie_segmenter.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/vision/pixels.h"
#include "platform/vision/segmentation/mask_steadying.h"
#include "platform/vision/segmentation/picture_scaling.h"
#include "platform/vision/segmentation/selfie_segmentation.h"

namespace platform::vision {
namespace {

class SelfieSegmenter final : public PersonSegmenter {
 public:
  explicit SelfieSegmenter(const SelfieSegmenterSettings& settings) : settings_(settings), steadier_(settings.carry) {}

  Result<std::shared_ptr<media::PixelBuffer>> segment(const media::ImageView& frame, MaskQuality quality) override {
    if (!holdsPixels(frame)) {
      return personSegmentationError(PersonSegmentationError::noPixels, "the frame holds no pixels");
    }
    // Steadying follows one run of accurate frames; any other frame breaks it.
    if (quality != MaskQuality::accurate) steadier_.reset();

    const SelfieModel model = quality == MaskQuality::fast ? SelfieModel::landscape : SelfieModel::general;
    const GridSize grid = selfieGrid(model);
    if (Result<void> scaled = scalePicture(frame, grid.width, grid.height, input_, scratch_); !scaled)
      return scaled.error();
    if (Result<void> segmented = segmentPicture(model, input_, probabilities_); !segmented) return segmented.error();
    if (quality != MaskQuality::accurate) return toMask(probabilities_);

    steadier_.steady(probabilities_);
    const double shrink = std::min(1.0, double(settings_.refinedLongerSide) / std::max(frame.width, frame.height));
    const int width = std::max(1, static_cast<int>(std::lround(frame.width * shrink)));
    const int height = std::max(1, static_cast<int>(std::lround(frame.height * shrink)));
    if (Result<void> scaled = scalePicture(frame, width, height, guidePicture_, scratch_); !scaled)
      return scaled.error();
    Result<std::shared_ptr<media::PixelBuffer>> mask = newMask(width, height);
    if (mask.ok()) filter_.refine(probabilities_, guidePicture_, settings_.refinement, *mask.value());
    return mask;
  }

 private:
  // A mask buffer from the pool of that size.
  Result<std::shared_ptr<media::PixelBuffer>> newMask(int width, int height) {
    if (!pool_ || pool_->width() != width || pool_->height() != height) {
      // Four: a caller that passes masks between threads holds a few at once (matte: two
      // waiting, one being drawn, one being made), and each one more would be a new block.
      pool_.emplace(media::PixelFormat::gray8, width, height, 4);
    }
    std::shared_ptr<media::PixelBuffer> mask = pool_->makeBuffer();
    if (!mask) return personSegmentationError(PersonSegmentationError::outOfMemory, "out of memory for the mask");
    return mask;
  }

  // Probabilities as bytes, 0 to 255.
  Result<std::shared_ptr<media::PixelBuffer>> toMask(const FloatPlane& plane) {
    Result<std::shared_ptr<media::PixelBuffer>> made = newMask(plane.width, plane.height);
    if (!made.ok()) return made;
    media::PixelBuffer* mask = made.value().get();
    for (int y = 0; y < plane.height; ++y) {
      const float* from = plane.row(y);
      uint8_t* to = mask->row(y);
      for (int x = 0; x < plane.width; ++x) to[x] = static_cast<uint8_t>(from[x] * 255.0f + 0.5f);
    }
    return made;
  }

  const SelfieSegmenterSettings settings_;
  BgraPlane input_, guidePicture_;
  std::vector<uint8_t> scratch_;
  FloatPlane probabilities_;
  MaskSteadier steadier_;
  GuidedFilter filter_;
  std::optional<media::PixelBufferPool> pool_;
};

}  // namespace

std::unique_ptr<PersonSegmenter> makeSelfieSegmenter(const SelfieSegmenterSettings& settings) {
  return std::make_unique<SelfieSegmenter>(settings);
}

}  // namespace platform::vision
