// Running a program the way a host application does, and collecting what it gives back.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace test_support {

struct ProgramRun {
  int exitStatus = -1;         // the status it exited with, or 128 + signal when a signal ended it
  std::string standardOutput;  // empty when sent to a file
  std::string standardError;
};

// How to start it, e.g. RunOptions().inFolder(path).withEnvironment({"LC_ALL=C"}).
struct RunOptions {
  std::string workingDirectory;           // the current one when empty
  std::vector<std::string> environment;   // "NAME=value" entries set on top of this process's own
  std::string standardOutputFile;         // standard output written here instead of collected, when set
  bool standardOutputClosed = false;      // started with no standard output at all
  bool standardOutputReaderGone = false;  // standard output a pipe whose reader has gone (EPIPE)
  bool standardErrorClosed = false;       // started with no standard error at all

  RunOptions& inFolder(std::string folder) {
    workingDirectory = std::move(folder);
    return *this;
  }
  RunOptions& withEnvironment(std::vector<std::string> entries) {
    environment = std::move(entries);
    return *this;
  }
  RunOptions& standardOutputTo(std::string file) {
    standardOutputFile = std::move(file);
    return *this;
  }
  RunOptions& withoutStandardOutput() {
    standardOutputClosed = true;
    return *this;
  }
  RunOptions& withOutputReaderGone() {
    standardOutputReaderGone = true;
    return *this;
  }
  RunOptions& withoutStandardError() {
    standardErrorClosed = true;
    return *this;
  }
};

// Starts `program` (looked up in PATH when it holds no slash) with `arguments` (not counting the
// program's own name) and standard input closed, and waits for it to end. Throws
// std::runtime_error when the program cannot be started.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const RunOptions& options = {});

// A program started and left running, for tests that act on it while it runs (send it a signal).
// Started as runProgram starts it; the destructor kills and collects a program still running.
class RunningProgram {
 public:
  RunningProgram(const std::string& program, const std::vector<std::string>& arguments, const RunOptions& options = {});
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  // Collects its output until standard error holds `text` or the program ends, at most `seconds`;
  // true when the text came.
  bool waitForError(const std::string& text, double seconds);
  void sendSignal(int signal);
  // Waits for the end and gives everything it wrote.
  ProgramRun finish();

 private:
  int pid_ = -1;
  int outFd_ = -1, errFd_ = -1;
  ProgramRun run_;
};

}  // namespace test_support
