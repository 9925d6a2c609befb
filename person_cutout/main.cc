// matte <video> <out.mp4> [fast|balanced|accurate]
//
// Writes an H.264 MPEG-4 video of the person masks of every frame of the video (grey, white where
// the person is, at most 1280 pixels on its longer side), noting progress on standard error, and
// prints one summary line on standard output. Exit status 0 after the summary, 1 after a failure
// ("Error: " and the reason on standard error).
#include "person_cutout/command_line.h"
#include "person_cutout/frame_loop.h"
#include "person_cutout/summary_record.h"
#include "person_cutout/video_setup.h"

using namespace person_cutout;

int main(int argc, char** argv) {
  takeArguments(argc, argv);

  openVideo();
  sizeCutOut();
  prepareWriter();
  prepareSegmentation();
  countExpectedFrames();

  runFrameLoop();

  finishCutOut();
  printSummary();
  return 0;
}
