// Files and folders for tests: a temporary folder that cleans up after itself, and whole-file
// reads and writes.
#pragma once

#include <string>

namespace test_support {

// A fresh empty folder under the system's temporary folder, removed with everything in it when
// the object goes (folders a test made unreadable included).
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

// True when anything is at `path`, a link to nothing included.
bool exists(const std::string& path);

}  // namespace test_support
