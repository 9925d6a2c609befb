// Running a built program the way a host application does, and collecting what it gives back.
#pragma once

#include <string>
#include <vector>

namespace test_support {

struct ProgramRun {
  int exitStatus = -1;  // the status it exited with, or 128 + signal when a signal ended it
  std::string standardOutput;
  std::string standardError;
};

// Starts `program` with `arguments` (not counting the program's own name) in `workingDirectory`
// (the current one when empty), with standard input closed, and waits for it to end.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& workingDirectory = "");

// A fresh empty folder under the system's temporary folder, removed with everything in it when
// the object goes.
class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::string& path() const { return path_; }
  // Path of `name` inside the folder.
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Writes `bytes` to `path`, replacing what was there.
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
void copyFile(const std::string& from, const std::string& to);

}  // namespace test_support
