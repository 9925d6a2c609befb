#include "person_cutout/frame_stages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "person_cutout/frame_loop.h"
#include "person_cutout/messages.h"
#include "person_cutout/run_state.h"
#include "person_cutout/summary_record.h"
#include "person_cutout/video_setup.h"
#include "tests/support/files.h"

namespace person_cutout {
namespace {

// Everything a run leaves: the file's bytes, standard error, and the statistics of the summary.
struct Outcome {
  std::string file;
  std::string messages;
  int64_t frames = 0;
  int64_t personFrames = 0;
  double covered = 0;
  std::vector<double> tops;
};

// Cuts `video` out at `level` as main does, from opening the video to finishing the file, with
// the loop `loop`; a failure ends the run through fail() as in main.
Outcome cutOutWith(platform::Result<void> (*loop)(), const std::string& video, unsigned level, const std::string& to) {
  writer.reset();
  reader.reset();
  asset.reset();
  vision.reset();  // a fresh sequence: the masks are steadied from the first frame on
  source = video;
  target = to;
  quality = level;
  Outcome outcome;
  testing::internal::CaptureStderr();
  platform::Result<void> run = openVideo();
  if (run) {
    sizeCutOut();
    run = prepareWriter();
  }
  if (run) {
    prepareSegmentation();
    countExpectedFrames();
    run = loop();
  }
  if (run) run = finishCutOut();
  if (!run) fail(run.error().description);
  outcome.messages = testing::internal::GetCapturedStderr();
  if (test_support::exists(to)) outcome.file = test_support::readFile(to);
  outcome.frames = frames;
  outcome.personFrames = personFrames;
  outcome.covered = covered;
  outcome.tops = tops;
  return outcome;
}

TEST(FrameStagesTest, WriteExactlyWhatTheOneByOneLoopWrites) {
  test_support::TemporaryFolder folder;
  const std::string videos = std::string(TEST_FIXTURES_DIR) + "/video/";
  // A man at a webcam (also turned, and with two pictures in the file), an empty street, shared
  // and falling times, a file that breaks off.
  for (const char* name :
       {"person.mp4", "person_turned.mp4", "two_pictures.mp4", "no_person.mp4", "shared_times.mkv", "cut_off.mp4"}) {
    for (const unsigned level : {0u, 1u, 2u}) {
      const std::string label = std::string(name) + " at quality " + std::to_string(level);
      const Outcome oneByOne = cutOutWith(runFramesOneByOne, videos + name, level, folder / "one.mp4");
      const Outcome inStages = cutOutWith(runFramesInStages, videos + name, level, folder / "stages.mp4");
      EXPECT_GT(oneByOne.frames, 0) << label;
      EXPECT_FALSE(oneByOne.messages.empty()) << label;  // progress lines, or the failure
      EXPECT_EQ(inStages.messages, oneByOne.messages) << label;
      EXPECT_TRUE(inStages.file == oneByOne.file) << label << ": the files differ";
      EXPECT_EQ(inStages.frames, oneByOne.frames) << label;
      EXPECT_EQ(inStages.personFrames, oneByOne.personFrames) << label;
      EXPECT_EQ(inStages.covered, oneByOne.covered) << label;
      EXPECT_EQ(inStages.tops, oneByOne.tops) << label;
    }
  }
  writer.reset();
  reader.reset();
  asset.reset();
  vision.reset();
}

}  // namespace
}  // namespace person_cutout
