// matte <video> <out.mp4> [fast|balanced|accurate]
//
// Writes an H.264 MPEG-4 video of the person masks of every frame of the video (grey, white where
// the person is, at most 1280 pixels on its longer side), noting progress on standard error, and
// prints one summary line on standard output. Exit status 0 after the summary, 1 after a failure
// ("Error: " and the reason on standard error). SIGINT, SIGTERM or SIGHUP stop the run between two
// steps: the cut-out is removed, "Error: stopped by " and the signal's name is written, and the
// process ends by that signal.
#include "person_cutout/command_line.h"
#include "person_cutout/frame_loop.h"
#include "person_cutout/matte_run.h"
#include "person_cutout/messages.h"
#include "person_cutout/stop_signals.h"
#include "person_cutout/summary_record.h"
#include "person_cutout/video_setup.h"
#include "platform/out_of_memory.h"
#include "platform/standard_streams.h"

using namespace person_cutout;
using platform::Result;

namespace {

// The run from the arguments to the summary; the first step that fails ends it, leaving in `run`
// what had been opened by then.
Result<void> cutOut(MatteRun& run, int argc, char** argv) {
  Result<MatteRun> asked = takeArguments(argc, argv);
  if (!asked) return asked.error();
  run = std::move(asked).value();

  if (Result<void> opened = openVideo(run); !opened) return opened;
  sizeCutOut(run);
  if (Result<void> going = unlessStopped(); !going) return going;
  if (Result<void> prepared = prepareWriter(run); !prepared) return prepared;
  platform::removeOnOutOfMemory(run.target);  // a cut-out left half-made is worse than none
  prepareSegmentation(run);
  countExpectedFrames(run);

  FrameTally tally;
  if (Result<void> looped = runFrameLoop(run, tally); !looped) return looped;

  if (Result<void> going = unlessStopped(); !going) return going;
  Result<Summary> finished = finishCutOut(run, tally);
  if (!finished) return finished.error();
  // Finishing takes a moment: a signal that came meanwhile still calls the run off.
  if (Result<void> going = unlessStopped(); !going) return going;
  return printSummary(finished.value());
}

}  // namespace

int main(int argc, char** argv) {
  platform::prepareStandardStreams();
  platform::endRunOutOfMemory("Error: memory ran out\n");
  catchStopSignals();
  MatteRun run;
  if (const Result<void> done = cutOut(run, argc, argv); !done) {
    const int status = fail(done.error().description, run.writer.get());
    if (const int signal = stopSignal(); signal != 0) endBySignal(signal);
    return status;
  }
  return 0;
}
