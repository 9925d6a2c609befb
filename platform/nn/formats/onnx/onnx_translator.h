// The state of one ONNX translation (onnx_translation.h), shared by its source files: the values
// met so far, each a folded constant or a tensor of the graph being built, and the helpers that
// add tensors and operations. Used by one thread for one translation.
#pragma once

#include "platform/nn/internal_only.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/nn/formats/onnx/onnx_reader.h"
#include "platform/nn/graph/graph.h"
#include "platform/nn/model_errors.h"
#include "platform/result.h"

namespace platform::nn::onnx {

enum class Layout {
  plain,         // as ONNX lays it out
  channelsLast,  // a 4-D [n, c, h, w] value held as [n, h, w, c]
};

// An ONNX value: a constant known at translation, or a tensor of the graph.
struct Value {
  std::vector<int64_t> dims;  // ONNX's shape
  std::optional<OnnxTensor> constant;
  int tensor = -1;
  Layout layout = Layout::plain;
};

// ONNX's [n, c, h, w] as held channels-last.
std::vector<int> channelsLastShape(const std::vector<int64_t>& dims);
std::vector<int> toInts(const std::vector<int64_t>& dims);

// Constant folding of nodes whose inputs are all known (onnx_constant_folding.cc).
Result<OnnxTensor> foldNode(const OnnxNode& node, const std::vector<const OnnxTensor*>& inputs, int64_t opset);
// The shape that Reshape, Squeeze, Unsqueeze or Flatten gives `dims`; `inputs` holds the node's
// constant inputs (null where unknown).
Result<std::vector<int64_t>> reshapedDims(const OnnxNode& node, const std::vector<int64_t>& dims,
                                          const std::vector<const OnnxTensor*>& inputs);

class Translator {
 public:
  explicit Translator(const OnnxModel& model);

  Result<Graph> translate(const std::vector<std::vector<int>>& inputShapes);

  // --- used by the operator handlers (onnx_operators.cc) ---
  const OnnxModel& model() const { return model_; }
  Graph& graph() { return graph_; }

  // The value named `name`; an error for one never defined.
  Result<const Value*> value(const std::string& name) const;
  void define(const std::string& name, Value value) { values_[name] = std::move(value); }
  // Input i of the node, or null when it is omitted.
  Result<const Value*> input(const OnnxNode& node, size_t i) const;

  // The node indices that read `name`, and whether the graph gives it out.
  const std::vector<size_t>& consumers(const std::string& name) const;
  bool isGraphOutput(const std::string& name) const;
  // The one node that reads `name`, when it has exactly one reader and is not a graph output.
  std::optional<size_t> soleConsumer(const std::string& name) const;
  const OnnxNode& node(size_t index) const { return model_.nodes[index]; }
  // Marks a node as translated with another (fused), so that it is skipped.
  void consume(size_t index) { consumed_[index] = true; }

  // A computed float tensor of this shape.
  int addTensor(const std::string& name, const std::vector<int>& shape);
  int addFloats(const std::string& name, const std::vector<int>& shape, std::vector<float> values);
  int addInts(const std::string& name, const std::vector<int32_t>& values);
  // Appends an operation writing a new tensor; its shape is `shape`, or inferred when empty.
  Result<int> emit(OpType type, const std::vector<int>& inputs, const OpOptions& options, const std::string& name,
                   const std::vector<int>& shape = {});
  // The operation that computes graph tensor `t`, or null for inputs and constants.
  Operation* producer(int t);

  // The value as a graph tensor in the layout asked for, adding a transposition (or a constant)
  // when it is held otherwise.
  Result<int> plainTensor(const Value& value, const std::string& name);
  Result<int> channelsLastTensor(const Value& value, const std::string& name);
  // A tensor value with its layout and ONNX shape.
  static Value tensorValue(int tensor, std::vector<int64_t> dims, Layout layout);

 private:
  Result<void> translateNode(size_t index);
  Result<int> transposed(int tensor, const std::vector<int32_t>& perm, const std::string& name);

  const OnnxModel& model_;
  Graph graph_;
  std::map<std::string, Value> values_;
  std::map<std::string, std::vector<size_t>> consumers_;
  std::vector<bool> consumed_;
  std::vector<int> producers_;  // per graph tensor: index of the operation computing it, or -1
};

// Translates one node whose inputs are not all constants (onnx_operators.cc).
Result<void> translateOperator(Translator& t, size_t index);
// Whether translateOperator takes nodes of `opType`.
bool translatesOperator(std::string_view opType);

// --- fusions (onnx_fusions.cc); each answers false, having changed nothing, when it does not apply ---

// Node `index` scales and/or shifts its input `input` per channel (channels-last) or per last
// element (plain): folded into the convolution or fully connected layer that computes the input,
// when that input has no other reader. `scale` and `shift` may be empty.
bool foldAffineIntoProducer(Translator& t, size_t index, const std::string& input, const std::vector<float>& scale,
                            const std::vector<float>& shift);
// An activation after a convolution, fully connected layer or addition that has none yet.
bool foldActivationIntoProducer(Translator& t, size_t index, const std::string& input, Activation activation);
// Add(x, 3), Clip(0, 6), Mul(x, .), Div(., 6) starting at node `index`: one hard-swish.
Result<bool> fuseHardSwish(Translator& t, size_t index);
// ReduceMean, Sub, Pow, ReduceMean, Add, Sqrt, Div, Mul, Add starting at node `index`: one layer
// normalisation over the last dimension.
Result<bool> fuseLayerNorm(Translator& t, size_t index);

// The per-channel (channels-last) or per-last-element (plain) values of constant `c` broadcast
// against a value of `dims` in `layout`, or nothing when it varies along another dimension or
// would enlarge the value.
std::optional<std::vector<float>> channelValues(const Value& c, const std::vector<int64_t>& dims, Layout layout);
// A tensor value from a graph tensor, its ONNX shape worked out from its layout.
Value valueOfTensor(const Graph& graph, int tensor, Layout layout);

}  // namespace platform::nn::onnx
