#include "platform/standard_streams.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

namespace {

// Runs `check` in a child process (the streams it changes are this test's own otherwise) and
// gives its exit status: 0 when every expectation held, else the number of the one that failed.
template <typename Check>
int inChild(Check check) {
  const pid_t child = fork();
  if (child == 0) _exit(check());
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

bool isDevNull(int descriptor) {
  struct stat held {
  }, null{};
  return fstat(descriptor, &held) == 0 && stat("/dev/null", &null) == 0 && held.st_rdev == null.st_rdev &&
         S_ISCHR(held.st_mode);
}

TEST(StandardStreams, ClosedOnesAreHeldSoFilesOpenedLaterDoNotTakeThem) {
  for (const std::initializer_list<int> closed : {std::initializer_list<int>{1}, {1, 2}, {0, 1, 2}, {2}}) {
    EXPECT_EQ(inChild([&] {
                for (int descriptor : closed) close(descriptor);
                platform::prepareStandardStreams();
                for (int descriptor : closed) {
                  if (!isDevNull(descriptor)) return 1;
                }
                // A file opened now lands above the standard three.
                const int file = open("/dev/zero", O_RDONLY);
                if (file <= 2) return 2;
                // Writes to a held descriptor fail as on a closed one.
                for (int descriptor : closed) {
                  if (descriptor > 0 && (write(descriptor, "x", 1) != -1 || errno != EBADF)) return 3;
                }
                return 0;
              }),
              0);
  }
}

TEST(StandardStreams, OpenOnesAreLeftAlone) {
  EXPECT_EQ(inChild([] {
              const int before = dup(1);
              platform::prepareStandardStreams();
              struct stat was {
              }, is{};
              fstat(before, &was);
              fstat(1, &is);
              return was.st_ino == is.st_ino && was.st_dev == is.st_dev ? 0 : 1;
            }),
            0);
}

TEST(StandardStreams, AGoneReaderIsAnErrorNotADeath) {
  EXPECT_EQ(inChild([] {
              signal(SIGPIPE, SIG_DFL);
              platform::prepareStandardStreams();
              int ends[2];
              if (pipe(ends) != 0) return 1;
              close(ends[0]);
              if (write(ends[1], "x", 1) != -1 || errno != EPIPE) return 2;
              return 0;
            }),
            0);
}

}  // namespace
