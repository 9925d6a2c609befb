#include "person_cutout/frame_loop.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <functional>

#include "person_cutout/frame_stages.h"
#include "person_cutout/messages.h"
#include "person_cutout/summary_record.h"
#include "person_cutout/video_setup.h"
#include "tests/support/files.h"
#include "tests/support/video_probe.h"

namespace person_cutout {
namespace {

using namespace platform::media;
using platform::Error;
using platform::Result;
using platform::vision::MaskQuality;

// How a hand-made reader ends after its samples.
enum class End { atTheEnd, brokenOff };

// Samples made by hand: a picture (or none) and a time each.
class HandMadeReader final : public VideoReader {
 public:
  HandMadeReader(std::deque<VideoSample> samples, End end) : samples_(std::move(samples)), end_(end) {}
  Result<void> start() override { return {}; }
  Result<std::optional<VideoSample>> nextSample() override {
    ++reads;
    if (samples_.empty()) {
      if (end_ == End::brokenOff) return Error{"test", 4, "the file breaks off"};
      return std::optional<VideoSample>();
    }
    VideoSample sample = samples_.front();
    samples_.pop_front();
    return std::optional<VideoSample>(std::move(sample));
  }

  int reads = 0;  // calls of nextSample so far

 private:
  std::deque<VideoSample> samples_;
  End end_;
};

// Masks made by hand, one per frame in turn; a step may instead fail or give no mask.
using MaskStep = std::function<Result<std::shared_ptr<PixelBuffer>>()>;

class HandMadeSegmenter final : public platform::vision::PersonSegmenter {
 public:
  explicit HandMadeSegmenter(std::vector<MaskStep> steps) : steps_(std::move(steps)) {}
  Result<std::shared_ptr<PixelBuffer>> segment(const ImageView&, MaskQuality quality) override {
    asked.push_back(quality);
    return steps_.at(next_++ % steps_.size())();
  }

  std::vector<MaskQuality> asked;  // the quality of every frame segmented so far

 private:
  std::vector<MaskStep> steps_;
  size_t next_ = 0;
};

// A mask of `width` x `height` whose rows from `firstPersonRow` down are person.
MaskStep personFrom(int width, int height, int firstPersonRow) {
  return [=]() -> Result<std::shared_ptr<PixelBuffer>> {
    std::shared_ptr<PixelBuffer> mask = makePixelBuffer(PixelFormat::gray8, width, height);
    for (int y = 0; y < height; ++y)
      std::memset(mask->row(y), y >= firstPersonRow ? 255 : 0, static_cast<size_t>(width));
    return mask;
  };
}

MaskStep withoutMemory() {
  return []() -> Result<std::shared_ptr<PixelBuffer>> {
    auto mask = std::make_shared<PixelBuffer>();
    mask->width = 16;
    mask->height = 16;
    return mask;
  };
}

VideoSample pictureAt(MediaTime time) { return VideoSample{makePixelBuffer(PixelFormat::bgra8, 32, 24), time}; }
VideoSample noPictureAt(MediaTime time) { return VideoSample{nullptr, time}; }

// The two ways of running the loop, which must behave alike in every case.
enum class Path { oneByOne, inStages };

std::string pathName(const testing::TestParamInfo<Path>& info) {
  return info.param == Path::oneByOne ? "OneByOne" : "InStages";
}

class FrameLoopTest : public testing::TestWithParam<Path> {
 protected:
  Result<void> runLoop() {
    return GetParam() == Path::oneByOne ? runFramesOneByOne(run_, tally_) : runFramesInStages(run_, tally_);
  }

  // A run as the earlier steps would leave it, with hand-made frames and masks and a real writer
  // at its target.
  Result<void> prepare(std::deque<VideoSample> samples, std::vector<MaskStep> masks, int64_t cutWidth,
                       int64_t cutHeight, int32_t timeScale, End end = End::atTheEnd) {
    run_ = MatteRun{};
    auto handMade = std::make_unique<HandMadeReader>(std::move(samples), end);
    handMadeReader_ = handMade.get();
    run_.reader = std::move(handMade);
    run_.width = cutWidth;
    run_.height = cutHeight;
    run_.track.timeScale = timeScale;
    run_.target = (folder_ / "cut.mp4");
    if (Result<void> prepared = prepareWriter(run_); !prepared) return prepared;
    auto segmenter = std::make_unique<HandMadeSegmenter>(std::move(masks));
    handMadeSegmenter_ = segmenter.get();
    run_.segmenter = std::move(segmenter);
    return {};
  }

  // Ends the run as main does after `step`: gives what fail() writes to standard error.
  std::string failedWith(const Result<void>& step) {
    if (step) return "(the step went through)";
    testing::internal::CaptureStderr();
    EXPECT_EQ(fail(step.error().description, run_.writer.get()), 1);
    return testing::internal::GetCapturedStderr();
  }

  // How finishing the run went, without its summary.
  Result<void> finishedAs() {
    const Result<Summary> finished = finishCutOut(run_, tally_);
    if (!finished) return finished.error();
    return {};
  }

  test_support::TemporaryFolder folder_;
  MatteRun run_;
  FrameTally tally_;
  HandMadeReader* handMadeReader_ = nullptr;
  HandMadeSegmenter* handMadeSegmenter_ = nullptr;
};

TEST(WriteTimeTest, KeepsOwnTimesWhileTheyRiseElseStepsOn1Over600) {
  struct Case {
    int64_t written;
    MediaTime sample, last, time;
  };
  const Case cases[] = {
      {0, {3000, 12800}, kMediaTimeZero, {3000, 12800}},  // the first frame keeps its own, not zero
      {0, {-5, 600}, kMediaTimeZero, {-5, 600}},
      {1, {1024, 12800}, {512, 12800}, {1024, 12800}},
      {1, {512, 12800}, {1, 25}, {25, 600}},    // equal across scales: 1/25 + 1/600
      {2, {0, 1000}, {40, 1000}, {125, 3000}},  // earlier: 40/1000 + 1/600
      {5, {7, 600}, {7, 600}, {8, 600}},
  };
  for (const Case& c : cases) {
    const MediaTime time = writeTime(c.written, c.sample, c.last);
    EXPECT_EQ(time.value, c.time.value) << c.sample.value << "/" << c.sample.timeScale;
    EXPECT_EQ(time.timeScale, c.time.timeScale) << c.sample.value << "/" << c.sample.timeScale;
  }
}

TEST_P(FrameLoopTest, MeasuresDrawsAndWritesEveryFrameWithAPicture) {
  // Frames of 32 x 24, masks of 16 x 16 drawn into a 64 x 32 cut-out (stretched unevenly).
  ASSERT_TRUE(prepare(
      {pictureAt({0, 600}), noPictureAt({10, 600}), pictureAt({0, 600}), pictureAt({-30, 600}), pictureAt({100, 600}),
       pictureAt({200, 600})},
      {personFrom(16, 16, 0), personFrom(16, 16, 16), personFrom(16, 16, 8), withoutMemory(), personFrom(16, 16, 4)},
      64, 32, 600));
  ASSERT_TRUE(runLoop());

  EXPECT_EQ(tally_.frames, 5);  // the sample without a picture left no trace
  EXPECT_EQ(tally_.personFrames, 3);
  EXPECT_DOUBLE_EQ(tally_.covered, 1.0 + 0.0 + 0.5 + 0.5);  // the coverage grid sees rows 0 and 8
  EXPECT_EQ(tally_.tops, (std::vector<double>{0.0, 0.5, 0.25}));
  EXPECT_EQ(tally_.last, (MediaTime{200, 600}));

  const Result<Summary> finished = finishCutOut(run_, tally_);
  ASSERT_TRUE(finished);
  EXPECT_EQ(run_.writer->status(), VideoWriterStatus::completed);
  EXPECT_DOUBLE_EQ(finished.value().top, 0.25);
  EXPECT_TRUE(
      summaryRecord(finished.value()).starts_with("{\"frames\": 5, \"width\": 64, \"height\": 32, \"seconds\": "));
  EXPECT_TRUE(summaryRecord(finished.value())
                  .ends_with(", \"person_frames\": 3, \"coverage\": 0.4000, \"top\": 0.2500, \"aspect\": 2.0000}"));

  const std::optional<test_support::ProbedVideo> probed = test_support::probe(run_.target);
  ASSERT_TRUE(probed);
  std::vector<int64_t> pts;
  for (const test_support::ProbedFrame& frame : probed->frames) pts.push_back(frame.pts);
  EXPECT_EQ(pts, (std::vector<int64_t>{0, 1, 2, 100, 200}));  // repeated and earlier times step on 1/600 s

  // Decoded, each frame is its mask stretched: white where the person is, black elsewhere.
  const std::vector<std::vector<uint8_t>> planes = test_support::lumaPlanes(run_.target, 64, 32);
  ASSERT_EQ(planes.size(), 5u);
  auto at = [&](size_t frame, int x, int y) {
    return static_cast<int>(planes[frame][static_cast<size_t>(y * 64 + x)]);
  };
  for (int x : {0, 31, 63}) {
    EXPECT_NEAR(at(0, x, 1), 255, 2);  // all person
    EXPECT_NEAR(at(1, x, 30), 0, 2);   // all background
    EXPECT_NEAR(at(2, x, 4), 0, 2);    // person from halfway down
    EXPECT_NEAR(at(2, x, 28), 255, 2);
    EXPECT_NEAR(at(3, x, 16), 0, 2);  // a mask without memory draws black
    EXPECT_NEAR(at(4, x, 2), 0, 2);   // person from a quarter down
    EXPECT_NEAR(at(4, x, 20), 255, 2);
  }
}

TEST_P(FrameLoopTest, OneSegmenterSegmentsEveryFrameAtTheRunsQuality) {
  for (const MaskQuality quality : {MaskQuality::fast, MaskQuality::balanced, MaskQuality::accurate}) {
    ASSERT_TRUE(prepare({pictureAt({0, 25}), noPictureAt({1, 25}), pictureAt({2, 25}), pictureAt({3, 25})},
                        {personFrom(8, 8, 0)}, 16, 16, 25));
    run_.quality = quality;
    ASSERT_TRUE(runLoop());
    EXPECT_EQ(handMadeSegmenter_->asked, std::vector<MaskQuality>(3, quality)) << static_cast<int>(quality);
    run_.writer->cancel();  // removes the file: the next case writes to the same path
  }
}

TEST_P(FrameLoopTest, NotesProgressEvery15FramesAgainstTheLargerOfExpectedAndWritten) {
  std::deque<VideoSample> samples;
  for (int i = 0; i < 31; ++i) samples.push_back(pictureAt({i, 25}));
  ASSERT_TRUE(prepare(std::move(samples), {personFrom(8, 8, 4)}, 16, 16, 25));
  run_.expected = 20;
  testing::internal::CaptureStderr();
  const Result<void> looped = runLoop();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "progress 15 20\nprogress 30 30\n");
  EXPECT_TRUE(looped);
  EXPECT_EQ(tally_.frames, 31);
}

TEST_P(FrameLoopTest, FailuresNameTheFrameAndRemoveTheUnfinishedFile) {
  const std::string path = (folder_ / "cut.mp4");
  struct Case {
    std::vector<MaskStep> masks;
    const char* message;
  };
  const MaskStep fails = []() -> Result<std::shared_ptr<PixelBuffer>> {
    return Error{"test", 7, "niemand daheim – Tür zu"};
  };
  const MaskStep empty = []() -> Result<std::shared_ptr<PixelBuffer>> { return std::shared_ptr<PixelBuffer>(); };
  const Case cases[] = {
      // The platform's reason passes through as its UTF-8 bytes.
      {{fails}, "Error: the person could not be found in frame 0: niemand daheim – Tür zu\n"},
      {{personFrom(8, 8, 0), personFrom(8, 8, 0), empty}, "Error: no cut-out came back for frame 2\n"},
  };
  for (const Case& c : cases) {
    // The sample without a picture has no number.
    ASSERT_TRUE(prepare({pictureAt({0, 25}), noPictureAt({1, 25}), pictureAt({1, 25}), pictureAt({2, 25})}, c.masks, 16,
                        16, 25));
    ASSERT_TRUE(test_support::exists(path));
    EXPECT_EQ(failedWith(runLoop()), c.message);
    EXPECT_FALSE(test_support::exists(path)) << c.message;
  }
}

TEST_P(FrameLoopTest, AWriterThatStoppedIsReportedNotWaitedForForever) {
  // Frame 1 cannot be segmented either, but frame 0 fails first: its failure is the one told.
  const MaskStep fails = []() -> Result<std::shared_ptr<PixelBuffer>> { return Error{"test", 7, "no one"}; };
  ASSERT_TRUE(
      prepare({pictureAt({0, 25}), pictureAt({1, 25}), pictureAt({2, 25})}, {personFrom(8, 8, 0), fails}, 16, 16, 25));
  const std::shared_ptr<PixelBuffer> wrong = makePixelBuffer(PixelFormat::bgra8, 8, 8);
  EXPECT_FALSE(run_.writer->append(*wrong, kMediaTimeZero));  // the writer fails and stops taking frames
  const Result<void> looped = runLoop();
  ASSERT_FALSE(looped);
  EXPECT_TRUE(looped.error().description.starts_with("the cut-out could not be written: a frame is not a grey picture"))
      << looped.error().description;
}

TEST_P(FrameLoopTest, FinishingChecksHowReadingEndedBeforeCountingFrames) {
  const std::string path = (folder_ / "cut.mp4");
  ASSERT_TRUE(prepare({}, {personFrom(8, 8, 0)}, 16, 16, 25, End::brokenOff));
  ASSERT_TRUE(runLoop());  // the loop ends; finishing reports how
  EXPECT_TRUE(tally_.readFailed);
  EXPECT_EQ(failedWith(finishedAs()), "Error: the video could not be read to its end\n");
  EXPECT_FALSE(test_support::exists(path));

  ASSERT_TRUE(prepare({noPictureAt({0, 25}), noPictureAt({1, 25})}, {personFrom(8, 8, 0)}, 16, 16, 25));
  ASSERT_TRUE(runLoop());
  EXPECT_FALSE(tally_.readFailed);
  EXPECT_EQ(failedWith(finishedAs()), "Error: the video has no frames\n");
  EXPECT_FALSE(test_support::exists(path));

  // Frames before the break are all written before the loop ends.
  ASSERT_TRUE(prepare({pictureAt({0, 25}), pictureAt({1, 25}), pictureAt({2, 25})}, {personFrom(8, 8, 0)}, 16, 16, 25,
                      End::brokenOff));
  ASSERT_TRUE(runLoop());
  EXPECT_TRUE(tally_.readFailed);
  EXPECT_EQ(tally_.frames, 3);
  EXPECT_EQ(failedWith(finishedAs()), "Error: the video could not be read to its end\n");
}

TEST_P(FrameLoopTest, AFailureStopsReadingWithinAFewFrames) {
  std::deque<VideoSample> samples;
  for (int i = 0; i < 200; ++i) samples.push_back(pictureAt({i, 25}));
  const MaskStep fails = []() -> Result<std::shared_ptr<PixelBuffer>> { return Error{"test", 7, "no one"}; };
  ASSERT_TRUE(prepare(std::move(samples), {personFrom(8, 8, 0), personFrom(8, 8, 0), fails}, 16, 16, 25));
  EXPECT_EQ(failedWith(runLoop()), "Error: the person could not be found in frame 2: no one\n");
  // One by one reads the failing frame last; in stages reading is at most a few frames ahead.
  if (GetParam() == Path::oneByOne) {
    EXPECT_EQ(handMadeReader_->reads, 3);
  } else {
    EXPECT_GE(handMadeReader_->reads, 3);
    EXPECT_LE(handMadeReader_->reads, 3 + 6);
  }
  EXPECT_EQ(tally_.frames, 2);
}

TEST_P(FrameLoopTest, AnOutputThatAppearsAfterTheCheckIsNeverOverwritten) {
  const std::string path = (folder_ / "cut.mp4");
  test_support::writeFile(path, "someone else's");
  EXPECT_EQ(failedWith(prepare({}, {personFrom(8, 8, 0)}, 16, 16, 25)), "Error: the output file already exists\n");
  EXPECT_EQ(test_support::readFile(path), "someone else's");
}

INSTANTIATE_TEST_SUITE_P(BothPaths, FrameLoopTest, testing::Values(Path::oneByOne, Path::inStages), pathName);

}  // namespace
}  // namespace person_cutout
