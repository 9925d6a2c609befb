#include "platform/nn/formats/onnx/onnx_translation.h"

#include <algorithm>

#include "platform/nn/formats/onnx/onnx_translator.h"
#include "platform/nn/graph/output_shape.h"

namespace platform::nn {
namespace onnx {

std::vector<int> toInts(const std::vector<int64_t>& dims) { return std::vector<int>(dims.begin(), dims.end()); }

std::vector<int> channelsLastShape(const std::vector<int64_t>& d) {
  return {int(d[0]), int(d[2]), int(d[3]), int(d[1])};
}

Translator::Translator(const OnnxModel& model) : model_(model), consumed_(model.nodes.size(), false) {
  for (size_t i = 0; i < model.nodes.size(); ++i) {
    for (const std::string& in : model.nodes[i].inputs) {
      if (!in.empty()) consumers_[in].push_back(i);
    }
  }
}

Result<const Value*> Translator::value(const std::string& name) const {
  auto found = values_.find(name);
  if (found == values_.end()) return malformed("value '" + name + "' is read before anything defines it");
  return &found->second;
}

Result<const Value*> Translator::input(const OnnxNode& node, size_t i) const {
  if (i >= node.inputs.size() || node.inputs[i].empty()) return static_cast<const Value*>(nullptr);
  return value(node.inputs[i]);
}

const std::vector<size_t>& Translator::consumers(const std::string& name) const {
  static const std::vector<size_t> kNone;
  auto found = consumers_.find(name);
  return found == consumers_.end() ? kNone : found->second;
}

bool Translator::isGraphOutput(const std::string& name) const {
  return std::any_of(model_.outputs.begin(), model_.outputs.end(),
                     [&](const OnnxValueInfo& o) { return o.name == name; });
}

std::optional<size_t> Translator::soleConsumer(const std::string& name) const {
  const std::vector<size_t>& readers = consumers(name);
  if (readers.size() != 1 || isGraphOutput(name)) return std::nullopt;
  return readers[0];
}

int Translator::addTensor(const std::string& name, const std::vector<int>& shape) {
  Tensor tensor;
  tensor.name = name;
  tensor.shape = shape;
  graph_.tensors.push_back(std::move(tensor));
  producers_.push_back(-1);
  return static_cast<int>(graph_.tensors.size()) - 1;
}

int Translator::addFloats(const std::string& name, const std::vector<int>& shape, std::vector<float> values) {
  int t = addTensor(name, shape);
  graph_.tensors[t].constant = true;
  graph_.tensors[t].values = std::move(values);
  return t;
}

int Translator::addInts(const std::string& name, const std::vector<int32_t>& values) {
  int t = addTensor(name, {static_cast<int>(values.size())});
  graph_.tensors[t].constant = true;
  graph_.tensors[t].type = DataType::int32;
  graph_.tensors[t].ints = values;
  return t;
}

Result<int> Translator::emit(OpType type, const std::vector<int>& inputs, const OpOptions& options,
                             const std::string& name, const std::vector<int>& shape) {
  int out = addTensor(name, shape);
  Operation op{type, inputs, {out}, options};
  if (shape.empty()) {
    Result<std::vector<int>> inferred = inferOutputShape(graph_, op);
    if (!inferred.ok()) return inferred.error();
    graph_.tensors[out].shape = inferred.value();
  }
  graph_.operations.push_back(std::move(op));
  producers_[out] = static_cast<int>(graph_.operations.size()) - 1;
  return out;
}

Operation* Translator::producer(int t) {
  if (t < 0 || size_t(t) >= producers_.size() || producers_[t] < 0) return nullptr;
  return &graph_.operations[producers_[t]];
}

Value Translator::tensorValue(int tensor, std::vector<int64_t> dims, Layout layout) {
  Value v;
  v.tensor = tensor;
  v.dims = std::move(dims);
  v.layout = layout;
  return v;
}

// A transposition that only moves dimensions of size 1 leaves the data in place: a reshape.
Result<int> Translator::transposed(int tensor, const std::vector<int32_t>& perm, const std::string& name) {
  std::vector<int> in = graph_.tensors[tensor].shape;
  std::vector<int> out;
  std::vector<int32_t> moved;
  for (int32_t p : perm) {
    out.push_back(in[p]);
    if (in[p] != 1) moved.push_back(p);
  }
  if (std::is_sorted(moved.begin(), moved.end())) return emit(OpType::reshape, {tensor}, {}, name, out);
  return emit(OpType::transpose, {tensor, addInts(name + "/perm", perm)}, {}, name);
}

Result<int> Translator::plainTensor(const Value& value, const std::string& name) {
  if (value.constant) {
    if (!value.constant->isFloat) return unsupported("'" + name + "' is an integer constant used as data");
    return addFloats(name, toInts(value.dims), value.constant->floats);
  }
  if (value.layout == Layout::plain) return value.tensor;
  return transposed(value.tensor, {0, 3, 1, 2}, name + "/nchw");
}

Result<int> Translator::channelsLastTensor(const Value& value, const std::string& name) {
  if (value.dims.size() != 4) return unsupported("'" + name + "' is not 4-D where channels-last data is needed");
  if (value.constant) {
    if (!value.constant->isFloat) return unsupported("'" + name + "' is an integer constant used as data");
    const std::vector<int64_t>& d = value.dims;
    std::vector<float> values(value.constant->floats.size());
    size_t i = 0;
    for (int64_t n = 0; n < d[0]; ++n)
      for (int64_t y = 0; y < d[2]; ++y)
        for (int64_t x = 0; x < d[3]; ++x)
          for (int64_t c = 0; c < d[1]; ++c)
            values[i++] = value.constant->floats[((n * d[1] + c) * d[2] + y) * d[3] + x];
    return addFloats(name, channelsLastShape(d), std::move(values));
  }
  if (value.layout == Layout::channelsLast) return value.tensor;
  return transposed(value.tensor, {0, 2, 3, 1}, name + "/nhwc");
}

Result<void> Translator::translateNode(size_t index) {
  const OnnxNode& node = model_.nodes[index];
  if (!node.domain.empty() && node.domain != "ai.onnx") {
    return unsupported("operator " + node.domain + "." + node.opType);
  }
  if (node.outputs.empty()) return malformed(node.opType + " has no output");
  if (node.opType == "Constant") {
    const OnnxAttribute* value = node.attribute("value");
    if (value == nullptr || !value->t) return unsupported("Constant without a tensor value");
    Value v;
    v.dims = value->t->dims;
    v.constant = *value->t;
    define(node.outputs[0], std::move(v));
    return {};
  }
  // Nodes whose inputs are all known are computed now.
  std::vector<const OnnxTensor*> known;
  bool allKnown = true;
  for (size_t i = 0; i < node.inputs.size(); ++i) {
    Result<const Value*> in = input(node, i);
    if (!in.ok()) return in.error();
    if (in.value() == nullptr) {
      known.push_back(nullptr);
      continue;
    }
    if (!in.value()->constant && node.opType != "Shape") allKnown = false;
    known.push_back(in.value()->constant ? &*in.value()->constant : nullptr);
  }
  if (node.opType == "Shape") {
    Result<const Value*> in = input(node, 0);
    if (!in.ok() || in.value() == nullptr) return malformed("Shape without an input");
    OnnxTensor shape;
    shape.isFloat = false;
    shape.dims = {static_cast<int64_t>(in.value()->dims.size())};
    shape.ints = in.value()->dims;
    Value v;
    v.dims = shape.dims;
    v.constant = std::move(shape);
    define(node.outputs[0], std::move(v));
    return {};
  }
  if (allKnown && !node.inputs.empty()) {
    Result<OnnxTensor> folded = foldNode(node, known, model_.opset);
    if (!folded.ok()) return folded.error();
    Value v;
    v.dims = folded.value().dims;
    v.constant = std::move(folded.value());
    define(node.outputs[0], std::move(v));
    return {};
  }
  return translateOperator(*this, index);
}

Result<Graph> Translator::translate(const std::vector<std::vector<int>>& inputShapes) {
  if (inputShapes.size() != model_.inputs.size()) {
    return modelError(ModelError::invalidInputs, "the model has " + std::to_string(model_.inputs.size()) +
                                                     " inputs, not " + std::to_string(inputShapes.size()));
  }
  for (const OnnxTensor& constant : model_.initializers) {
    Value v;
    v.dims = constant.dims;
    v.constant = constant;
    define(constant.name, std::move(v));
  }
  for (size_t i = 0; i < inputShapes.size(); ++i) {
    const OnnxValueInfo& info = model_.inputs[i];
    const std::vector<int>& shape = inputShapes[i];
    bool fits = info.elementType == 1 && shape.size() == info.dims.size();
    for (size_t d = 0; fits && d < shape.size(); ++d) {
      fits = shape[d] >= 1 && (info.dims[d] < 0 || info.dims[d] == shape[d]);
    }
    if (!fits) {
      return modelError(ModelError::invalidInputs,
                        "input '" + info.name + "' cannot take the shape " + shapeText(shape) + " (float wanted)");
    }
    std::vector<int64_t> dims(shape.begin(), shape.end());
    bool pictures = shape.size() == 4;
    int t = addTensor(info.name, pictures ? channelsLastShape(dims) : shape);
    graph_.inputs.push_back(t);
    define(info.name, tensorValue(t, dims, pictures ? Layout::channelsLast : Layout::plain));
  }
  for (size_t i = 0; i < model_.nodes.size(); ++i) {
    if (consumed_[i]) continue;
    if (Result<void> done = translateNode(i); !done.ok()) {
      Error error = done.error();
      error.description = model_.nodes[i].opType + " node " + std::to_string(i) + ": " + error.description;
      return error;
    }
  }
  for (const OnnxValueInfo& output : model_.outputs) {
    Result<const Value*> v = value(output.name);
    if (!v.ok()) return v.error();
    if (v.value()->constant) return unsupported("output '" + output.name + "' is a constant");
    Result<int> t = v.value()->dims.size() == 4 ? channelsLastTensor(*v.value(), output.name)
                                                : plainTensor(*v.value(), output.name);
    if (!t.ok()) return t.error();
    graph_.tensors[t.value()].name = output.name;
    graph_.outputs.push_back(t.value());
  }
  return std::move(graph_);
}

}  // namespace onnx

bool translatesOnnxOperator(std::string_view opType) { return onnx::translatesOperator(opType); }

Result<Graph> translateOnnx(const OnnxModel& model, const std::vector<std::vector<int>>& inputShapes) {
  onnx::Translator translator(model);
  return translator.translate(inputShapes);
}

}  // namespace platform::nn
