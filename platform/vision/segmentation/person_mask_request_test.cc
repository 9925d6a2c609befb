#include "platform/vision/segmentation/person_mask_request.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/vision/sequence_request_handler.h"

namespace platform::vision {
namespace {

using media::PixelBuffer;
using media::PixelFormat;

// Gives masks of 3 x 2 pixels whose first byte counts the frames it has seen, and records the
// qualities asked for.
class CountingSegmenter final : public PersonSegmenter {
 public:
  explicit CountingSegmenter(std::vector<MaskQuality>* asked) : asked_(asked) {}
  Result<std::shared_ptr<PixelBuffer>> segment(const media::ImageView& frame, MaskQuality quality) override {
    asked_->push_back(quality);
    if (frame.width == 13) return Error{"test", 42, "no person today"};
    std::shared_ptr<PixelBuffer> mask = media::makePixelBuffer(PixelFormat::gray8, 3, 2);
    mask->row(0)[0] = static_cast<uint8_t>(++seen_);
    return mask;
  }

 private:
  std::vector<MaskQuality>* asked_;
  int seen_ = 0;
};

std::shared_ptr<PixelBuffer> frameOf(int width) {
  std::shared_ptr<PixelBuffer> frame = media::makePixelBuffer(PixelFormat::bgra8, width, 4);
  for (int y = 0; y < frame->height; ++y) std::memset(frame->row(y), 128, static_cast<size_t>(width) * 4);
  return frame;
}

// A request maker whose segmenters all record into `asked`; counts the segmenters it made.
PersonMaskRequest::SegmenterMaker countingSegmenters(std::vector<MaskQuality>* asked, int* made) {
  return [asked, made] {
    ++*made;
    return std::make_unique<CountingSegmenter>(asked);
  };
}

TEST(PersonMaskRequestTest, FollowsTheSequenceWithOneSegmenterAtTheAskedQuality) {
  std::vector<MaskQuality> asked;
  int made = 0;
  SequenceRequestHandler handler;
  const MaskQuality qualities[] = {MaskQuality::accurate, MaskQuality::balanced, MaskQuality::fast};
  for (int i = 0; i < 3; ++i) {
    PersonMaskRequest request(countingSegmenters(&asked, &made));  // a new request per frame; the handler stays
    request.setQuality(qualities[i]);
    ASSERT_TRUE(handler.perform({&request}, *frameOf(8)));
    ASSERT_TRUE(request.results());
    ASSERT_EQ(request.results()->size(), 1u);
    const std::shared_ptr<PixelBuffer>& mask = (*request.results())[0].pixelBuffer;
    ASSERT_TRUE(mask);
    EXPECT_EQ(mask->row(0)[0], i + 1);  // the same segmenter saw every frame
  }
  EXPECT_EQ(made, 1);
  EXPECT_EQ(asked, (std::vector<MaskQuality>{MaskQuality::accurate, MaskQuality::balanced, MaskQuality::fast}));
}

TEST(PersonMaskRequestTest, APictureAloneGetsASegmenterOfItsOwn) {
  std::vector<MaskQuality> asked;
  int made = 0;
  for (int i = 0; i < 2; ++i) {
    PersonMaskRequest request(countingSegmenters(&asked, &made));
    ASSERT_TRUE(request.perform(frameOf(8)->view()));
    ASSERT_TRUE(request.results());
    EXPECT_EQ((*request.results())[0].pixelBuffer->row(0)[0], 1);  // a fresh segmenter each time
  }
  EXPECT_EQ(made, 2);
}

TEST(PersonMaskRequestTest, PassesFailuresOnAndLeavesNoResults) {
  std::vector<MaskQuality> asked;
  int made = 0;
  SequenceRequestHandler handler;
  PersonMaskRequest request(countingSegmenters(&asked, &made));
  ASSERT_TRUE(handler.perform({&request}, *frameOf(8)));

  const Result<void> failure = handler.perform({&request}, *frameOf(13));
  ASSERT_FALSE(failure);
  EXPECT_EQ(failure.error().description, "no person today");
  EXPECT_FALSE(request.results());

  PixelBuffer empty;  // no memory
  empty.width = 4;
  empty.height = 4;
  const Result<void> noPixels = handler.perform({&request}, empty);
  ASSERT_FALSE(noPixels);
  EXPECT_EQ(noPixels.error().domain, kSegmentationDomain);
  EXPECT_EQ(noPixels.error().code, static_cast<int64_t>(PersonSegmentationError::noPixels));
  EXPECT_EQ(asked.size(), 2u);  // the last one did not reach the segmenter
}

TEST(PersonMaskRequestTest, ThePlatformSegmenterGivesOneBytePerPixelMasks) {
  SequenceRequestHandler handler;
  for (MaskQuality quality : {MaskQuality::accurate, MaskQuality::balanced, MaskQuality::fast}) {
    PersonMaskRequest request;
    request.setQuality(quality);
    ASSERT_TRUE(handler.perform({&request}, *frameOf(64)));
    ASSERT_TRUE(request.results());
    ASSERT_EQ(request.results()->size(), 1u);
    const std::shared_ptr<PixelBuffer>& mask = (*request.results())[0].pixelBuffer;
    ASSERT_TRUE(mask);
    EXPECT_EQ(mask->format, PixelFormat::gray8);
    EXPECT_NE(mask->data, nullptr);
    EXPECT_GT(mask->width, 0);
    EXPECT_GT(mask->height, 0);
  }
}

}  // namespace
}  // namespace platform::vision
