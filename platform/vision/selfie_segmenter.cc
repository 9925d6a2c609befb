#include "platform/vision/person_segmentation_service.h"

#include <cstring>

namespace platform::vision {
namespace {

// Person segmentation is not built yet: every frame's mask says background throughout. The
// masks have the sizes the selfie segmentation models will give (the landscape model's 256 x 144
// for fast, the general model's 256 x 256 otherwise), so that everything downstream already
// handles masks whose size and proportion differ from the frame's.
class BackgroundOnly final : public PersonSegmenter {
 public:
  Result<std::shared_ptr<media::PixelBuffer>> segment(const media::ImageView& frame,
                                                      PersonSegmentationQuality quality) override {
    if (frame.data == nullptr || frame.width < 1 || frame.height < 1) {
      return personSegmentationError(PersonSegmentationError::noPixels, "the frame holds no pixels");
    }
    media::PixelBufferPool& pool = quality == PersonSegmentationQuality::fast ? landscape_ : general_;
    std::shared_ptr<media::PixelBuffer> mask = pool.createPixelBuffer();
    if (!mask) return personSegmentationError(PersonSegmentationError::outOfMemory, "out of memory for the mask");
    for (int y = 0; y < mask->height; ++y) std::memset(mask->row(y), 0, static_cast<size_t>(mask->width));
    return mask;
  }

 private:
  media::PixelBufferPool landscape_{media::PixelFormat::gray8, 256, 144, 2};
  media::PixelBufferPool general_{media::PixelFormat::gray8, 256, 256, 2};
};

}  // namespace

std::unique_ptr<PersonSegmenter> makePersonSegmenter() { return std::make_unique<BackgroundOnly>(); }

}  // namespace platform::vision
