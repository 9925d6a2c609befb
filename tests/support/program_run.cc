#include "tests/support/program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

extern char** environ;

namespace test_support {

namespace {

// Reads the pipes (-1 for none) until both are closed, so a child that fills one cannot stall on it.
void drain(int outFd, int errFd, std::string& out, std::string& err) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* sinks[2] = {&out, &err};
  int open = (outFd >= 0) + (errFd >= 0);
  char buffer[65536];
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("poll failed");
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

// This process's environment with `added` entries replacing those of the same name.
std::vector<std::string> environmentWith(const std::vector<std::string>& added) {
  std::vector<std::string> entries;
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string text = *variable;
    const std::string name = text.substr(0, text.find('='));
    bool replaced = false;
    for (const std::string& entry : added) replaced = replaced || entry.substr(0, entry.find('=')) == name;
    if (!replaced) entries.push_back(text);
  }
  entries.insert(entries.end(), added.begin(), added.end());
  return entries;
}

std::vector<char*> pointersTo(std::vector<std::string>& words) {
  std::vector<char*> pointers;
  for (std::string& word : words) pointers.push_back(word.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const RunOptions& options) {
  const bool collectOutput = options.standardOutputFile.empty();
  int outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1};
  if ((collectOutput && pipe2(outPipe, O_CLOEXEC) != 0) || pipe2(errPipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (collectOutput) {
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, options.standardOutputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0666);
  }
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  if (!options.workingDirectory.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str());
  }

  std::vector<std::string> words = {program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv = pointersTo(words);
  std::vector<std::string> environment = environmentWith(options.environment);
  std::vector<char*> envp = pointersTo(environment);

  pid_t child = 0;
  const int spawned = posix_spawnp(&child, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  for (int end : {outPipe[1], errPipe[1]}) {
    if (end >= 0) close(end);
  }
  if (spawned != 0) {
    for (int end : {outPipe[0], errPipe[0]}) {
      if (end >= 0) close(end);
    }
    throw std::runtime_error("could not start " + program);
  }

  ProgramRun run;
  drain(outPipe[0], errPipe[0], run.standardOutput, run.standardError);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

}  // namespace test_support
