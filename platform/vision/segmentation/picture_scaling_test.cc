#include "platform/vision/segmentation/picture_scaling.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform/media/pixel_buffer.h"
#include "platform/vision/segmentation/person_segmenter.h"

namespace platform::vision {
namespace {

using media::PixelFormat;

TEST(PictureScalingTest, BringsEveryLayoutToBgraAveragingWhenShrinking) {
  // 4 x 2 pictures whose left half is one colour and right half another, rows padded; shrunk to
  // 2 x 1 each output pixel is one half, shrunk to 1 x 1 it is the mean of both.
  struct Case {
    PixelFormat format;
    std::vector<uint8_t> left, right;  // the pixel's bytes in its own layout
    uint8_t leftBgr[3], rightBgr[3];
  };
  const Case cases[] = {
      {PixelFormat::bgra8, {10, 20, 30, 255}, {50, 60, 70, 255}, {10, 20, 30}, {50, 60, 70}},
      {PixelFormat::rgb8, {30, 20, 10}, {70, 60, 50}, {10, 20, 30}, {50, 60, 70}},
      {PixelFormat::gray8, {40}, {80}, {40, 40, 40}, {80, 80, 80}},
  };
  for (const Case& c : cases) {
    const int bpp = media::bytesPerPixel(c.format);
    const ptrdiff_t stride = 4 * bpp + 3;
    std::vector<uint8_t> pixels(static_cast<size_t>(stride) * 2, 0xEE);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x)
        std::copy(x < 2 ? c.left.begin() : c.right.begin(), x < 2 ? c.left.end() : c.right.end(),
                  &pixels[y * stride + x * bpp]);
    const media::ImageView view{pixels.data(), 4, 2, stride, c.format};

    BgraPlane out;
    std::vector<uint8_t> scratch;
    ASSERT_TRUE(scalePicture(view, 2, 1, out, scratch).ok());
    ASSERT_EQ(out.width, 2);
    ASSERT_EQ(out.height, 1);
    ASSERT_EQ(out.bytes.size(), 8u);
    for (int ch = 0; ch < 3; ++ch) {
      EXPECT_EQ(out.bytes[ch], c.leftBgr[ch]) << bpp << " bytes, channel " << ch;
      EXPECT_EQ(out.bytes[4 + ch], c.rightBgr[ch]) << bpp << " bytes, channel " << ch;
    }
    ASSERT_TRUE(scalePicture(view, 1, 1, out, scratch).ok());
    for (int ch = 0; ch < 3; ++ch)
      EXPECT_NEAR(out.bytes[ch], (c.leftBgr[ch] + c.rightBgr[ch]) / 2, 1) << bpp << " bytes";
  }
}

TEST(PictureScalingTest, RefusesPicturesWithoutPixelsAndSizesOutOfRange) {
  std::shared_ptr<media::PixelBuffer> frame = media::makePixelBuffer(PixelFormat::bgra8, 8, 8);
  BgraPlane out;
  std::vector<uint8_t> scratch;
  media::ImageView noMemory = frame->view();
  noMemory.data = nullptr;
  media::ImageView shortRows = frame->view();
  shortRows.bytesPerRow = 8;
  for (const auto& [what, view, width, height] :
       {std::tuple{"no memory", noMemory, 4, 4}, std::tuple{"rows shorter than the width", shortRows, 4, 4},
        std::tuple{"no columns asked for", frame->view(), 0, 4},
        std::tuple{"too many rows asked for", frame->view(), 4, media::kMaxPixelBufferSide + 1}}) {
    const Result<void> scaled = scalePicture(view, width, height, out, scratch);
    ASSERT_FALSE(scaled.ok()) << what;
    EXPECT_EQ(scaled.error().domain, kSegmentationDomain) << what;
    EXPECT_EQ(scaled.error().code, static_cast<int64_t>(PersonSegmentationError::noPixels)) << what;
  }
}

}  // namespace
}  // namespace platform::vision
