// vision FRAME_DIRECTORY FPS [faces]
//
// Writes one JSON line per frame of the folder, in name order: its time, faces, bodies, hands and
// the errors of its analysis. Exit status 0 after a run that listed the folder and delivered every
// line, 2 after the usage message, 1 when the folder cannot be read or standard output refuses a
// line.
#include <cstdio>
#include <cstring>
#include <optional>

#include "frame_analysis/frame_listing.h"
#include "frame_analysis/frame_run.h"
#include "frame_analysis/vision_run.h"
#include "platform/out_of_memory.h"
#include "platform/standard_streams.h"

using namespace frame_analysis;

namespace {

// Writes `message` to standard error and gives `status` for main to return.
int quit(const char* message, int status) {
  std::fwrite(message, 1, std::strlen(message), stderr);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  platform::prepareStandardStreams();
  platform::endRunOutOfMemory("Error: memory ran out\n");
  if (argc != 3 && !(argc == 4 && std::strcmp(argv[3], "faces") == 0)) return quit(kUsage, 2);
  const std::optional<double> fps = readFrameRate(argv[2]);
  if (!fps) return quit(kUsage, 2);
  VisionRun run;
  run.folder = argv[1];
  run.fps = *fps;
  run.analysis = argc == 4 ? Analysis::facesOnly : Analysis::full;

  std::optional<std::vector<std::string>> chosen = chooseFrames(run.folder);
  if (!chosen) return quit(kFolderUnreadable, 1);
  run.files = std::move(*chosen);

  if (!analyseFrames(run, frameWorkers())) return quit(kRecordsLost, 1);
  // The last lines are still in the buffer: a run whose lines did not all arrive has failed.
  if (std::fflush(stdout) != 0) return quit(kRecordsLost, 1);
  return 0;
}
