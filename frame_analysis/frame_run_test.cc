#include "frame_analysis/frame_run.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "frame_analysis/frame_listing.h"
#include "tests/support/files.h"

namespace frame_analysis {
namespace {

namespace fs = std::filesystem;

struct Streams {
  std::string output;
  std::string error;
};

Streams analyseWith(const VisionRun& run, unsigned workers) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  analyseFrames(run, workers);
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
    run_.folder = folder_.path();
    run_.fps = 30;
    run_.files = std::move(*chosen);
  }

  test_support::TemporaryFolder folder_;
  VisionRun run_;
};

TEST_F(FrameRunTest, SeveralWorkersWriteExactlyWhatOneWorkerWrites) {
  for (const Analysis analysis : {Analysis::full, Analysis::facesOnly}) {
    const bool facesOnly = analysis == Analysis::facesOnly;
    run_.analysis = analysis;
    const Streams one = analyseWith(run_, 1);
    ASSERT_EQ(lineCount(one.output), run_.files.size());
    // The comparison means something: people were found and requests failed.
    EXPECT_NE(one.output.find("\"landmarks\""), std::string::npos);
    EXPECT_NE(one.output.find(facesOnly ? "\"colours\"" : "\"indexTip\""), std::string::npos);
    EXPECT_EQ(lineCount(one.error), facesOnly ? 5u : 15u) << one.error;

    for (const unsigned workers : {2u, 3u}) {
      const Streams several = analyseWith(run_, workers);
      EXPECT_EQ(several.output, one.output) << workers << " workers, faces only " << facesOnly;
      EXPECT_EQ(several.error, one.error) << workers << " workers, faces only " << facesOnly;
    }
  }
}

// The processors the calling thread may run on, by number.
std::vector<int> allowedProcessors() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  EXPECT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
  std::vector<int> processors;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &allowed)) processors.push_back(cpu);
  }
  return processors;
}

// frameWorkers() as a thread sees it that may run only on `processors` (the affinity is the
// thread's own, so the rest of the test process keeps its processors).
unsigned workersOn(const std::vector<int>& processors) {
  unsigned workers = 0;
  std::thread([&] {
    cpu_set_t only;
    CPU_ZERO(&only);
    for (const int cpu : processors) CPU_SET(cpu, &only);
    if (sched_setaffinity(0, sizeof only, &only) != 0) {
      ADD_FAILURE() << "the affinity could not be set";
      return;
    }
    workers = frameWorkers();
  }).join();
  return workers;
}

TEST(FrameWorkersTest, OnePerProcessorOfTheAffinityAtMostTwo) {
  const std::vector<int> allowed = allowedProcessors();
  ASSERT_FALSE(allowed.empty());
  EXPECT_EQ(frameWorkers(), std::min<size_t>(allowed.size(), 2));
  EXPECT_EQ(workersOn({allowed[0]}), 1u);
  EXPECT_EQ(workersOn({allowed.back()}), 1u);
  if (allowed.size() >= 2) {
    EXPECT_EQ(workersOn({allowed[0], allowed[1]}), 2u);
  }
  if (allowed.size() >= 3) {
    EXPECT_EQ(workersOn({allowed[0], allowed[1], allowed[2]}), 2u);
  }
}

}  // namespace
}  // namespace frame_analysis
