#include "platform/nn/execution/xnnpack_library.h"

#include <string>

#include "platform/nn/model_errors.h"

namespace platform::nn {

Result<void> initializeXnnpack() {
  // A function-local static is initialised exactly once even when threads race to it.
  // XNNPACK's own allocator: malloc and posix_memalign, which the programs' memory policy
  // (platform/memory_policy.h) serves like the rest of their memory.
  static const xnn_status status = xnn_initialize(nullptr);
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
