#include "platform/nn/execution/xnnpack_library.h"

#include <cstddef>
#include <cstdlib>
#include <string>

#include "platform/nn/execution/huge_pages.h"
#include "platform/nn/model_errors.h"

namespace platform::nn {
namespace {

// XNNPACK's large blocks in huge pages (huge_pages.h says why).
void* alignedAllocate(void*, size_t alignment, size_t size) { return allocateAligned(alignment, size); }

void* allocate(void*, size_t size) { return allocateAligned(alignof(std::max_align_t), size); }

void* reallocate(void*, void* pointer, size_t size) {
  void* moved = std::realloc(pointer, size);
  adviseHugePages(moved, size);
  return moved;
}

void deallocate(void*, void* pointer) { freeAligned(pointer); }

const xnn_allocator kHugePageAllocator = {nullptr, allocate, reallocate, deallocate, alignedAllocate, deallocate};

}  // namespace

Result<void> initializeXnnpack() {
  // A function-local static is initialised exactly once even when threads race to it.
  static const xnn_status status = xnn_initialize(&kHugePageAllocator);
  if (status != xnn_status_success) {
    return modelError(ModelError::engineFailed, std::string("cannot initialise XNNPACK: ") + xnnpackStatusText(status));
  }
  return {};
}

const char* xnnpackStatusText(xnn_status status) {
  switch (status) {
    case xnn_status_success:
      return "success";
    case xnn_status_uninitialized:
      return "XNNPACK is not initialised";
    case xnn_status_invalid_parameter:
      return "invalid parameter";
    case xnn_status_invalid_state:
      return "invalid state";
    case xnn_status_unsupported_parameter:
      return "unsupported parameter";
    case xnn_status_unsupported_hardware:
      return "unsupported hardware";
    case xnn_status_out_of_memory:
      return "out of memory";
  }
  return "unknown status";
}

}  // namespace platform::nn
