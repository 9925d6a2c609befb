// The operations that run as kernels of our own between XNNPACK segments, because XNNPACK (as
// shipped in Debian 12) lacks them. Used while a Model is being built, by one thread.
#pragma once

#include <functional>
#include <vector>

#include "platform/nn/graph.h"

namespace platform::nn {

bool runsAsOwnKernel(OpType type);

// The kernel of `op` (one that runsAsOwnKernel), bound to the buffers in `tensorData` (indexed
// like graph.tensors). The graph has been prepared, so its shapes and options are known to fit.
// Calling the kernel computes the output from the inputs' current contents, without allocating.
std::function<void()> ownKernel(const Graph& graph, const Operation& op, const std::vector<float*>& tensorData);

}  // namespace platform::nn
