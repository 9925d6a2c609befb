// Plain loops that compute every operation the runtime supports, written for clarity and
// independent of XNNPACK: the yardstick the tests hold the fast runtime against. Slow; pure
// functions of their arguments, safe from any thread.
#pragma once

#include "platform/nn/internal_only.h"

#include <vector>

#include "platform/nn/graph/graph.h"
#include "platform/result.h"

namespace platform::nn {

// Runs a prepared graph (see prepareGraph) on `inputs` (one per graph input, in order) and returns
// the values of every tensor, indexed like graph.tensors. Fails (ModelError::invalidInputs) when
// the inputs do not fit the graph or the graph still holds load-time operations.
Result<std::vector<std::vector<float>>> evaluateReference(const Graph& graph,
                                                          const std::vector<std::vector<float>>& inputs);

}  // namespace platform::nn
