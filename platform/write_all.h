// Writing a whole block of bytes to an open file descriptor.
#pragma once

#include <cstddef>
#include <string_view>
#include <system_error>

namespace platform {

// Writes all `size` bytes at `data` to `fd`, going on after a signal or a short write (a pipe or a
// full disk that took only part of it) cuts a write call short, so no byte is lost or repeated.
// Gives no error once every byte is written; otherwise the error of the write that failed (an
// input/output error for a write that took nothing). Safe from any thread; writes from two
// threads to one descriptor may interleave when a block needs more than one call.
[[nodiscard]] std::error_code writeAll(int fd, const void* data, size_t size);
[[nodiscard]] std::error_code writeAll(int fd, std::string_view bytes);

}  // namespace platform
