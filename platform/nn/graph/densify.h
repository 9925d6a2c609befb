// Expands a sparse constant (TFLite's sparsity format) into its dense values. A pure function;
// safe from any thread.
#pragma once

#include "platform/nn/internal_only.h"

#include <vector>

#include "platform/nn/graph/graph.h"
#include "platform/result.h"

namespace platform::nn {

// The dense tensor of `denseShape` holding `values` at the places `sparsity` gives, zeros
// elsewhere. Fails (ModelError::malformed), without reading out of bounds, when the metadata does
// not fit the shape or the values.
Result<std::vector<float>> densify(const std::vector<float>& values, const Sparsity& sparsity,
                                   const std::vector<int>& denseShape);

}  // namespace platform::nn
