#include "platform/standard_streams.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

void prepareStandardStreams() {
  // open() gives the lowest free descriptor: filling 0, 1, 2 in order puts each in its place.
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) continue;
    const int held = open("/dev/null", O_RDONLY);
    if (held != descriptor && held >= 0) close(held);  // a lower one was taken meanwhile: nothing held
  }
  signal(SIGPIPE, SIG_IGN);
}

}  // namespace platform
