// The operations that XNNPACK (as shipped in Debian 12) lacks, run as small kernels of our own
// between XNNPACK segments: concatenation, transposition, slicing (plain and strided), the matrix
// products of attention, layer normalisation, and the attention face mesh's crop, sampling and
// landmark operators. Each is set up once with fixed buffers, and run() only
// computes; a kernel is used by one thread at a time (the Model that owns it).
#pragma once

#include "platform/nn/internal_only.h"

#include <memory>
#include <vector>

#include "platform/nn/graph/graph.h"

namespace platform::nn {

class OwnKernel {
 public:
  virtual ~OwnKernel() = default;
  virtual void run() const = 0;
};

// The kernel for `op` of a prepared graph, reading and writing the buffers in `tensorData`
// (indexed like graph.tensors), which stay in place for the kernel's life. Null for a type whose
// engine (graph/operators.h) is not Engine::ownKernel.
std::unique_ptr<OwnKernel> makeOwnKernel(const Graph& graph, const Operation& op,
                                         const std::vector<float*>& tensorData);

}  // namespace platform::nn
