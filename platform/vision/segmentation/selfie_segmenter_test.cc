// The platform's person segmentation on committed pictures: a man at a webcam whose outline was
// traced by hand, a night street with no person, and the man laid over a coast, where the true
// mask is known to the pixel (tests/support/person_outline.h).
#include "platform/vision/segmentation/selfie_segmenter.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/media/still_image.h"
#include "platform/vision/test_threads.h"
#include "tests/support/person_outline.h"

namespace platform::vision {
namespace {

using media::PixelBuffer;
using media::PixelFormat;

constexpr MaskQuality kQualities[] = {MaskQuality::fast, MaskQuality::balanced, MaskQuality::accurate};

const char* nameOf(MaskQuality quality) {
  return quality == MaskQuality::fast ? "fast" : quality == MaskQuality::balanced ? "balanced" : "accurate";
}

media::Image picture(const std::string& name) {
  Result<media::Image> image = media::decodeStillImage(std::string(TEST_FIXTURES_DIR) + "/people/" + name);
  EXPECT_TRUE(image.ok()) << image.error().description;
  return image.ok() ? std::move(image.value()) : media::Image{};
}

// The picture as a video frame: BGRA, rows padded as a decoder's may be.
std::shared_ptr<PixelBuffer> frameOf(const media::Image& image) {
  std::shared_ptr<PixelBuffer> frame = media::makePixelBuffer(PixelFormat::bgra8, image.width, image.height);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* rgb = &image.rgb[(static_cast<size_t>(y) * image.width + x) * 3];
      uint8_t* bgra = frame->row(y) + 4 * x;
      bgra[0] = rgb[2], bgra[1] = rgb[1], bgra[2] = rgb[0], bgra[3] = 255;
    }
  }
  return frame;
}

std::shared_ptr<PixelBuffer> segment(PersonSegmenter& segmenter, const media::ImageView& frame, MaskQuality quality) {
  Result<std::shared_ptr<PixelBuffer>> mask = segmenter.segment(frame, quality);
  EXPECT_TRUE(mask.ok()) << mask.error().description;
  if (!mask.ok()) return nullptr;
  EXPECT_EQ(mask.value()->format, PixelFormat::gray8);
  EXPECT_NE(mask.value()->data, nullptr);
  return mask.value();
}

TEST(SelfieSegmenterTest, FindsTheManInsideHisOutlineAndLittleOutsideIt) {
  const media::Image man = picture("webcam_400x300.jpg");
  const std::shared_ptr<PixelBuffer> frame = frameOf(man);
  const std::vector<float> truth =
      test_support::outlineCoverage(test_support::webcamOutline(), 400, 300, man.width, man.height);
  for (MaskQuality quality : kQualities) {
    // As a video frame (BGRA) and as a still picture (RGB): the same mask.
    std::unique_ptr<PersonSegmenter> segmenter = makeSelfieSegmenter();
    const std::shared_ptr<PixelBuffer> mask = segment(*segmenter, frame->view(), quality);
    ASSERT_TRUE(mask);
    const test_support::MaskError error = test_support::maskError(*mask, truth, man.width, man.height, 8);
    EXPECT_GT(error.inside, 0.97) << nameOf(quality);
    EXPECT_LT(error.outside, 0.03) << nameOf(quality);

    std::unique_ptr<PersonSegmenter> still = makeSelfieSegmenter();
    const std::shared_ptr<PixelBuffer> fromRgb = segment(*still, man.view(), quality);
    ASSERT_TRUE(fromRgb);
    ASSERT_EQ(fromRgb->width, mask->width);
    ASSERT_EQ(fromRgb->height, mask->height);
    for (int y = 0; y < mask->height; ++y)
      ASSERT_EQ(std::memcmp(fromRgb->row(y), mask->row(y), static_cast<size_t>(mask->width)), 0)
          << nameOf(quality) << " row " << y;
  }
}

TEST(SelfieSegmenterTest, FindsNoPersonInAStreetWithoutPeople) {
  const media::Image street = picture("city_400x225.jpg");
  for (MaskQuality quality : kQualities) {
    std::unique_ptr<PersonSegmenter> segmenter = makeSelfieSegmenter();
    const std::shared_ptr<PixelBuffer> mask = segment(*segmenter, street.view(), quality);
    ASSERT_TRUE(mask);
    long person = 0;
    for (int y = 0; y < mask->height; ++y)
      for (int x = 0; x < mask->width; ++x) person += mask->row(y)[x] >= 129;
    EXPECT_LT(double(person) / (mask->width * mask->height), 0.01) << nameOf(quality);
  }
}

TEST(SelfieSegmenterTest, AccurateEdgesFollowThePictureBetterThanBalancedAndBalancedBetterThanFast) {
  // 800 x 600, so that the accurate mask (512 x 384) is finer than the models' grids.
  const test_support::KnownMaskPicture known = test_support::webcamManOnTheCoast(800, 600);
  const std::shared_ptr<PixelBuffer> frame = frameOf(known.picture);
  double edge[3];
  for (int i = 0; i < 3; ++i) {
    std::unique_ptr<PersonSegmenter> segmenter = makeSelfieSegmenter();
    const std::shared_ptr<PixelBuffer> mask = segment(*segmenter, frame->view(), kQualities[i]);
    ASSERT_TRUE(mask);
    const test_support::MaskError error = test_support::maskError(*mask, known.truth, 800, 600, 16);
    edge[i] = error.edge;
    EXPECT_GT(error.iou, 0.85) << nameOf(kQualities[i]);
  }
  EXPECT_LT(edge[1], edge[0] * 0.9);  // balanced against fast
  EXPECT_LT(edge[2], edge[1] * 0.8);  // accurate against balanced
}

TEST(SelfieSegmenterTest, MaskSizesFollowTheQualityAndTheFrame) {
  struct Case {
    int frameWidth, frameHeight;
    MaskQuality quality;
    int maskWidth, maskHeight;
  };
  const Case cases[] = {
      {1280, 720, MaskQuality::fast, 256, 144},      // the landscape model's grid
      {720, 1280, MaskQuality::fast, 256, 144},      // whatever the frame's shape
      {1280, 720, MaskQuality::balanced, 256, 256},  // the general model's grid
      {1280, 720, MaskQuality::accurate, 512, 288},  // the frame's shape, longer side 512
      {720, 1280, MaskQuality::accurate, 288, 512},
      {160, 120, MaskQuality::accurate, 160, 120},  // never larger than the frame
      {3000, 10, MaskQuality::accurate, 512, 2},
      {1, 1, MaskQuality::accurate, 1, 1},
      {1, 1, MaskQuality::fast, 256, 144},
  };
  std::unique_ptr<PersonSegmenter> segmenter = makeSelfieSegmenter();  // one sequence whose frames change size
  for (const Case& c : cases) {
    std::shared_ptr<PixelBuffer> frame = media::makePixelBuffer(PixelFormat::bgra8, c.frameWidth, c.frameHeight);
    for (int y = 0; y < c.frameHeight; ++y) std::memset(frame->row(y), 90, static_cast<size_t>(c.frameWidth) * 4);
    const std::shared_ptr<PixelBuffer> mask = segment(*segmenter, frame->view(), c.quality);
    ASSERT_TRUE(mask);
    EXPECT_EQ(mask->width, c.maskWidth) << c.frameWidth << "x" << c.frameHeight << " " << nameOf(c.quality);
    EXPECT_EQ(mask->height, c.maskHeight) << c.frameWidth << "x" << c.frameHeight << " " << nameOf(c.quality);
  }
}

bool same(const PixelBuffer& a, const PixelBuffer& b) {
  if (a.width != b.width || a.height != b.height) return false;
  for (int y = 0; y < a.height; ++y)
    if (std::memcmp(a.row(y), b.row(y), static_cast<size_t>(a.width)) != 0) return false;
  return true;
}

TEST(SelfieSegmenterTest, AccurateSteadiesEachMaskByTheLastAndStartsAgainAfterAnotherQuality) {
  // The man, then the man 6 pixels further right: as the second frame of a sequence, the
  // accurate mask differs from the one a new sequence gives for the same picture (it carries
  // some of the first), but only a little.
  const std::shared_ptr<PixelBuffer> first = frameOf(test_support::webcamManOnTheCoast(400, 300, 0).picture);
  const std::shared_ptr<PixelBuffer> second = frameOf(test_support::webcamManOnTheCoast(400, 300, 6).picture);
  using Q = MaskQuality;
  std::unique_ptr<PersonSegmenter> fresh = makeSelfieSegmenter();
  const std::shared_ptr<PixelBuffer> alone = segment(*fresh, second->view(), Q::accurate);
  ASSERT_TRUE(alone);

  std::unique_ptr<PersonSegmenter> sequence = makeSelfieSegmenter();
  ASSERT_TRUE(segment(*sequence, first->view(), Q::accurate));
  const std::shared_ptr<PixelBuffer> steadied = segment(*sequence, second->view(), Q::accurate);
  ASSERT_TRUE(steadied);
  EXPECT_FALSE(same(*steadied, *alone));
  long flipped = 0;
  for (int y = 0; y < alone->height; ++y)
    for (int x = 0; x < alone->width; ++x) flipped += (steadied->row(y)[x] >= 129) != (alone->row(y)[x] >= 129);
  EXPECT_LT(double(flipped) / (alone->width * alone->height), 0.02);

  // A frame of another quality ends the run of accurate frames: the next accurate frame starts
  // afresh. The other qualities keep nothing from frame to frame.
  std::unique_ptr<PersonSegmenter> interrupted = makeSelfieSegmenter();
  ASSERT_TRUE(segment(*interrupted, first->view(), Q::accurate));
  ASSERT_TRUE(segment(*interrupted, first->view(), Q::balanced));
  const std::shared_ptr<PixelBuffer> afresh = segment(*interrupted, second->view(), Q::accurate);
  ASSERT_TRUE(afresh);
  EXPECT_TRUE(same(*afresh, *alone));
  for (Q quality : {Q::fast, Q::balanced}) {
    const std::shared_ptr<PixelBuffer> once = segment(*fresh, second->view(), quality);
    std::unique_ptr<PersonSegmenter> stateless = makeSelfieSegmenter();
    ASSERT_TRUE(segment(*stateless, first->view(), quality));
    const std::shared_ptr<PixelBuffer> later = segment(*stateless, second->view(), quality);
    ASSERT_TRUE(once && later);
    EXPECT_TRUE(same(*once, *later)) << nameOf(quality);
  }
}

TEST(SelfieSegmenterTest, RefusesAFrameWithoutPixels) {
  std::shared_ptr<PixelBuffer> frame = media::makePixelBuffer(PixelFormat::bgra8, 8, 8);
  media::ImageView noMemory = frame->view();
  noMemory.data = nullptr;
  media::ImageView noArea = frame->view();
  noArea.height = 0;
  std::unique_ptr<PersonSegmenter> segmenter = makeSelfieSegmenter();
  for (const media::ImageView& view : {noMemory, noArea}) {
    for (MaskQuality quality : kQualities) {
      Result<std::shared_ptr<PixelBuffer>> mask = segmenter->segment(view, quality);
      ASSERT_FALSE(mask.ok());
      EXPECT_EQ(mask.error().domain, kSegmentationDomain);
      EXPECT_EQ(mask.error().code, static_cast<int64_t>(PersonSegmentationError::noPixels));
    }
  }
}

// A sequence of every quality over the man moving across the coast and the man at his webcam.
std::vector<std::shared_ptr<PixelBuffer>> masksOfASequence(const std::vector<std::shared_ptr<PixelBuffer>>& frames) {
  std::unique_ptr<PersonSegmenter> segmenter = makeSelfieSegmenter();
  std::vector<std::shared_ptr<PixelBuffer>> masks;
  for (size_t i = 0; i < frames.size(); ++i) {
    masks.push_back(segment(*segmenter, frames[i]->view(), kQualities[(i / 2) % 3]));
  }
  return masks;
}

// Two sequences on two threads at once: each gets the masks it gets alone, steadying included.
TEST(SelfieSegmenterTest, TwoSequencesOnTwoThreadsAtOnceGetTheMasksEachGetsAlone) {
  std::vector<std::shared_ptr<PixelBuffer>> frames;
  for (int shift : {0, 6, 12, 18})
    frames.push_back(frameOf(test_support::webcamManOnTheCoast(400, 300, shift).picture));
  frames.push_back(frameOf(picture("webcam_400x300.jpg")));
  frames.push_back(frameOf(picture("city_400x225.jpg")));
  const std::vector<std::shared_ptr<PixelBuffer>> reversed(frames.rbegin(), frames.rend());
  const std::vector<std::shared_ptr<PixelBuffer>> alone[2] = {masksOfASequence(frames), masksOfASequence(reversed)};
  const auto together =
      testing::onTwoThreadsAtOnce([&](int thread) { return masksOfASequence(thread == 0 ? frames : reversed); });
  for (int thread = 0; thread < 2; ++thread) {
    ASSERT_EQ(together[thread].size(), alone[thread].size());
    for (size_t i = 0; i < alone[thread].size(); ++i) {
      ASSERT_TRUE(together[thread][i] && alone[thread][i]);
      EXPECT_TRUE(same(*together[thread][i], *alone[thread][i])) << "thread " << thread << ", frame " << i;
    }
  }
}

}  // namespace
}  // namespace platform::vision
