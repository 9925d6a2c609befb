// look <folder>
//
// Writes one JSON line per image of the folder whose extension is jpg in any case, in name order:
// its name, the lines of text recognised in it and the faces found in it, or the error of its
// analysis. Exit status 0 after a run that listed the folder and delivered every line, 1 after
// any of its messages (standard output refusing a line among them).
#include <unistd.h>

#include <optional>
#include <string>

#include "platform/out_of_memory.h"
#include "platform/standard_streams.h"
#include "platform/write_all.h"
#include "text_reading/image_listing.h"
#include "text_reading/image_reading.h"
#include "text_reading/look_run.h"

using namespace text_reading;

namespace {

// Writes `message` and a line feed to standard error, unbuffered, and gives the status 1 that
// ends the run.
int fail(const std::string& message) {
  // A message that cannot be delivered has nowhere else to go.
  static_cast<void>(platform::writeAll(STDERR_FILENO, message + "\n"));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  platform::prepareStandardStreams();
  platform::endRunOutOfMemory("Error: memory ran out\n");
  if (argc != 2) return fail(kUsage);
  LookRun run;
  run.folder = argv[1];
  std::optional<std::vector<std::string>> chosen = chooseImages(run.folder);
  if (!chosen) return fail(kFolderUnreadable);
  run.files = std::move(*chosen);
  for (const std::string& file : run.files) {
    if (!readImage(file)) return fail(kRecordsLost);
  }
  return 0;
}
