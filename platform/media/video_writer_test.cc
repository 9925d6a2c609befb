#include "platform/media/video_writer.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <atomic>
#include <limits>
#include <semaphore>
#include <thread>

#include "platform/errors.h"
#include "tests/support/files.h"
#include "tests/support/video_probe.h"

namespace platform::media {
namespace {

VideoWriterSettings maskSettings(int width, int height, int32_t timeScale) {
  VideoWriterSettings settings;
  settings.width = width;
  settings.height = height;
  settings.averageBitRate = 1'800'000;
  settings.maxKeyFrameInterval = 12;
  settings.timeScale = timeScale;
  return settings;
}

// Fills `frame` grey: `left` on the left half, `right` on the right half.
void paint(PixelBuffer& frame, uint8_t left, uint8_t right) {
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      const uint8_t grey = x < frame.width / 2 ? left : right;
      uint8_t* pixel = frame.row(y) + 4 * x;
      pixel[0] = pixel[1] = pixel[2] = grey;
      pixel[3] = 255;
    }
  }
}

// Finishes `writer` as a caller on another thread would see it: waits for the one completion
// and gives what it was told.
Result<void> finish(VideoWriter& writer) {
  std::binary_semaphore done(0);
  std::atomic<int> calls = 0;
  const std::thread::id caller = std::this_thread::get_id();
  std::atomic<bool> elsewhere = false;
  Result<void> outcome;
  writer.finish([&](Result<void> finished) {
    elsewhere = std::this_thread::get_id() != caller;
    ++calls;
    outcome = std::move(finished);
    done.release();
  });
  done.acquire();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(elsewhere);
  return outcome;
}

std::unique_ptr<VideoWriter> started(const std::string& path, const VideoWriterSettings& settings) {
  Result<std::unique_ptr<VideoWriter>> created = VideoWriter::create(path);
  EXPECT_TRUE(created) << (created ? "" : created.error().description);
  if (!created) return nullptr;
  std::unique_ptr<VideoWriter> writer = std::move(created.value());
  EXPECT_EQ(writer->bufferPool(), nullptr);  // no pool before writing begins
  const Result<void> started = writer->start(settings);
  EXPECT_TRUE(started) << (started ? "" : started.error().description);
  return writer;
}

TEST(VideoWriterTest, WritesOneH264TrackWithTheAskedSettings) {
  test_support::TemporaryFolder folder;
  const std::string path = (folder / "cut.mp4");
  std::unique_ptr<VideoWriter> writer = started(path, maskSettings(64, 48, 12800));
  ASSERT_TRUE(writer);
  PixelBufferPool* pool = writer->bufferPool();
  ASSERT_NE(pool, nullptr);
  const int kFrames = 40;
  for (int i = 0; i < kFrames; ++i) {
    std::shared_ptr<PixelBuffer> frame = pool->makeBuffer();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->width, 64);
    EXPECT_EQ(frame->height, 48);
    paint(*frame, static_cast<uint8_t>(i * 6), 255);
    ASSERT_TRUE(writer->readyForMoreFrames());
    ASSERT_TRUE(writer->append(*frame, MediaTime{512 * i + 100, 12800}));
  }
  const Result<void> finished = finish(*writer);
  ASSERT_TRUE(finished) << finished.error().description;
  EXPECT_EQ(writer->status(), VideoWriterStatus::completed);
  EXPECT_FALSE(writer->readyForMoreFrames());

  const std::optional<test_support::ProbedVideo> probed = test_support::probe(path);
  ASSERT_TRUE(probed);
  ASSERT_EQ(probed->streams.size(), 1u);
  test_support::Fields stream = probed->streams[0];
  EXPECT_EQ(stream["codec_name"], "h264");
  EXPECT_EQ(stream["profile"], "High");
  EXPECT_EQ(stream["width"], "64");
  EXPECT_EQ(stream["height"], "48");
  EXPECT_EQ(stream["time_base"], "1/12800");
  EXPECT_EQ(stream["color_range"], "pc");
  EXPECT_EQ(stream["has_b_frames"], "0");
  ASSERT_EQ(probed->frames.size(), static_cast<size_t>(kFrames));
  int sinceKey = 0;
  for (int i = 0; i < kFrames; ++i) {
    const test_support::ProbedFrame& frame = probed->frames[static_cast<size_t>(i)];
    EXPECT_EQ(frame.pts, 512 * i + 100) << i;
    EXPECT_NE(frame.type, "B") << i;
    sinceKey = frame.key ? 0 : sinceKey + 1;
    EXPECT_LT(sinceKey, 12) << "frame " << i << " is more than 12 frames after a key frame";
  }
  EXPECT_TRUE(probed->frames[0].key);
}

TEST(VideoWriterTest, WhiteAndBlackSurviveTheRoundTripAsFullRange) {
  test_support::TemporaryFolder folder;
  const std::string path = (folder / "mask.mp4");
  std::unique_ptr<VideoWriter> writer = started(path, maskSettings(64, 32, 600));
  ASSERT_TRUE(writer);
  const uint8_t levels[][2] = {{255, 0}, {0, 255}, {200, 64}};
  for (int i = 0; i < 3; ++i) {
    std::shared_ptr<PixelBuffer> frame = writer->bufferPool()->makeBuffer();
    paint(*frame, levels[i][0], levels[i][1]);
    ASSERT_TRUE(writer->append(*frame, MediaTime{20 * i, 600}));
  }
  ASSERT_TRUE(finish(*writer));

  const std::vector<std::vector<uint8_t>> planes = test_support::lumaPlanes(path, 64, 32);
  ASSERT_EQ(planes.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    // Away from the edge between the halves, the coded samples are the painted levels.
    for (int y = 0; y < 32; ++y) {
      EXPECT_NEAR(planes[i][static_cast<size_t>(y * 64 + 4)], levels[i][0], 1) << "frame " << i << " row " << y;
      EXPECT_NEAR(planes[i][static_cast<size_t>(y * 64 + 59)], levels[i][1], 1) << "frame " << i << " row " << y;
    }
  }
  EXPECT_EQ(planes[0][0], 255);
  EXPECT_EQ(planes[0][63], 0);
}

TEST(VideoWriterTest, KeepsTimesRisingInTheTrackScale) {
  test_support::TemporaryFolder folder;
  const std::string path = (folder / "times.mp4");
  std::unique_ptr<VideoWriter> writer = started(path, maskSettings(16, 16, 1000));
  ASSERT_TRUE(writer);
  // 1/600 s is 1.67 ms: 2 ticks; 1/1000 s would fall behind and moves one tick on; so does a
  // repeated time.
  const MediaTime times[] = {{0, 1}, {1, 600}, {1, 1000}, {3, 1000}, {40, 1000}};
  for (const MediaTime& time : times) {
    std::shared_ptr<PixelBuffer> frame = writer->bufferPool()->makeBuffer();
    paint(*frame, 0, 0);
    ASSERT_TRUE(writer->append(*frame, time));
  }
  ASSERT_TRUE(finish(*writer));
  const std::optional<test_support::ProbedVideo> probed = test_support::probe(path);
  ASSERT_TRUE(probed);
  std::vector<int64_t> pts;
  for (const test_support::ProbedFrame& frame : probed->frames) pts.push_back(frame.pts);
  EXPECT_EQ(pts, (std::vector<int64_t>{0, 2, 3, 4, 40}));
}

TEST(VideoWriterTest, AFirstFrameBeforeZeroMovesTheTrackToStartAtZero) {
  // A file shows nothing before its start: frames kept at their times before zero would be
  // counted as written but never shown.
  test_support::TemporaryFolder folder;
  const std::string path = (folder / "early.mp4");
  std::unique_ptr<VideoWriter> writer = started(path, maskSettings(16, 16, 1000));
  ASSERT_TRUE(writer);
  const MediaTime times[] = {{-720, 1000}, {-680, 1000}, {-40, 1000}, {0, 1}, {1, 25}};
  for (const MediaTime& time : times) {
    std::shared_ptr<PixelBuffer> frame = writer->bufferPool()->makeBuffer();
    paint(*frame, 0, 0);
    ASSERT_TRUE(writer->append(*frame, time));
  }
  ASSERT_TRUE(finish(*writer));
  const std::optional<test_support::ProbedVideo> probed = test_support::probe(path);
  ASSERT_TRUE(probed);
  std::vector<int64_t> pts;
  for (const test_support::ProbedFrame& frame : probed->frames) pts.push_back(frame.pts);
  EXPECT_EQ(pts, (std::vector<int64_t>{0, 40, 680, 720, 760}));
  EXPECT_EQ(test_support::lumaPlanes(path, 16, 16).size(), 5u);  // every frame decodes
}

TEST(VideoWriterTest, TheLevelFollowsTheSizeAndFrameRateNotTheTimeScale) {
  struct Case {
    int width, height;
    double frameRate;
    int highestLevel;  // ten times the level
  };
  const Case cases[] = {
      {1280, 720, 25, 40},  // 3.1 would do; 4.0 is what players and decoders commonly cap at
      {160, 120, 25, 21},   // 2.0 would do but for the bit rate
      {1280, 720, 0, 40},   // no rate declared: coded for 30 a second
      {1280, 720, std::numeric_limits<double>::quiet_NaN(), 40},
  };
  for (const Case& c : cases) {
    test_support::TemporaryFolder folder;
    const std::string path = (folder / "level.mp4");
    VideoWriterSettings settings = maskSettings(c.width, c.height, 12800);
    settings.frameRate = c.frameRate;
    std::unique_ptr<VideoWriter> writer = started(path, settings);
    ASSERT_TRUE(writer);
    for (int i = 0; i < 3; ++i) {
      std::shared_ptr<PixelBuffer> frame = writer->bufferPool()->makeBuffer();
      paint(*frame, 0, 255);
      ASSERT_TRUE(writer->append(*frame, MediaTime{512 * i, 12800}));
    }
    ASSERT_TRUE(finish(*writer));
    const std::optional<test_support::ProbedVideo> probed = test_support::probe(path);
    ASSERT_TRUE(probed);
    const int level = std::stoi(probed->streams.at(0).at("level"));
    EXPECT_GE(level, 10) << c.width << "x" << c.height << " at " << c.frameRate;
    EXPECT_LE(level, c.highestLevel) << c.width << "x" << c.height << " at " << c.frameRate;
  }
}

TEST(VideoWriterTest, NeverReplacesAnExistingEntry) {
  test_support::TemporaryFolder folder;
  const std::string file = (folder / "taken.mp4");
  test_support::writeFile(file, "precious");
  const std::string link = (folder / "link.mp4");
  ASSERT_EQ(::symlink((folder / "nowhere.mp4").c_str(), link.c_str()), 0);
  for (const std::string& path : {file, link, folder.path()}) {
    Result<std::unique_ptr<VideoWriter>> created = VideoWriter::create(path);
    ASSERT_FALSE(created) << path;
    EXPECT_EQ(created.error().code, static_cast<int64_t>(VideoError::fileExists)) << path;
  }
  EXPECT_EQ(test_support::readFile(file), "precious");
  EXPECT_FALSE(test_support::exists((folder / "nowhere.mp4")));  // the link was not followed

  Result<std::unique_ptr<VideoWriter>> nowhere = VideoWriter::create((folder / "missing/cut.mp4"));
  ASSERT_FALSE(nowhere);
  EXPECT_EQ(nowhere.error().code, static_cast<int64_t>(VideoError::cannotCreate));
}

TEST(VideoWriterTest, CancellingRemovesOnlyTheFileItCreated) {
  test_support::TemporaryFolder folder;
  const std::string path = (folder / "cut.mp4");
  {
    std::unique_ptr<VideoWriter> writer = started(path, maskSettings(16, 16, 600));
    std::shared_ptr<PixelBuffer> frame = writer->bufferPool()->makeBuffer();
    paint(*frame, 255, 0);
    ASSERT_TRUE(writer->append(*frame, kMediaTimeZero));
    ASSERT_TRUE(test_support::exists(path));
    writer->cancel();
    EXPECT_EQ(writer->status(), VideoWriterStatus::cancelled);
    EXPECT_FALSE(test_support::exists(path));
  }
  {
    // Another process put its own file at the path meanwhile: it stays.
    std::unique_ptr<VideoWriter> writer = started(path, maskSettings(16, 16, 600));
    test_support::writeFile((folder / "theirs"), "theirs");
    ASSERT_EQ(::rename((folder / "theirs").c_str(), path.c_str()), 0);
    writer->cancel();
    EXPECT_EQ(test_support::readFile(path), "theirs");
    ASSERT_EQ(::unlink(path.c_str()), 0);
  }
  {
    // A completed file is the caller's.
    std::unique_ptr<VideoWriter> writer = started(path, maskSettings(16, 16, 600));
    std::shared_ptr<PixelBuffer> frame = writer->bufferPool()->makeBuffer();
    paint(*frame, 255, 0);
    ASSERT_TRUE(writer->append(*frame, kMediaTimeZero));
    ASSERT_TRUE(finish(*writer));
    writer->cancel();
    EXPECT_EQ(writer->status(), VideoWriterStatus::completed);
    EXPECT_TRUE(test_support::exists(path));
    // ...unless the caller's run was called off: then it goes too.
    writer->discard();
    EXPECT_FALSE(test_support::exists(path));
  }
  {
    // Discarding never takes another's file either.
    std::unique_ptr<VideoWriter> writer = started(path, maskSettings(16, 16, 600));
    std::shared_ptr<PixelBuffer> frame = writer->bufferPool()->makeBuffer();
    paint(*frame, 255, 0);
    ASSERT_TRUE(writer->append(*frame, kMediaTimeZero));
    ASSERT_TRUE(finish(*writer));
    test_support::writeFile((folder / "theirs"), "theirs");
    ASSERT_EQ(::rename((folder / "theirs").c_str(), path.c_str()), 0);
    writer->discard();
    EXPECT_EQ(test_support::readFile(path), "theirs");
  }
}

// `frame` refused as a frame the track cannot code; then the writer fails as it said.
void expectRefusedFrame(VideoWriter& writer, const PixelBuffer& frame) {
  const Result<void> refused = writer.append(frame, kMediaTimeZero);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().domain, kVideoDomain);
  EXPECT_EQ(refused.error().code, static_cast<int64_t>(VideoError::wrongFrame));
  EXPECT_EQ(writer.status(), VideoWriterStatus::failed);
  EXPECT_FALSE(writer.readyForMoreFrames());

  // Writing has stopped: a good frame is refused for the same reason.
  const Result<void> after = writer.append(*writer.bufferPool()->makeBuffer(), kMediaTimeZero);
  ASSERT_FALSE(after);
  EXPECT_EQ(after.error().description, refused.error().description);

  // Finishing a failed writer still calls the completion once, with that failure.
  const Result<void> finished = finish(writer);
  ASSERT_FALSE(finished);
  EXPECT_EQ(finished.error().code, static_cast<int64_t>(VideoError::wrongFrame));
  EXPECT_EQ(writer.status(), VideoWriterStatus::failed);
}

TEST(VideoWriterTest, RefusesFramesItCannotCode) {
  struct Case {
    const char* name;
    PixelFormat track;  // the frame format the writer is started with
    PixelFormat format;
    int width;
  };
  for (const Case& c : {Case{"wrong size", PixelFormat::bgra8, PixelFormat::bgra8, 18},
                        Case{"grey frame for a BGRA track", PixelFormat::bgra8, PixelFormat::gray8, 16},
                        Case{"BGRA frame for a grey track", PixelFormat::gray8, PixelFormat::bgra8, 16}}) {
    SCOPED_TRACE(c.name);
    test_support::TemporaryFolder folder;
    VideoWriterSettings settings = maskSettings(16, 16, 600);
    settings.frameFormat = c.track;
    std::unique_ptr<VideoWriter> writer = started((folder / "cut.mp4"), settings);
    ASSERT_TRUE(writer);
    const std::shared_ptr<PixelBuffer> wrong = makePixelBuffer(c.format, c.width, 16);
    expectRefusedFrame(*writer, *wrong);
  }
}

TEST(VideoWriterTest, GreyFramesMakeTheSameFileAsBgraFramesOfTheirGreys) {
  test_support::TemporaryFolder folder;
  std::string bytes[2];
  const PixelFormat formats[2] = {PixelFormat::bgra8, PixelFormat::gray8};
  for (int f = 0; f < 2; ++f) {
    const std::string path = folder / (f == 0 ? "bgra.mp4" : "grey.mp4");
    VideoWriterSettings settings = maskSettings(70, 38, 600);  // rows of no round size, odd chroma rows
    settings.frameFormat = formats[f];
    std::unique_ptr<VideoWriter> writer = started(path, settings);
    ASSERT_TRUE(writer);
    for (int i = 0; i < 14; ++i) {
      std::shared_ptr<PixelBuffer> frame = writer->bufferPool()->makeBuffer();
      ASSERT_TRUE(frame);
      ASSERT_EQ(frame->format, formats[f]);
      // Greys that change from pixel to pixel, so that each 2 x 2 block averages unlike greys.
      for (int y = 0; y < frame->height; ++y) {
        for (int x = 0; x < frame->width; ++x) {
          const auto grey = static_cast<uint8_t>((x * 37 + y * 101 + i * 13) ^ (x * y));
          if (f == 1) {
            frame->row(y)[x] = grey;
          } else {
            uint8_t* pixel = frame->row(y) + 4 * x;
            pixel[0] = pixel[1] = pixel[2] = grey;
            pixel[3] = 255;
          }
        }
      }
      ASSERT_TRUE(writer->append(*frame, MediaTime{20 * i, 600}));
    }
    ASSERT_TRUE(finish(*writer));
    bytes[f] = test_support::readFile(path);
  }
  EXPECT_GT(bytes[0].size(), 1000u);
  EXPECT_TRUE(bytes[0] == bytes[1]) << "the grey frames made another file";
}

TEST(VideoWriterTest, AFrameAfterFinishingBeganIsRefusedAndTheFileCompletesAsItWas) {
  test_support::TemporaryFolder folder;
  const std::string path = (folder / "cut.mp4");
  std::unique_ptr<VideoWriter> writer = started(path, maskSettings(16, 16, 600));
  ASSERT_TRUE(writer);
  std::shared_ptr<PixelBuffer> frame = writer->bufferPool()->makeBuffer();
  paint(*frame, 255, 0);
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(writer->append(*frame, MediaTime{20 * i, 600}));
  std::binary_semaphore done(0);
  Result<void> outcome;
  writer->finish([&](Result<void> finished) {
    outcome = std::move(finished);
    done.release();
  });
  const Result<void> late = writer->append(*frame, MediaTime{40, 600});
  ASSERT_FALSE(late);
  EXPECT_EQ(late.error().code, static_cast<int64_t>(VideoError::wrongState));
  EXPECT_FALSE(writer->readyForMoreFrames());
  done.acquire();
  ASSERT_TRUE(outcome) << outcome.error().description;
  const std::optional<test_support::ProbedVideo> probed = test_support::probe(path);
  ASSERT_TRUE(probed);
  EXPECT_EQ(probed->frames.size(), 2u);
}

TEST(VideoWriterTest, RefusesSettingsAnH264TrackCannotHave) {
  test_support::TemporaryFolder folder;
  VideoWriterSettings threeBytes = maskSettings(16, 16, 600);
  threeBytes.frameFormat = PixelFormat::rgb8;  // frames of a format the writer does not take
  for (VideoWriterSettings settings :
       {maskSettings(15, 16, 600), maskSettings(0, 0, 600), maskSettings(16, 16, 0), threeBytes}) {
    Result<std::unique_ptr<VideoWriter>> created = VideoWriter::create((folder / "odd.mp4"));
    ASSERT_TRUE(created);
    const Result<void> started = created.value()->start(settings);
    ASSERT_FALSE(started);
    EXPECT_EQ(started.error().code, static_cast<int64_t>(VideoError::cannotEncode));
    EXPECT_FALSE(started.error().description.empty());
    created.value()->cancel();
  }
}

}  // namespace
}  // namespace platform::media
