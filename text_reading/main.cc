// look <folder>
//
// Writes one JSON line per image of the folder whose extension is jpg in any case, in name order:
// its name, the lines of text recognised in it and the faces found in it, or the error of its
// analysis. Exit status 0 after a run that listed the folder, 1 after either message.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>

#include "text_reading/image_listing.h"
#include "text_reading/image_reading.h"
#include "text_reading/run_state.h"

using namespace text_reading;

namespace {

// Writes `message` and a line feed to standard error, unbuffered, and ends the run with status 1.
[[noreturn]] void fail(const std::string& message) {
  const std::string line = message + "\n";
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t written = write(STDERR_FILENO, line.data() + done, line.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;
    done += static_cast<size_t>(written);
  }
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) fail(kUsage);
  folder = argv[1];
  std::optional<std::vector<std::string>> chosen = chooseImages(folder);
  if (!chosen) fail(kFolderUnreadable);
  files = std::move(*chosen);
  for (const std::string& file : files) readImage(file);
  return 0;
}
