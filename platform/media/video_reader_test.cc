#include "platform/media/video_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/errors.h"
#include "tests/support/files.h"
#include "tests/support/program_run.h"
#include "tests/support/video_probe.h"

namespace platform::media {
namespace {

const std::string kVideos = std::string(TEST_FIXTURES_DIR) + "/video/";

struct ReadOut {
  std::vector<VideoSample> samples;
  std::optional<Error> failure;  // why reading stopped before the end
};

ReadOut readAll(const std::string& file, FrameOrientation orientation = FrameOrientation::upright, size_t track = 0) {
  ReadOut read;
  // A fixture's name, or the full path of a file made by the test.
  Result<std::shared_ptr<VideoAsset>> asset = VideoAsset::open(file.starts_with("/") ? file : kVideos + file);
  EXPECT_TRUE(asset) << file;
  if (!asset) return read;
  Result<std::unique_ptr<VideoReader>> reader =
      makeVideoReader(asset.value(), asset.value()->videoTracks().at(track), orientation);
  EXPECT_TRUE(reader) << file;
  if (!reader) return read;
  EXPECT_TRUE(reader.value()->start());
  for (;;) {
    Result<std::optional<VideoSample>> next = reader.value()->nextSample();
    if (!next) {
      read.failure = next.error();
      // A failure stays the failure.
      Result<std::optional<VideoSample>> again = reader.value()->nextSample();
      EXPECT_FALSE(again);
      if (!again) {
        EXPECT_EQ(again.error().description, read.failure->description);
      }
      return read;
    }
    if (!next.value()) break;
    read.samples.push_back(*next.value());
  }
  // The end stays the end.
  Result<std::optional<VideoSample>> after = reader.value()->nextSample();
  EXPECT_TRUE(after && !after.value());
  return read;
}

// ffmpeg's own decoding of the first frame, as BGRA, turned upright as ffmpeg turns it.
std::string ffmpegFirstFrame(const std::string& file) {
  test_support::TemporaryFolder folder;
  const std::string raw = (folder / "frame.bgra");
  test_support::runProgram("ffmpeg", {"-nostdin", "-v", "error", "-i", kVideos + file, "-frames:v", "1", "-f",
                                      "rawvideo", "-pix_fmt", "bgra", raw});
  return test_support::readFile(raw);
}

double meanDifference(const PixelBuffer& picture, const std::string& packed) {
  EXPECT_EQ(packed.size(), static_cast<size_t>(picture.width) * picture.height * 4);
  if (packed.size() != static_cast<size_t>(picture.width) * picture.height * 4) return 255;
  double total = 0;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width * 4; ++x) {
      total +=
          std::abs(picture.row(y)[x] - static_cast<uint8_t>(packed[static_cast<size_t>(y * picture.width * 4 + x)]));
    }
  }
  return total / static_cast<double>(packed.size());
}

TEST(VideoReaderTest, ReadsEveryFrameAsBgraWithExactRisingTimes) {
  const ReadOut read = readAll("person.mp4");
  EXPECT_FALSE(read.failure);
  ASSERT_EQ(read.samples.size(), 50u);
  for (size_t i = 0; i < read.samples.size(); ++i) {
    const VideoSample& sample = read.samples[i];
    ASSERT_TRUE(sample.picture);
    EXPECT_EQ(sample.picture->format, PixelFormat::bgra8);
    EXPECT_EQ(sample.picture->width, 160);
    EXPECT_EQ(sample.picture->height, 120);
    // 25 frames per second in ticks of 1/12800 s.
    EXPECT_EQ(sample.time.value, static_cast<int64_t>(512 * i));
    EXPECT_EQ(sample.time.timeScale, 12800);
  }
  // The colours agree with ffmpeg's own conversion.
  EXPECT_LT(meanDifference(*read.samples[0].picture, ffmpegFirstFrame("person.mp4")), 2.0);
}

TEST(VideoReaderTest, TurnsFramesUprightByTheDisplayMatrix) {
  const ReadOut stored = readAll("person.mp4");
  const ReadOut upright = readAll("person_turned.mp4");
  ASSERT_EQ(upright.samples.size(), 50u);
  const PixelBuffer& before = *stored.samples[7].picture;
  const PixelBuffer& after = *upright.samples[7].picture;
  ASSERT_EQ(after.width, 120);
  ASSERT_EQ(after.height, 160);
  // The matrix turns the picture a quarter turn to the left: the stored top row becomes the left
  // column, read from the bottom up.
  for (int y = 0; y < before.height; ++y) {
    for (int x = 0; x < before.width; ++x) {
      ASSERT_EQ(0, std::memcmp(before.row(y) + 4 * x, after.row(before.width - 1 - x) + 4 * y, 4)) << x << "," << y;
    }
  }
  // ffmpeg turns it the same way.
  EXPECT_LT(meanDifference(*upright.samples[0].picture, ffmpegFirstFrame("person_turned.mp4")), 2.0);

  const ReadOut asStored = readAll("person_turned.mp4", FrameOrientation::asStored);
  EXPECT_EQ(asStored.samples[0].picture->width, 160);
}

TEST(VideoReaderTest, ReadsOnlyTheChosenTrack) {
  EXPECT_EQ(readAll("two_pictures.mp4", FrameOrientation::upright, 0).samples.at(0).picture->width, 160);
  EXPECT_EQ(readAll("two_pictures.mp4", FrameOrientation::upright, 1).samples.at(0).picture->width, 64);
}

TEST(VideoReaderTest, KeepsPresentationTimesThatRepeat) {
  const ReadOut read = readAll("shared_times.mkv");
  EXPECT_FALSE(read.failure);
  ASSERT_GE(read.samples.size(), 4u);
  EXPECT_EQ(read.samples[0].time, read.samples[1].time);
  EXPECT_EQ(read.samples[2].time, read.samples[3].time);
  EXPECT_EQ(read.samples[2].time, (MediaTime{80, 1000}));
}

TEST(VideoReaderTest, FailsWhenTheFileBreaksOff) {
  const ReadOut read = readAll("cut_off.mp4");
  ASSERT_TRUE(read.failure);
  EXPECT_EQ(read.failure->domain, kVideoDomain);
  EXPECT_EQ(read.failure->code, static_cast<int64_t>(VideoError::damaged));
  EXPECT_LT(read.samples.size(), 50u);
}

TEST(VideoReaderTest, FailsWhenTheFileEndsBetweenFramesBeforeItsIndexDoes) {
  // The index lists 50 frames; the file is cut cleanly where the 21st begins.
  const std::vector<int64_t> starts = test_support::videoPacketPositions(kVideos + "person.mp4");
  ASSERT_EQ(starts.size(), 50u);
  test_support::TemporaryFolder folder;
  const std::string cut = (folder / "cut_between.mp4");
  test_support::writeFile(cut,
                          test_support::readFile(kVideos + "person.mp4").substr(0, static_cast<size_t>(starts[20])));
  const ReadOut read = readAll(cut);
  ASSERT_TRUE(read.failure);
  EXPECT_EQ(read.failure->code, static_cast<int64_t>(VideoError::damaged)) << read.failure->description;
  EXPECT_LE(read.samples.size(), 20u);
}

TEST(VideoReaderTest, CompletesWithoutFramesWhenNoneDecodes) {
  const ReadOut read = readAll("no_frames.mp4");
  EXPECT_FALSE(read.failure);
  EXPECT_TRUE(read.samples.empty());
}

TEST(VideoReaderTest, OneReaderPerAssetAndOneStart) {
  Result<std::shared_ptr<VideoAsset>> asset = VideoAsset::open(kVideos + "person.mp4");
  ASSERT_TRUE(asset);
  const VideoTrack track = asset.value()->videoTracks()[0];
  Result<std::unique_ptr<VideoReader>> reader = makeVideoReader(asset.value(), track, FrameOrientation::upright);
  ASSERT_TRUE(reader);
  Result<std::unique_ptr<VideoReader>> second = makeVideoReader(asset.value(), track, FrameOrientation::upright);
  ASSERT_FALSE(second);
  EXPECT_EQ(second.error().code, static_cast<int64_t>(VideoError::alreadyReading));
  const Result<std::optional<VideoSample>> early = reader.value()->nextSample();
  ASSERT_FALSE(early);  // nothing before the start
  EXPECT_EQ(early.error().code, static_cast<int64_t>(VideoError::wrongState));
  EXPECT_TRUE(reader.value()->start());
  const Result<void> again = reader.value()->start();
  ASSERT_FALSE(again);
  EXPECT_EQ(again.error().code, static_cast<int64_t>(VideoError::wrongState));
  EXPECT_TRUE(reader.value()->nextSample());  // the second start harmed nothing
}

}  // namespace
}  // namespace platform::media
