// Patterns that exporters spell out in several nodes, translated as one operation: scaling,
// shifting and activations folded into the convolution before them, hard-swish, and layer
// normalisation. Each matcher checks the whole pattern before it changes anything.
#include <cmath>

#include "platform/nn/formats/onnx/onnx_translator.h"

namespace platform::nn::onnx {
namespace {

bool isConvolutionOrDense(OpType type) {
  return type == OpType::conv2d || type == OpType::depthwiseConv2d || type == OpType::transposeConvBias ||
         type == OpType::fullyConnected;
}

// The one value of a constant input `i` of `node`, or nothing.
std::optional<float> scalarInput(Translator& t, const OnnxNode& node, size_t i) {
  Result<const Value*> v = t.input(node, i);
  if (!v.ok() || v.value() == nullptr || !v.value()->constant || !v.value()->constant->isFloat ||
      v.value()->constant->elementCount() != 1) {
    return std::nullopt;
  }
  return v.value()->constant->floats[0];
}

// The node that alone reads output 0 of node `index`, when it has the given type.
std::optional<size_t> next(Translator& t, size_t index, const char* opType) {
  std::optional<size_t> reader = t.soleConsumer(t.node(index).outputs[0]);
  if (!reader || t.node(*reader).opType != opType) return std::nullopt;
  return reader;
}

// Whether `node` reads `name` as input `i`, and its other input is a constant `value`.
bool readsWithConstant(Translator& t, const OnnxNode& node, const std::string& name, float value) {
  if (node.inputs.size() != 2) return false;
  for (size_t i = 0; i < 2; ++i) {
    std::optional<float> c = scalarInput(t, node, 1 - i);
    if (node.inputs[i] == name && c && std::fabs(*c - value) <= 1e-6f * std::fabs(value)) return true;
  }
  return false;
}

// Clip's bounds in either operator-set form.
bool clipsTo(Translator& t, const OnnxNode& clip, float low, float high) {
  const OnnxAttribute* min = clip.attribute("min");
  const OnnxAttribute* max = clip.attribute("max");
  std::optional<float> lowInput = scalarInput(t, clip, 1), highInput = scalarInput(t, clip, 2);
  float l = min ? min->f : lowInput.value_or(-INFINITY);
  float h = max ? max->f : highInput.value_or(INFINITY);
  return l == low && h == high;
}

}  // namespace

Value valueOfTensor(const Graph& graph, int tensor, Layout layout) {
  const std::vector<int>& s = graph.tensors[tensor].shape;
  std::vector<int64_t> dims(s.begin(), s.end());
  if (layout == Layout::channelsLast) dims = {s[0], s[3], s[1], s[2]};
  return Translator::tensorValue(tensor, dims, layout);
}

std::optional<std::vector<float>> channelValues(const Value& c, const std::vector<int64_t>& dims, Layout layout) {
  if (!c.constant || !c.constant->isFloat || c.dims.size() > dims.size() || dims.empty()) return std::nullopt;
  size_t channelAxis = layout == Layout::channelsLast ? 1 : dims.size() - 1;
  if (layout == Layout::channelsLast && dims.size() != 4) return std::nullopt;
  int64_t channels = dims[channelAxis];
  size_t offset = dims.size() - c.dims.size();
  for (size_t d = 0; d < c.dims.size(); ++d) {
    if (c.dims[d] != 1 && (d + offset != channelAxis || c.dims[d] != channels)) return std::nullopt;
  }
  if (c.constant->elementCount() == 1) return std::vector<float>(size_t(channels), c.constant->floats[0]);
  return c.constant->floats;
}

bool foldAffineIntoProducer(Translator& t, size_t index, const std::string& input, const std::vector<float>& scale,
                            const std::vector<float>& shift) {
  if (t.soleConsumer(input) != index) return false;
  Result<const Value*> v = t.value(input);
  if (!v.ok() || v.value()->constant) return false;
  int tensor = v.value()->tensor;
  Operation* op = t.producer(tensor);
  if (op == nullptr || !isConvolutionOrDense(op->type) || op->options.activation != Activation::none) return false;
  Graph& g = t.graph();
  size_t channels = size_t(g.tensors[tensor].shape.back());
  if ((!scale.empty() && scale.size() != channels) || (!shift.empty() && shift.size() != channels)) return false;
  if (op->inputs.size() < 3) op->inputs.resize(3, -1);
  if (op->inputs[2] < 0) {
    op->inputs[2] = t.addFloats(g.tensors[tensor].name + "/bias", {int(channels)}, std::vector<float>(channels, 0.0f));
  }
  std::vector<float>& bias = g.tensors[op->inputs[2]].values;
  if (!scale.empty()) {
    std::vector<float>& w = g.tensors[op->inputs[1]].values;
    // Weights are output-channel major, except depthwise ones, whose channel is the innermost.
    bool channelInnermost = op->type == OpType::depthwiseConv2d;
    size_t perChannel = w.size() / channels;
    for (size_t i = 0; i < w.size(); ++i) w[i] *= scale[channelInnermost ? i % channels : i / perChannel];
    for (size_t c = 0; c < channels; ++c) bias[c] *= scale[c];
  }
  for (size_t c = 0; c < shift.size(); ++c) bias[c] += shift[c];
  t.define(t.node(index).outputs[0], *v.value());
  return true;
}

bool foldActivationIntoProducer(Translator& t, size_t index, const std::string& input, Activation activation) {
  if (t.soleConsumer(input) != index) return false;
  Result<const Value*> v = t.value(input);
  if (!v.ok() || v.value()->constant) return false;
  Operation* op = t.producer(v.value()->tensor);
  if (op == nullptr || op->options.activation != Activation::none) return false;
  if (!isConvolutionOrDense(op->type) && op->type != OpType::add && op->type != OpType::mul) return false;
  op->options.activation = activation;
  t.define(t.node(index).outputs[0], *v.value());
  return true;
}

Result<bool> fuseHardSwish(Translator& t, size_t index) {
  const OnnxNode& add = t.node(index);
  if (add.inputs.size() != 2) return false;
  // x + 3, whichever side the constant stands.
  std::string x;
  for (size_t i = 0; i < 2; ++i) {
    if (readsWithConstant(t, add, add.inputs[i], 3.0f)) x = add.inputs[i];
  }
  if (x.empty()) return false;
  std::optional<size_t> clip = next(t, index, "Clip");
  if (!clip || !clipsTo(t, t.node(*clip), 0.0f, 6.0f)) return false;
  std::optional<size_t> mul = next(t, *clip, "Mul");
  if (!mul) return false;
  const OnnxNode& product = t.node(*mul);
  const std::string& clipped = t.node(*clip).outputs[0];
  if (!((product.inputs[0] == x && product.inputs[1] == clipped) ||
        (product.inputs[1] == x && product.inputs[0] == clipped))) {
    return false;
  }
  std::optional<size_t> div = next(t, *mul, "Div");
  if (!div || !readsWithConstant(t, t.node(*div), product.outputs[0], 6.0f) ||
      t.node(*div).inputs[0] != product.outputs[0]) {
    return false;
  }
  Result<const Value*> value = t.value(x);
  if (!value.ok()) return value.error();
  const Value& in = *value.value();
  if (in.constant) return false;
  const std::string& name = t.node(*div).outputs[0];
  Result<int> tensor = t.emit(OpType::hardSwish, {in.tensor}, {}, name);
  if (!tensor.ok()) return tensor.error();
  t.define(name, valueOfTensor(t.graph(), tensor.value(), in.layout));
  t.consume(*clip);
  t.consume(*mul);
  t.consume(*div);
  return true;
}

Result<bool> fuseLayerNorm(Translator& t, size_t index) {
  const OnnxNode& mean = t.node(index);
  auto lastAxisOnly = [](const OnnxNode& n) {
    const OnnxAttribute* axes = n.attribute("axes");
    const OnnxAttribute* keep = n.attribute("keepdims");
    return axes && axes->ints == std::vector<int64_t>{-1} && (!keep || keep->i == 1);
  };
  if (!lastAxisOnly(mean) || mean.inputs.size() != 1) return false;
  const std::string& x = mean.inputs[0];
  std::optional<size_t> sub = next(t, index, "Sub");
  if (!sub || t.node(*sub).inputs != std::vector<std::string>{x, mean.outputs[0]}) return false;
  const std::string& centred = t.node(*sub).outputs[0];
  // The centred value feeds the square and the division.
  const std::vector<size_t>& readers = t.consumers(centred);
  if (readers.size() != 2 || t.isGraphOutput(centred)) return false;
  size_t pow = readers[0], div = readers[1];
  if (t.node(pow).opType != "Pow") std::swap(pow, div);
  if (t.node(pow).opType != "Pow" || !readsWithConstant(t, t.node(pow), centred, 2.0f)) return false;
  std::optional<size_t> variance = next(t, pow, "ReduceMean");
  if (!variance || !lastAxisOnly(t.node(*variance))) return false;
  std::optional<size_t> addEpsilon = next(t, *variance, "Add");
  if (!addEpsilon) return false;
  const OnnxNode& epsilonNode = t.node(*addEpsilon);
  std::optional<float> epsilon =
      scalarInput(t, epsilonNode, epsilonNode.inputs[0] == t.node(*variance).outputs[0] ? 1 : 0);
  std::optional<size_t> sqrt = next(t, *addEpsilon, "Sqrt");
  if (!epsilon || !(*epsilon > 0) || !sqrt) return false;
  std::optional<size_t> divide = next(t, *sqrt, "Div");
  if (!divide || *divide != div || t.node(div).inputs != std::vector<std::string>{centred, t.node(*sqrt).outputs[0]}) {
    return false;
  }
  std::optional<size_t> scale = next(t, div, "Mul");
  if (!scale) return false;
  std::optional<size_t> shift = next(t, *scale, "Add");
  if (!shift) return false;
  Result<const Value*> in = t.value(x);
  if (!in.ok()) return in.error();
  if (in.value()->constant || in.value()->dims.empty()) return false;
  // Scale and shift: constants with one value per element of the last dimension.
  auto perElement = [&](size_t node, const std::string& reads) -> std::optional<std::vector<float>> {
    const OnnxNode& n = t.node(node);
    size_t other = n.inputs[0] == reads ? 1 : 0;
    Result<const Value*> c = t.input(n, other);
    if (!c.ok() || c.value() == nullptr) return std::nullopt;
    return channelValues(*c.value(), in.value()->dims, Layout::plain);
  };
  std::optional<std::vector<float>> gamma = perElement(*scale, t.node(div).outputs[0]);
  std::optional<std::vector<float>> beta = perElement(*shift, t.node(*scale).outputs[0]);
  if (!gamma || !beta) return false;
  const std::string& name = t.node(*shift).outputs[0];
  Result<int> data = t.plainTensor(*in.value(), name + "/input");
  if (!data.ok()) return data.error();
  int depth = int(in.value()->dims.back());
  OpOptions o;
  o.epsilon = *epsilon;
  Result<int> out = t.emit(OpType::layerNorm,
                           {data.value(), t.addFloats(name + "/scale", {depth}, std::move(*gamma)),
                            t.addFloats(name + "/shift", {depth}, std::move(*beta))},
                           o, name);
  if (!out.ok()) return out.error();
  t.define(name, valueOfTensor(t.graph(), out.value(), Layout::plain));
  for (size_t n : {*sub, pow, *variance, *addEpsilon, *sqrt, div, *scale, *shift}) t.consume(n);
  return true;
}

}  // namespace platform::nn::onnx
