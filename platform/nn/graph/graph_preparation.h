// Makes a graph ready to run: folds the load-time operations (float16 dequantization and
// densification of constants) into dense float constants, then checks every remaining operation:
// its tensors exist and have the ranks and types it needs, its constant operands are there, and
// its declared output shape is the one its inputs give. After this, a runner may size buffers from
// the declared shapes and trust them. Works on the caller's graph only; safe from any thread.
#pragma once

#include "platform/nn/internal_only.h"

#include "platform/nn/graph/graph.h"
#include "platform/result.h"

namespace platform::nn {

// Prepares `graph` in place. Needs every tensor index in it to be valid (the readers ensure that).
// On failure (ModelError::malformed or ModelError::unsupported) the graph may be half folded and
// is only good for discarding.
Result<void> prepareGraph(Graph* graph);

}  // namespace platform::nn
