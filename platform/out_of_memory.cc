#include "platform/out_of_memory.h"

#include <unistd.h>

#include <cstdio>
#include <exception>
#include <new>
#include <utility>

#include "platform/write_all.h"

namespace platform {
namespace {

// Reached from the terminate handler, which takes no arguments: set by main before any worker
// starts, only read afterwards.
std::string endMessage;
std::string unfinishedFile;

[[noreturn]] void endOnUncaught() {
  if (const std::exception_ptr uncaught = std::current_exception()) {
    try {
      std::rethrow_exception(uncaught);
    } catch (const std::bad_alloc&) {
      if (!unfinishedFile.empty()) std::remove(unfinishedFile.c_str());
      static_cast<void>(writeAll(STDERR_FILENO, endMessage));
      _exit(1);
    } catch (...) {
    }
  }
  std::abort();
}

}  // namespace

void endRunOutOfMemory(std::string message) {
  endMessage = std::move(message);
  std::set_terminate(endOnUncaught);
}

void removeOnOutOfMemory(std::string path) { unfinishedFile = std::move(path); }

}  // namespace platform
