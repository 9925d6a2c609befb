#include "person_cutout/messages.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "person_cutout/run_state.h"

namespace person_cutout {
namespace {

// One write call for the whole line, so that lines from one run never interleave; the loop only
// finishes what a signal or a full pipe cut short.
void writeLine(std::string_view text) {
  std::string line(text);
  line += '\n';
  size_t sent = 0;
  while (sent < line.size()) {
    const ssize_t wrote = ::write(STDERR_FILENO, line.data() + sent, line.size() - sent);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return;
    sent += static_cast<size_t>(wrote);
  }
}

}  // namespace

void fail(std::string_view message) {
  if (writer && writer->status() != platform::media::VideoWriterStatus::completed) writer->cancelWriting();
  writeLine("Error: " + std::string(message));
  std::exit(1);
}

void note(std::string_view text) { writeLine(text); }

}  // namespace person_cutout
