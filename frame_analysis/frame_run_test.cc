#include "frame_analysis/frame_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "frame_analysis/frame_listing.h"
#include "frame_analysis/run_state.h"
#include "tests/support/files.h"

namespace frame_analysis {
namespace {

namespace fs = std::filesystem;

struct Streams {
  std::string output;
  std::string error;
};

Streams analyseWith(unsigned workers) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  analyseFrames(30, workers);
  Streams streams;
  streams.output = testing::internal::GetCapturedStdout();
  streams.error = testing::internal::GetCapturedStderr();
  return streams;
}

size_t lineCount(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

// Every picture of the fixtures (faces, bodies, hands, several people, nobody) and frames that
// cannot be read, each failing its requests with a message, spread between the pictures.
class FrameRunTest : public testing::Test {
 protected:
  void SetUp() override {
    int number = 0;
    auto nextName = [&](const char* kind) {
      char name[32];
      std::snprintf(name, sizeof name, "f%03d%s.jpg", number++, kind);
      return folder_ / name;
    };
    for (const char* kind : {"faces", "pose", "dancer_frames"}) {
      std::vector<fs::path> pictures;
      for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(TEST_FIXTURES_DIR) / kind))
        pictures.push_back(entry.path());
      std::sort(pictures.begin(), pictures.end());
      for (const fs::path& picture : pictures) fs::copy_file(picture, nextName(""));
      test_support::writeFile(nextName("_text"), "no picture here\n");
    }
    test_support::writeFile(folder_ / "f900_empty.jpg", "");
    fs::create_directory(folder_ / "f901_folder.jpg");
    std::optional<std::vector<std::string>> chosen = chooseFrames(folder_.path());
    ASSERT_TRUE(chosen);
    files = std::move(*chosen);
  }
  void TearDown() override {
    files.clear();
    facesOnly = false;
  }

  test_support::TemporaryFolder folder_;
};

TEST_F(FrameRunTest, SeveralWorkersWriteExactlyWhatOneWorkerWrites) {
  for (const bool faces : {false, true}) {
    facesOnly = faces;
    const Streams one = analyseWith(1);
    ASSERT_EQ(lineCount(one.output), files.size());
    // The comparison means something: people were found and requests failed.
    EXPECT_NE(one.output.find("\"landmarks\""), std::string::npos);
    EXPECT_NE(one.output.find(faces ? "\"colours\"" : "\"indexTip\""), std::string::npos);
    EXPECT_EQ(lineCount(one.error), faces ? 5u : 15u) << one.error;

    for (const unsigned workers : {2u, 3u}) {
      const Streams several = analyseWith(workers);
      EXPECT_EQ(several.output, one.output) << workers << " workers, faces only " << faces;
      EXPECT_EQ(several.error, one.error) << workers << " workers, faces only " << faces;
    }
  }
}

TEST(FrameWorkersTest, OnePerProcessorWithinTheLimit) {
  const unsigned workers = frameWorkers();
  EXPECT_GE(workers, 1u);
  EXPECT_LE(workers, kMostFrameWorkers);
  EXPECT_LE(workers, std::max(1u, std::thread::hardware_concurrency()));
}

}  // namespace
}  // namespace frame_analysis
