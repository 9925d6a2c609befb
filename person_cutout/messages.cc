#include "person_cutout/messages.h"

#include <unistd.h>

#include <string>

#include "person_cutout/stop_signals.h"
#include "platform/errors.h"
#include "platform/write_all.h"

namespace person_cutout {
namespace {

// The run's own failures carry their message in an error of this domain, with this one code.
constexpr std::string_view kRunDomain = "matte";
enum class RunError : int64_t { stopped = 1 };

// The whole line in one write, so that lines from one run never interleave. A line that
// cannot be delivered has nowhere else to go.
void writeLine(std::string_view text) {
  std::string line(text);
  line += '\n';
  static_cast<void>(platform::writeAll(STDERR_FILENO, line));
}

}  // namespace

int fail(std::string_view message, platform::media::VideoWriter* writer) {
  if (writer != nullptr && stopSignal() != 0) {
    writer->discard();
  } else if (writer != nullptr) {
    writer->cancel();  // removes the file unless it is complete
  }
  writeLine("Error: " + std::string(message));
  return 1;
}

platform::Error failure(std::string_view message) {
  return platform::makeError(kRunDomain, RunError::stopped, std::string(message));
}

void note(std::string_view text) { writeLine(text); }

std::string reasonOf(const platform::Error& error) {
  return error.description.empty() ? std::string(kUnknown) : error.description;
}

}  // namespace person_cutout
