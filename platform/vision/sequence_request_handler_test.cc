#include "platform/vision/sequence_request_handler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/vision/person_segmentation_request.h"

namespace platform::vision {
namespace {

using media::PixelBuffer;
using media::PixelFormat;

// Gives masks of 3 x 2 pixels whose first byte counts the frames it has seen, and records the
// qualities asked for.
class CountingSegmenter final : public PersonSegmenter {
 public:
  explicit CountingSegmenter(std::vector<PersonSegmentationQuality>* asked) : asked_(asked) {}
  Result<std::shared_ptr<PixelBuffer>> segment(const media::ImageView& frame, PersonSegmentationQuality quality) override {
    asked_->push_back(quality);
    if (frame.width == 13) return Error{"test", 42, "no person today"};
    std::shared_ptr<PixelBuffer> mask = media::makePixelBuffer(PixelFormat::gray8, 3, 2);
    mask->row(0)[0] = static_cast<uint8_t>(++seen_);
    return mask;
  }

 private:
  std::vector<PersonSegmentationQuality>* asked_;
  int seen_ = 0;
};

std::shared_ptr<PixelBuffer> frameOf(int width) {
  std::shared_ptr<PixelBuffer> frame = media::makePixelBuffer(PixelFormat::bgra8, width, 4);
  for (int y = 0; y < frame->height; ++y) std::memset(frame->row(y), 128, static_cast<size_t>(width) * 4);
  return frame;
}

TEST(SequenceRequestHandlerTest, FollowsTheSequenceWithOneSegmenterAtTheAskedQuality) {
  std::vector<PersonSegmentationQuality> asked;
  VNSequenceRequestHandler handler(std::make_unique<CountingSegmenter>(&asked));
  using Level = VNGeneratePersonSegmentationRequestQualityLevel;
  const Level levels[] = {Level::accurate, Level::balanced, Level::fast};
  for (int i = 0; i < 3; ++i) {
    VNGeneratePersonSegmentationRequest request;  // a new request per frame; the handler stays
    request.setQualityLevel(levels[i]);
    ASSERT_FALSE(handler.performRequests({&request}, *frameOf(8)));
    ASSERT_TRUE(request.results());
    ASSERT_EQ(request.results()->size(), 1u);
    const std::shared_ptr<PixelBuffer>& mask = (*request.results())[0].pixelBuffer;
    ASSERT_TRUE(mask);
    EXPECT_EQ(mask->row(0)[0], i + 1);  // the same segmenter saw every frame
  }
  EXPECT_EQ(asked, (std::vector<PersonSegmentationQuality>{PersonSegmentationQuality::accurate,
                                                           PersonSegmentationQuality::balanced,
                                                           PersonSegmentationQuality::fast}));
}

TEST(SequenceRequestHandlerTest, PassesFailuresOnAndLeavesNoResults) {
  std::vector<PersonSegmentationQuality> asked;
  VNSequenceRequestHandler handler(std::make_unique<CountingSegmenter>(&asked));
  VNGeneratePersonSegmentationRequest request;
  ASSERT_FALSE(handler.performRequests({&request}, *frameOf(8)));

  const std::optional<Error> failure = handler.performRequests({&request}, *frameOf(13));
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->description, "no person today");
  EXPECT_FALSE(request.results());

  PixelBuffer empty;  // no memory
  empty.width = 4;
  empty.height = 4;
  const std::optional<Error> noPixels = handler.performRequests({&request}, empty);
  ASSERT_TRUE(noPixels);
  EXPECT_EQ(noPixels->code, static_cast<int64_t>(PersonSegmentationError::noPixels));

  request.setOutputPixelFormat(media::kPixelFormat32BGRA);
  const std::optional<Error> wrongFormat = handler.performRequests({&request}, *frameOf(8));
  ASSERT_TRUE(wrongFormat);
  EXPECT_EQ(wrongFormat->code, static_cast<int64_t>(PersonSegmentationError::unsupportedFormat));
  EXPECT_EQ(asked.size(), 2u);  // neither of the last two reached the segmenter
}

TEST(SequenceRequestHandlerTest, ThePlatformSegmenterGivesOneBytePerPixelMasks) {
  VNSequenceRequestHandler handler;
  for (auto level : {VNGeneratePersonSegmentationRequestQualityLevel::accurate, VNGeneratePersonSegmentationRequestQualityLevel::balanced,
                     VNGeneratePersonSegmentationRequestQualityLevel::fast}) {
    VNGeneratePersonSegmentationRequest request;
    request.setQualityLevel(level);
    ASSERT_FALSE(handler.performRequests({&request}, *frameOf(64)));
    ASSERT_TRUE(request.results());
    ASSERT_EQ(request.results()->size(), 1u);
    const std::shared_ptr<PixelBuffer>& mask = (*request.results())[0].pixelBuffer;
    ASSERT_TRUE(mask);
    EXPECT_EQ(mask->format, PixelFormat::gray8);
    EXPECT_NE(mask->baseAddress, nullptr);
    EXPECT_GT(mask->width, 0);
    EXPECT_GT(mask->height, 0);
  }
}

}  // namespace
}  // namespace platform::vision
