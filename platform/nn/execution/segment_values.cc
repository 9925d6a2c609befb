#include "platform/nn/execution/segment_values.h"

#include <utility>

namespace platform::nn {
namespace {

std::vector<size_t> dimsOf(const std::vector<int>& shape) { return std::vector<size_t>(shape.begin(), shape.end()); }

}  // namespace

SegmentValues::SegmentValues(xnn_subgraph_t subgraph, const Graph& graph, std::vector<uint32_t> externalIds,
                             std::vector<uint32_t> externalFlags, StaticData* staticData)
    : subgraph_(subgraph),
      graph_(graph),
      ids_(std::move(externalIds)),
      flags_(std::move(externalFlags)),
      defined_(graph.tensors.size(), false),
      staticData_(staticData) {}

uint32_t SegmentValues::tensor(int t, const std::vector<int>& shape) {
  if (defined_[t]) return ids_[t];
  std::vector<size_t> dims = dimsOf(shape);
  uint32_t id = XNN_INVALID_VALUE_ID;
  if (xnn_define_tensor_value(subgraph_, xnn_datatype_fp32, dims.size(), dims.data(), nullptr, ids_[t], flags_[t],
                              &id) != xnn_status_success) {
    return XNN_INVALID_VALUE_ID;
  }
  ids_[t] = id;
  defined_[t] = true;
  return id;
}

uint32_t SegmentValues::constant(const float* data, const std::vector<int>& shape) {
  std::vector<size_t> dims = dimsOf(shape);
  uint32_t id = XNN_INVALID_VALUE_ID;
  if (xnn_define_tensor_value(subgraph_, xnn_datatype_fp32, dims.size(), dims.data(), data, XNN_INVALID_VALUE_ID, 0,
                              &id) != xnn_status_success) {
    return XNN_INVALID_VALUE_ID;
  }
  return id;
}

uint32_t SegmentValues::operand(int t) {
  const Tensor& tensor = graph_.tensors[t];
  return tensor.constant ? constant(tensor.values.data(), tensor.shape) : this->tensor(t);
}

uint32_t SegmentValues::bias(const Operation& op, int channels) {
  if (op.inputs.size() > 2 && op.inputs[2] >= 0) {
    return constant(graph_.tensors[op.inputs[2]].values.data(), {channels});
  }
  return constant(staticValues(static_cast<size_t>(channels), 0.0f), {channels});
}

const float* SegmentValues::staticValues(size_t count, float value) {
  staticData_->push_back(std::make_unique<std::vector<float>>(count, value));
  return staticData_->back()->data();
}

}  // namespace platform::nn
