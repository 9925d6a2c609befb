// XNNPACK as the runtime uses it: initialised once per process, its status codes as words.
#pragma once

#include "platform/nn/internal_only.h"

#include <xnnpack.h>

#include "platform/result.h"

namespace platform::nn {

// Initialises XNNPACK the first time it is called; later calls give the first call's answer.
// Safe to call from any thread at any time (C++ guards the one initialisation).
Result<void> initializeXnnpack();

// "out of memory", "invalid parameter", ... for messages.
const char* xnnpackStatusText(xnn_status status);

}  // namespace platform::nn
