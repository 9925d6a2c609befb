#include "tests/support/program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <signal.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

extern char** environ;

namespace test_support {

namespace {

// Reads what the pipes (-1 for a closed one) give within `timeoutMs` (-1: until both close),
// closing each at its end. Gives false once both are closed.
bool collect(int& outFd, int& errFd, std::string& out, std::string& err, int timeoutMs) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  int* ends[2] = {&outFd, &errFd};
  std::string* sinks[2] = {&out, &err};
  if (outFd < 0 && errFd < 0) return false;
  const int ready = poll(fds, 2, timeoutMs);
  if (ready < 0 && errno != EINTR) throw std::runtime_error("poll failed");
  char buffer[65536];
  for (int i = 0; i < 2 && ready > 0; ++i) {
    if (fds[i].fd < 0 || fds[i].revents == 0) continue;
    const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
    if (got > 0) {
      sinks[i]->append(buffer, static_cast<size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      close(fds[i].fd);
      *ends[i] = -1;
    }
  }
  return outFd >= 0 || errFd >= 0;
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

RunningProgram::RunningProgram(const std::string& program, const std::vector<std::string>& arguments,
                               const RunOptions& options) {
  const bool collectOutput = options.standardOutputFile.empty() && !options.standardOutputClosed;
  const bool collectError = !options.standardErrorClosed;
  int outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1};
  if ((collectOutput && pipe2(outPipe, O_CLOEXEC) != 0) || (collectError && pipe2(errPipe, O_CLOEXEC) != 0)) {
    throw std::runtime_error("pipe failed");
  }
  if (options.standardOutputReaderGone) {
    // The reader ends before the program writes a byte: every write meets EPIPE (and SIGPIPE).
    close(outPipe[0]);
    outPipe[0] = -1;
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (collectOutput) {
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  } else if (options.standardOutputClosed) {
    posix_spawn_file_actions_addclose(&actions, 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, options.standardOutputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0666);
  }
  if (collectError) {
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  } else {
    posix_spawn_file_actions_addclose(&actions, 2);
  }
  if (!options.workingDirectory.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str());
  }

  std::vector<std::string> words = {program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv = pointersTo(words);
  std::vector<std::string> environment = environmentWith(options.environment);
  std::vector<char*> envp = pointersTo(environment);

  // The stop signals as a host gives them, whatever this test process was started with (a run
  // under nohup ignores hang-ups, a shell may ignore broken pipes, and the child would inherit that).
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t standard, none;
  sigemptyset(&standard);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&standard, signal);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attributes, &standard);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  pid_t child = 0;
  const int spawned = posix_spawnp(&child, program.c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawnattr_destroy(&attributes);
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
  pid_ = child;
  outFd_ = outPipe[0];
  errFd_ = errPipe[0];
}

RunningProgram::~RunningProgram() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    finish();
  }
  for (int end : {outFd_, errFd_}) {
    if (end >= 0) close(end);
  }
}

bool RunningProgram::waitForError(const std::string& text, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (run_.standardError.find(text) == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    if (!collect(outFd_, errFd_, run_.standardOutput, run_.standardError, static_cast<int>(left.count()))) break;
  }
  return run_.standardError.find(text) != std::string::npos;
}

void RunningProgram::sendSignal(int signal) {
  if (pid_ > 0) kill(pid_, signal);
}

ProgramRun RunningProgram::finish() {
  while (collect(outFd_, errFd_, run_.standardOutput, run_.standardError, -1)) {
  }
  if (pid_ > 0) {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    run_.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  return run_;
}

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const RunOptions& options) {
  return RunningProgram(program, arguments, options).finish();
}

}  // namespace test_support
