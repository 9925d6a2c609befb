#include "platform/write_all.h"

#include <unistd.h>

#include <cerrno>

namespace platform {

std::error_code writeAll(int fd, const void* data, size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t wrote = ::write(fd, bytes + done, size - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0) return std::error_code(errno, std::generic_category());
    // A write that takes nothing would be asked again for ever.
    if (wrote == 0) return std::make_error_code(std::errc::io_error);
    done += static_cast<size_t>(wrote);
  }
  return {};
}

std::error_code writeAll(int fd, std::string_view bytes) { return writeAll(fd, bytes.data(), bytes.size()); }

}  // namespace platform
