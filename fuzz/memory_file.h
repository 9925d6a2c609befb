// The fuzz input as a file the decoders can open by path, held in memory so that no run touches
// the disk. Each input gets a file of its own, so nothing keyed to a file's identity (the still
// picture decoder's last-picture cache) carries over from one input to the next.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

class MemoryFile {
 public:
  MemoryFile(const uint8_t* data, size_t size) : fd_(memfd_create("fuzz-input", MFD_CLOEXEC)) {
    size_t written = 0;
    while (fd_ >= 0 && written < size) {
      const ssize_t n = write(fd_, data + written, size - written);
      if (n <= 0) break;
      written += static_cast<size_t>(n);
    }
    complete_ = fd_ >= 0 && written == size;
  }
  ~MemoryFile() {
    if (fd_ >= 0) close(fd_);
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  bool complete() const { return complete_; }
  // Opening it gives a description of its own, starting at the first byte.
  std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

 private:
  int fd_ = -1;
  bool complete_ = false;
};

}  // namespace fuzz
