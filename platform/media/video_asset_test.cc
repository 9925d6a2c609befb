#include "platform/media/video_asset.h"

#include <gtest/gtest.h>

#include "platform/errors.h"
#include "tests/support/files.h"
#include "tests/support/program_run.h"

namespace platform::media {
namespace {

const std::string kVideos = std::string(TEST_FIXTURES_DIR) + "/video/";

TEST(VideoAssetTest, ListsVideoTracksWithTheirGeometryAndTiming) {
  struct Case {
    const char* file;
    size_t tracks;
    bool identity;
    FrameSize stored, upright;
    int32_t timeScale;
    float frameRate;
    double seconds;
  };
  const Case cases[] = {
      {"person.mp4", 1, true, {160, 120}, {160, 120}, 12800, 25, 2.0},  // its sound track is no picture
      {"person_turned.mp4", 1, false, {160, 120}, {120, 160}, 12800, 25, 2.0},
      {"two_pictures.mp4", 2, true, {160, 120}, {160, 120}, 12800, 25, 2.0},
      {"shared_times.mkv", 1, true, {160, 120}, {160, 120}, 1000, 25, 1.0},
      {"sound_only.m4a", 0, true, {}, {}, 0, 0, 1.0},
  };
  for (const Case& c : cases) {
    Result<std::shared_ptr<VideoAsset>> opened = VideoAsset::open(kVideos + c.file);
    ASSERT_TRUE(opened) << c.file << ": " << opened.error().description;
    const VideoAsset& asset = *opened.value();
    ASSERT_EQ(asset.videoTracks().size(), c.tracks) << c.file;
    EXPECT_NEAR(asset.duration().seconds(), c.seconds, 0.1) << c.file;
    if (c.tracks == 0) continue;
    const VideoTrack& track = asset.videoTracks()[0];
    EXPECT_EQ(track.displayMatrix.isIdentity(), c.identity) << c.file;
    EXPECT_EQ(track.storedSize.width, c.stored.width) << c.file;
    EXPECT_EQ(track.storedSize.height, c.stored.height) << c.file;
    EXPECT_EQ(track.uprightSize.width, c.upright.width) << c.file;
    EXPECT_EQ(track.uprightSize.height, c.upright.height) << c.file;
    EXPECT_EQ(track.timeScale, c.timeScale) << c.file;
    EXPECT_NEAR(track.frameRate, c.frameRate, 0.5) << c.file;
  }
  Result<std::shared_ptr<VideoAsset>> two = VideoAsset::open(kVideos + "two_pictures.mp4");
  EXPECT_EQ(two.value()->videoTracks()[1].storedSize.width, 64);
}

TEST(VideoAssetTest, RefusesWhatIsNoMediaFile) {
  test_support::TemporaryFolder folder;
  test_support::writeFile((folder / "notes.mp4"), "this is text, not a video\n");
  test_support::writeFile((folder / "empty.mp4"), "");
  // An MPEG-4 file cut before its index: only its type box is left.
  const std::string person = test_support::readFile(kVideos + "person.mp4");
  const size_t index = person.find("moov");
  ASSERT_NE(index, std::string::npos);
  test_support::writeFile((folder / "no_index.mp4"), person.substr(0, index - 4));
  struct Case {
    std::string path;
    VideoError code;
  };
  const Case cases[] = {
      {(folder / "notes.mp4"), VideoError::unrecognised},
      {(folder / "empty.mp4"), VideoError::unrecognised},
      {(folder / "no_index.mp4"), VideoError::unrecognised},
      {(folder / "missing.mp4"), VideoError::cannotOpen},
      {folder.path(), VideoError::cannotOpen},
  };
  for (const Case& c : cases) {
    Result<std::shared_ptr<VideoAsset>> opened = VideoAsset::open(c.path);
    ASSERT_FALSE(opened) << c.path;
    EXPECT_EQ(opened.error().domain, kVideoDomain);
    EXPECT_EQ(opened.error().code, static_cast<int64_t>(c.code)) << c.path << ": " << opened.error().description;
  }
}

TEST(VideoAssetTest, NamesThatLookLikeAddressesAreFiles) {
  // "http:" would send FFmpeg to the network; here it is a folder name.
  test_support::TemporaryFolder folder;
  const std::string odd = (folder / "http:");
  ASSERT_EQ(test_support::runProgram("mkdir", {odd}).exitStatus, 0);
  ASSERT_EQ(test_support::runProgram("cp", {kVideos + "person.mp4", odd + "/clip.mp4"}).exitStatus, 0);
  EXPECT_TRUE(VideoAsset::open(odd + "/clip.mp4"));
}

TEST(VideoAssetTest, SnapsDisplayMatricesToQuarterTurnsAndFlips) {
  struct Case {
    AffineTransform matrix, quarter;
    FrameSize turnedFrom160x120;
  };
  const Case cases[] = {
      {{1, 0, 0, 1, 0, 0}, {1, 0, 0, 1, 0, 0}, {160, 120}},
      {{0, -1, 1, 0, 0, 160}, {0, -1, 1, 0, 0, 0}, {120, 160}},  // a quarter turn; translation dropped
      {{0, 1, -1, 0, 120, 0}, {0, 1, -1, 0, 0, 0}, {120, 160}},  // the other way
      {{-1, 0, 0, -1, 160, 120}, {-1, 0, 0, -1, 0, 0}, {160, 120}},
      {{-1, 0, 0, 1, 160, 0}, {-1, 0, 0, 1, 0, 0}, {160, 120}},       // mirrored
      {{0, 1, 1, 0, 0, 0}, {0, 1, 1, 0, 0, 0}, {120, 160}},           // turned and mirrored
      {{0.8, 0.6, -0.6, 0.8, 0, 0}, {1, 0, 0, 1, 0, 0}, {160, 120}},  // 37 degrees: nearest is none
      {{0.5, 0.866, -0.866, 0.5, 0, 0}, {0, 1, -1, 0, 0, 0}, {120, 160}},
  };
  for (const Case& c : cases) {
    const AffineTransform quarter = nearestQuarterTurn(c.matrix);
    EXPECT_EQ(quarter.a, c.quarter.a);
    EXPECT_EQ(quarter.b, c.quarter.b);
    EXPECT_EQ(quarter.c, c.quarter.c);
    EXPECT_EQ(quarter.d, c.quarter.d);
    const FrameSize turned = turnedSize(quarter, FrameSize{160, 120});
    EXPECT_EQ(turned.width, c.turnedFrom160x120.width);
    EXPECT_EQ(turned.height, c.turnedFrom160x120.height);
  }
}

}  // namespace
}  // namespace platform::media
