// Makes a graph ready to run: folds the load-time operations (float16 dequantization and
// densification of constants) into dense float constants, then checks every remaining operation:
// its tensors exist and have the ranks and types it needs, its constant operands are there, and
// its declared output shape is the one its inputs give. After this, a runner may size buffers from
// the declared shapes and trust them.
#pragma once

#include <vector>

#include "platform/nn/graph.h"
#include "platform/result.h"

namespace platform::nn {

// Fails with ModelError::malformed or ModelError::unsupported, naming the operation.
Result<void> prepareGraph(Graph* graph);

// The output shape that `op` computes from its inputs in `graph`, or why it cannot run
// (ModelError::malformed or ModelError::unsupported).
Result<std::vector<int>> inferOutputShape(const Graph& graph, const Operation& op);

}  // namespace platform::nn
