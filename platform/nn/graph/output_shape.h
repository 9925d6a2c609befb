// The shape an operation computes from its inputs, with the checks that make it safe to size a
// buffer from: operands of the right rank, kind and size, options within bounds, and a result
// that fits the runtime's size limit. Pure functions of the graph; safe from any thread.
#pragma once

#include "platform/nn/internal_only.h"

#include <vector>

#include "platform/nn/graph/graph.h"
#include "platform/result.h"

namespace platform::nn {

// The output shape that `op` computes from its inputs in `graph` (which must hold every tensor
// the operation names), or why it cannot run: ModelError::malformed for operands that do not fit,
// ModelError::unsupported for what the runtime does not run.
Result<std::vector<int>> inferOutputShape(const Graph& graph, const Operation& op);

}  // namespace platform::nn
