#include "platform/out_of_memory.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

struct Ending {
  int status = -1;  // exit status, or 100 + signal
  std::string error;
};

// Runs `body` in a child process whose standard error is collected.
template <typename Body>
Ending inChild(Body body) {
  int ends[2];
  if (pipe(ends) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    dup2(ends[1], 2);
    close(ends[0]);
    // Outside the test's own handler of exceptions, as in a program's main.
    [&]() noexcept { body(); }();
    _exit(0);
  }
  close(ends[1]);
  Ending ending;
  char buffer[256];
  for (ssize_t got; (got = read(ends[0], buffer, sizeof buffer)) > 0;) ending.error.append(buffer, got);
  close(ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ending.status = WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
  return ending;
}

TEST(OutOfMemory, AnUncaughtBadAllocOnAnyThreadEndsTheRunWithItsMessage) {
  const std::filesystem::path unfinished = std::filesystem::temp_directory_path() / "out_of_memory_test.part";
  for (const bool onWorker : {false, true}) {
    std::ofstream(unfinished) << "half";
    const Ending ending = inChild([&] {
      platform::endRunOutOfMemory("Error: memory ran out\n");
      platform::removeOnOutOfMemory(unfinished.string());
      if (onWorker) {
        std::thread([] { throw std::bad_alloc(); }).join();
      } else {
        throw std::bad_alloc();
      }
    });
    EXPECT_EQ(ending.status, 1) << onWorker;
    EXPECT_EQ(ending.error, "Error: memory ran out\n") << onWorker;
    EXPECT_FALSE(std::filesystem::exists(unfinished)) << onWorker;
  }
}

TEST(OutOfMemory, OtherUncaughtExceptionsStillAbort) {
  const Ending ending = inChild([] {
    platform::endRunOutOfMemory("Error: memory ran out\n");
    throw std::logic_error("a fault");
  });
  EXPECT_EQ(ending.status, 100 + SIGABRT);
}

}  // namespace
