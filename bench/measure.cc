// measure COMMAND [ARGUMENTS...]
//
// Runs the command with its standard output thrown away and prints one line to standard output:
// "seconds=<wall-clock seconds> peak_kib=<peak resident size in KiB> cpu=<user + system seconds>
// status=<exit status>". On a shared machine the processor time moves less than the wall clock.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

extern char** environ;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: measure COMMAND [ARGUMENTS...]\n", stderr);
    return 2;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  if (posix_spawnp(&child, argv[1], &actions, nullptr, argv + 1, environ) != 0) {
    std::fprintf(stderr, "measure: could not start %s\n", argv[1]);
    return 2;
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  std::printf("seconds=%.3f peak_kib=%ld cpu=%.3f status=%d\n", elapsed.count(), usage.ru_maxrss, cpu,
              WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
  return 0;
}
