#include "person_cutout/frame_stages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "person_cutout/frame_loop.h"
#include "person_cutout/messages.h"
#include "person_cutout/summary_record.h"
#include "person_cutout/video_setup.h"
#include "tests/support/files.h"

namespace person_cutout {
namespace {

using platform::vision::MaskQuality;

// Everything a run leaves: the file's bytes, standard error, and the statistics of the summary.
struct Outcome {
  std::string file;
  std::string messages;
  int64_t frames = 0;
  int64_t personFrames = 0;
  double covered = 0;
  std::vector<double> tops;
};

using Loop = platform::Result<void> (*)(MatteRun&, FrameTally&);

// Cuts `video` out at `quality` as main does, from opening the video to finishing the file, with
// the loop `loop`; a failure ends the run through fail() as in main.
Outcome cutOutWith(Loop loop, const std::string& video, MaskQuality quality, const std::string& to) {
  MatteRun run;  // a fresh sequence: the masks are steadied from the first frame on
  run.source = video;
  run.target = to;
  run.quality = quality;
  FrameTally tally;
  Outcome outcome;
  testing::internal::CaptureStderr();
  platform::Result<void> step = openVideo(run);
  if (step) {
    sizeCutOut(run);
    step = prepareWriter(run);
  }
  if (step) {
    prepareSegmentation(run);
    countExpectedFrames(run);
    step = loop(run, tally);
  }
  if (step) {
    const platform::Result<Summary> finished = finishCutOut(run, tally);
    if (!finished) step = finished.error();
  }
  if (!step) fail(step.error().description, run.writer.get());
  outcome.messages = testing::internal::GetCapturedStderr();
  if (test_support::exists(to)) outcome.file = test_support::readFile(to);
  outcome.frames = tally.frames;
  outcome.personFrames = tally.personFrames;
  outcome.covered = tally.covered;
  outcome.tops = tally.tops;
  return outcome;
}

TEST(FrameStagesTest, WriteExactlyWhatTheOneByOneLoopWrites) {
  test_support::TemporaryFolder folder;
  const std::string videos = std::string(TEST_FIXTURES_DIR) + "/video/";
  // A man at a webcam (also turned, and with two pictures in the file), an empty street, shared
  // and falling times, a file that breaks off.
  for (const char* name :
       {"person.mp4", "person_turned.mp4", "two_pictures.mp4", "no_person.mp4", "shared_times.mkv", "cut_off.mp4"}) {
    for (const MaskQuality quality : {MaskQuality::accurate, MaskQuality::balanced, MaskQuality::fast}) {
      const std::string label = std::string(name) + " at quality " + std::to_string(static_cast<int>(quality));
      // Each case writes files of its own: the writer never replaces a file, so a path used before
      // would fail the run and leave the earlier case's file to compare.
      const std::string cutOut = std::string(name) + "-" + std::to_string(static_cast<int>(quality));
      const Outcome oneByOne = cutOutWith(runFramesOneByOne, videos + name, quality, folder / (cutOut + "-one.mp4"));
      const Outcome inStages = cutOutWith(runFramesInStages, videos + name, quality, folder / (cutOut + "-stages.mp4"));
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
}

}  // namespace
}  // namespace person_cutout
