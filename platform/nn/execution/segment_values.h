// The values of one XNNPACK subgraph, defined from a graph's tensors as the operators of a segment
// ask for them. A segment is a run of operations that XNNPACK executes as one runtime; the tensors
// it shares with the rest of the model (its external values) are numbered from 0 in advance.
// Used while a Model is being built, by one thread.
#pragma once

#include "platform/nn/internal_only.h"

#include <xnnpack.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/nn/graph/graph.h"

namespace platform::nn {

// Values that XNNPACK reads as static data besides the graph's constants (zero biases). They must
// outlive every runtime built with them; the inner vectors never move once filled.
using StaticData = std::vector<std::unique_ptr<std::vector<float>>>;

class SegmentValues {
 public:
  // `externalIds` and `externalFlags` hold, per tensor of `graph`, its external value id and
  // XNN_VALUE_FLAG_EXTERNAL_INPUT/OUTPUT, or XNN_INVALID_VALUE_ID and 0 for tensors internal to the
  // segment. `subgraph`, `graph` and `staticData` outlive this object.
  SegmentValues(xnn_subgraph_t subgraph, const Graph& graph, std::vector<uint32_t> externalIds,
                std::vector<uint32_t> externalFlags, StaticData* staticData);

  xnn_subgraph_t subgraph() const { return subgraph_; }
  const Graph& graph() const { return graph_; }

  // Each returns the value's id, or XNN_INVALID_VALUE_ID when XNNPACK refuses it.

  // The computed (or external) tensor `t` with its declared shape, defined on first use.
  uint32_t tensor(int t) { return tensor(t, graph_.tensors[t].shape); }
  // The same with the given shape, for operators that write a different rank than declared.
  uint32_t tensor(int t, const std::vector<int>& shape);
  // Static data seen with `shape`; a constant may be seen with different dims per use.
  uint32_t constant(const float* data, const std::vector<int>& shape);
  // A value between two nodes of one operation.
  uint32_t internal(const std::vector<int>& shape) { return constant(nullptr, shape); }
  // Input `t` of an operation: its constant data, or the computed tensor.
  uint32_t operand(int t);
  // The bias of a convolution with `channels` outputs: its third input, or zeros when omitted.
  uint32_t bias(const Operation& op, int channels);
  // `count` copies of `value` kept as static data for the model's life.
  const float* staticValues(size_t count, float value);

 private:
  xnn_subgraph_t subgraph_;
  const Graph& graph_;
  std::vector<uint32_t> ids_;
  std::vector<uint32_t> flags_;
  std::vector<bool> defined_;
  StaticData* staticData_;
};

}  // namespace platform::nn
