// One function per family of ONNX operators, each adding the graph operations that compute a
// node whose inputs are not all known at translation, and the table that picks one by op type.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <string_view>

#include "platform/nn/formats/onnx/onnx_translator.h"

namespace platform::nn::onnx {
namespace {

std::vector<int64_t> intsAttribute(const OnnxNode& node, const char* name, std::vector<int64_t> otherwise) {
  const OnnxAttribute* a = node.attribute(name);
  return a ? a->ints : otherwise;
}
int64_t intAttribute(const OnnxNode& node, const char* name, int64_t otherwise) {
  const OnnxAttribute* a = node.attribute(name);
  return a ? a->i : otherwise;
}
float floatAttribute(const OnnxNode& node, const char* name, float otherwise) {
  const OnnxAttribute* a = node.attribute(name);
  return a ? a->f : otherwise;
}
std::string textAttribute(const OnnxNode& node, const char* name, std::string otherwise) {
  const OnnxAttribute* a = node.attribute(name);
  return a ? a->s : otherwise;
}

// Input i, which must be present; a constant or a tensor as asked.
Result<const Value*> required(Translator& t, const OnnxNode& node, size_t i) {
  Result<const Value*> in = t.input(node, i);
  if (!in.ok()) return in.error();
  if (in.value() == nullptr) return malformed("input " + std::to_string(i) + " is missing");
  return in;
}
Result<const OnnxTensor*> constantInput(Translator& t, const OnnxNode& node, size_t i, bool floats) {
  Result<const Value*> in = required(t, node, i);
  if (!in.ok()) return in.error();
  if (!in.value()->constant || in.value()->constant->isFloat != floats) {
    return unsupported("input " + std::to_string(i) + " must be a constant of " + (floats ? "floats" : "integers"));
  }
  return &*in.value()->constant;
}

Result<void> defineTensor(Translator& t, const OnnxNode& node, Result<int> tensor, Layout layout) {
  if (!tensor.ok()) return tensor.error();
  t.define(node.outputs[0], valueOfTensor(t.graph(), tensor.value(), layout));
  return {};
}

// Windows of convolutions and pooling: kernel, strides, dilations and explicit padding.
Result<OpOptions> windowOptions(const OnnxNode& node, std::vector<int64_t> kernel) {
  OpOptions o;
  std::vector<int64_t> strides = intsAttribute(node, "strides", {1, 1});
  std::vector<int64_t> dilations = intsAttribute(node, "dilations", {1, 1});
  std::vector<int64_t> pads = intsAttribute(node, "pads", {0, 0, 0, 0});
  std::string autoPad = textAttribute(node, "auto_pad", "NOTSET");
  if (kernel.size() != 2 || strides.size() != 2 || dilations.size() != 2 || pads.size() != 4) {
    return unsupported("windows other than two-dimensional");
  }
  auto fits = [](int64_t v, int64_t low) { return v >= low && v <= 1024; };
  for (int64_t v : strides)
    if (!fits(v, 1)) return malformed("bad stride");
  for (int64_t v : dilations)
    if (!fits(v, 1)) return malformed("bad dilation");
  for (int64_t v : pads)
    if (!fits(v, 0)) return malformed("bad padding");
  for (int64_t v : kernel)
    if (!fits(v, 1)) return malformed("bad kernel size");
  o.strideH = int(strides[0]);
  o.strideW = int(strides[1]);
  o.dilationH = int(dilations[0]);
  o.dilationW = int(dilations[1]);
  o.filterH = int(kernel[0]);
  o.filterW = int(kernel[1]);
  if (autoPad == "SAME_UPPER") {
    o.padding = Padding::same;
  } else if (autoPad == "NOTSET" || autoPad == "VALID") {
    if (autoPad == "NOTSET") {
      o.padTop = int(pads[0]);
      o.padLeft = int(pads[1]);
      o.padBottom = int(pads[2]);
      o.padRight = int(pads[3]);
    }
  } else {
    return unsupported("auto_pad " + autoPad);
  }
  return o;
}

// Weights [o, i, kh, kw] rearranged to [o, kh, kw, i] (or, transposing the first two, from
// ConvTranspose's [i, o, kh, kw]).
std::vector<float> outputMajorWeights(const OnnxTensor& w, bool inputFirst) {
  const std::vector<int64_t>& d = w.dims;
  int64_t outs = inputFirst ? d[1] : d[0], ins = inputFirst ? d[0] : d[1], kh = d[2], kw = d[3];
  std::vector<float> out(w.floats.size());
  for (int64_t o = 0; o < outs; ++o)
    for (int64_t y = 0; y < kh; ++y)
      for (int64_t x = 0; x < kw; ++x)
        for (int64_t i = 0; i < ins; ++i) {
          int64_t from = inputFirst ? ((i * outs + o) * kh + y) * kw + x : ((o * ins + i) * kh + y) * kw + x;
          out[((o * kh + y) * kw + x) * ins + i] = w.floats[from];
        }
  return out;
}

Result<void> convolution(Translator& t, size_t index) {
  const OnnxNode& node = t.node(index);
  Result<const Value*> x = required(t, node, 0);
  Result<const OnnxTensor*> w = constantInput(t, node, 1, true);
  if (!x.ok()) return x.error();
  if (!w.ok()) return w.error();
  const OnnxTensor& weights = *w.value();
  if (weights.dims.size() != 4 || x.value()->dims.size() != 4) return unsupported("convolutions other than 2-D");
  bool transposed = node.opType == "ConvTranspose";
  Result<OpOptions> options = windowOptions(node, {weights.dims[2], weights.dims[3]});
  if (!options.ok()) return options.error();
  OpOptions o = options.value();
  int64_t group = intAttribute(node, "group", 1);
  int64_t channels = x.value()->dims[1];
  int64_t outputs = transposed ? weights.dims[1] * group : weights.dims[0];
  const std::string& name = node.outputs[0];
  OpType type = OpType::conv2d;
  std::vector<float> values;
  std::vector<int> shape;
  if (transposed) {
    std::vector<int64_t> outputPadding = intsAttribute(node, "output_padding", {0, 0});
    if (group != 1 || o.padTop + o.padLeft + o.padBottom + o.padRight != 0 || o.padding != Padding::valid ||
        o.dilationH != 1 || o.dilationW != 1 || node.attribute("output_shape") ||
        outputPadding != std::vector<int64_t>{0, 0}) {
      return unsupported("ConvTranspose with groups, padding, dilation or a set output size");
    }
    if (weights.dims[0] != channels) return malformed("weights do not fit the input");
    type = OpType::transposeConvBias;
    values = outputMajorWeights(weights, true);
    shape = {int(outputs), int(weights.dims[2]), int(weights.dims[3]), int(channels)};
  } else if (group == 1) {
    if (weights.dims[1] != channels) return malformed("weights do not fit the input");
    values = outputMajorWeights(weights, false);
    shape = {int(outputs), int(weights.dims[2]), int(weights.dims[3]), int(channels)};
  } else if (group == channels && weights.dims[1] == 1 && outputs % channels == 0) {
    type = OpType::depthwiseConv2d;
    o.depthMultiplier = int(outputs / channels);
    int64_t kh = weights.dims[2], kw = weights.dims[3];
    values.resize(weights.floats.size());
    for (int64_t c = 0; c < outputs; ++c)
      for (int64_t k = 0; k < kh * kw; ++k) values[k * outputs + c] = weights.floats[c * kh * kw + k];
    shape = {1, int(kh), int(kw), int(outputs)};
  } else {
    return unsupported("grouped convolution other than depthwise");
  }
  int bias = -1;
  if (Result<const Value*> b = t.input(node, 2); b.ok() && b.value() != nullptr) {
    if (!b.value()->constant || !b.value()->constant->isFloat ||
        b.value()->constant->elementCount() != size_t(outputs)) {
      return unsupported("a bias that is not a constant per output channel");
    }
    bias = t.addFloats(name + "/bias", {int(outputs)}, b.value()->constant->floats);
  }
  int filter = t.addFloats(name + "/weights", shape, std::move(values));
  Result<int> in = t.channelsLastTensor(*x.value(), name + "/input");
  if (!in.ok()) return in.error();
  return defineTensor(t, node, t.emit(type, {in.value(), filter, bias}, o, name), Layout::channelsLast);
}

Result<void> pooling(Translator& t, size_t index) {
  const OnnxNode& node = t.node(index);
  Result<const Value*> x = required(t, node, 0);
  if (!x.ok()) return x.error();
  Result<int> in = t.channelsLastTensor(*x.value(), node.outputs[0] + "/input");
  if (!in.ok()) return in.error();
  if (node.opType == "GlobalAveragePool") {
    OpOptions o;
    o.keepDims = true;
    int axes = t.addInts(node.outputs[0] + "/axes", {1, 2});
    return defineTensor(t, node, t.emit(OpType::mean, {in.value(), axes}, o, node.outputs[0]), Layout::channelsLast);
  }
  Result<OpOptions> o = windowOptions(node, intsAttribute(node, "kernel_shape", {}));
  if (!o.ok()) return o.error();
  if (intAttribute(node, "ceil_mode", 0) != 0 || o.value().dilationH != 1 || o.value().dilationW != 1) {
    return unsupported("pooling with ceil_mode or dilation");
  }
  bool padded = o.value().padTop + o.value().padLeft + o.value().padBottom + o.value().padRight > 0;
  if (node.opType == "AveragePool" && padded && intAttribute(node, "count_include_pad", 0) != 0) {
    return unsupported("average pooling that counts the padding");
  }
  OpType type = node.opType == "MaxPool" ? OpType::maxPool2d : OpType::averagePool2d;
  return defineTensor(t, node, t.emit(type, {in.value()}, o.value(), node.outputs[0]), Layout::channelsLast);
}

// The constant as a tensor that broadcasts against a value in `layout` of rank `rank`.
Result<int> broadcastConstant(Translator& t, const Value& c, Layout layout, size_t rank, const std::string& name) {
  if (c.constant->elementCount() == 1) return t.addFloats(name, {1}, c.constant->floats);
  if (layout == Layout::plain) return t.plainTensor(c, name);
  if (c.dims.size() > rank) return unsupported("a constant of higher rank than its operand");
  Value padded = c;
  padded.dims.insert(padded.dims.begin(), rank - c.dims.size(), 1);
  return t.channelsLastTensor(padded, name);
}

std::vector<int64_t> broadcastDims(const std::vector<int64_t>& a, const std::vector<int64_t>& b) {
  size_t rank = std::max(a.size(), b.size());
  std::vector<int64_t> out(rank);
  for (size_t d = 0; d < rank; ++d) {
    int64_t x = d < rank - a.size() ? 1 : a[d - (rank - a.size())];
    int64_t y = d < rank - b.size() ? 1 : b[d - (rank - b.size())];
    out[d] = x == 1 ? y : x;
  }
  return out;
}

Result<void> arithmetic(Translator& t, size_t index) {
  const OnnxNode& node = t.node(index);
  if (node.opType == "Add") {
    Result<bool> fused = fuseHardSwish(t, index);
    if (!fused.ok()) return fused.error();
    if (fused.value()) return {};
  }
  Result<const Value*> first = required(t, node, 0);
  Result<const Value*> second = required(t, node, 1);
  if (!first.ok()) return first.error();
  if (!second.ok()) return second.error();
  const Value* a = first.value();
  const Value* b = second.value();
  std::string aName = node.inputs[0];
  bool commutes = node.opType == "Add" || node.opType == "Mul";
  if (a->constant && commutes) {
    std::swap(a, b);
    aName = node.inputs[1];
  }
  OpType type = node.opType == "Add"   ? OpType::add
                : node.opType == "Mul" ? OpType::mul
                : node.opType == "Sub" ? OpType::sub
                                       : OpType::div;
  Value constant;
  if (!a->constant && b->constant && b->constant->isFloat) {
    // x - c is x + (-c) and x / c is x * (1 / c): then both fold like additions and products.
    constant = *b;
    if (type == OpType::sub || type == OpType::div) {
      for (float& v : constant.constant->floats) v = type == OpType::sub ? -v : 1.0f / v;
      type = type == OpType::sub ? OpType::add : OpType::mul;
    }
    b = &constant;
    if (std::optional<std::vector<float>> perChannel = channelValues(*b, a->dims, a->layout)) {
      bool folded = type == OpType::mul ? foldAffineIntoProducer(t, index, aName, *perChannel, {})
                                        : foldAffineIntoProducer(t, index, aName, {}, *perChannel);
      if (folded) return {};
    }
  }
  // Both operands in one layout: channels-last when the tensors are, else ONNX's own.
  bool channelsLast = (a->constant || a->layout == Layout::channelsLast) &&
                      (b->constant || b->layout == Layout::channelsLast) && !(a->constant && b->constant);
  Layout layout = channelsLast ? Layout::channelsLast : Layout::plain;
  std::vector<int64_t> dims = broadcastDims(a->dims, b->dims);
  if (channelsLast && dims.size() != 4) return unsupported("broadcasting a 4-D value to another rank");
  const std::string& name = node.outputs[0];
  auto operand = [&](const Value& v, const std::string& suffix) -> Result<int> {
    if (v.constant) return broadcastConstant(t, v, layout, dims.size(), name + suffix);
    return channelsLast ? t.channelsLastTensor(v, name + suffix) : t.plainTensor(v, name + suffix);
  };
  Result<int> x = operand(*a, "/a");
  Result<int> y = operand(*b, "/b");
  if (!x.ok()) return x.error();
  if (!y.ok()) return y.error();
  return defineTensor(t, node, t.emit(type, {x.value(), y.value()}, {}, name), layout);
}

// Clip and Relu become a fused activation of what computes their input, or an operation.
Result<void> clip(Translator& t, size_t index) {
  const OnnxNode& node = t.node(index);
  Result<const Value*> x = required(t, node, 0);
  if (!x.ok()) return x.error();
  float low = 0, high = std::numeric_limits<float>::infinity();
  if (node.opType == "Clip") {
    low = floatAttribute(node, "min", -std::numeric_limits<float>::infinity());
    high = floatAttribute(node, "max", std::numeric_limits<float>::infinity());
    for (size_t i = 1; i <= 2; ++i) {
      Result<const Value*> bound = t.input(node, i);
      if (!bound.ok()) return bound.error();
      if (bound.value() == nullptr) continue;
      if (!bound.value()->constant || bound.value()->constant->elementCount() != 1 ||
          !bound.value()->constant->isFloat) {
        return unsupported("Clip with bounds that are not constants");
      }
      (i == 1 ? low : high) = bound.value()->constant->floats[0];
    }
  }
  Activation activation;
  OpType type;
  if (low == 0 && high == 6) {
    activation = Activation::relu6;
    type = OpType::relu6;
  } else if (low == 0 && std::isinf(high)) {
    activation = Activation::relu;
    type = OpType::relu;
  } else {
    return unsupported("Clip to bounds other than [0, 6] and [0, infinity)");
  }
  if (foldActivationIntoProducer(t, index, node.inputs[0], activation)) return {};
  Layout layout = x.value()->layout;
  Result<int> in = layout == Layout::channelsLast ? t.channelsLastTensor(*x.value(), node.outputs[0] + "/input")
                                                  : t.plainTensor(*x.value(), node.outputs[0] + "/input");
  if (!in.ok()) return in.error();
  return defineTensor(t, node, t.emit(type, {in.value()}, {}, node.outputs[0]), layout);
}

// Operations of one value that keep its layout.
Result<int> sameLayout(Translator& t, const Value& x, const std::string& name) {
  return x.layout == Layout::channelsLast ? t.channelsLastTensor(x, name) : t.plainTensor(x, name);
}

Result<void> sigmoid(Translator& t, size_t index) {
  const OnnxNode& node = t.node(index);
  Result<const Value*> x = required(t, node, 0);
  if (!x.ok()) return x.error();
  Result<int> in = sameLayout(t, *x.value(), node.outputs[0] + "/input");
  if (!in.ok()) return in.error();
  return defineTensor(t, node, t.emit(OpType::logistic, {in.value()}, {}, node.outputs[0]), x.value()->layout);
}

// max(0, min(1, alpha x + beta)) = relu6(6 alpha x + 6 beta) / 6.
Result<void> hardSigmoid(Translator& t, size_t index) {
  const OnnxNode& node = t.node(index);
  Result<const Value*> x = required(t, node, 0);
  if (!x.ok()) return x.error();
  float alpha = floatAttribute(node, "alpha", 0.2f), beta = floatAttribute(node, "beta", 0.5f);
  const std::string& name = node.outputs[0];
  Result<int> in = sameLayout(t, *x.value(), name + "/input");
  if (!in.ok()) return in.error();
  Result<int> scaled =
      t.emit(OpType::mul, {in.value(), t.addFloats(name + "/6alpha", {1}, {6 * alpha})}, {}, name + "/scaled");
  if (!scaled.ok()) return scaled.error();
  OpOptions clamp;
  clamp.activation = Activation::relu6;
  Result<int> shifted =
      t.emit(OpType::add, {scaled.value(), t.addFloats(name + "/6beta", {1}, {6 * beta})}, clamp, name + "/shifted");
  if (!shifted.ok()) return shifted.error();
  return defineTensor(
      t, node, t.emit(OpType::mul, {shifted.value(), t.addFloats(name + "/sixth", {1}, {1.0f / 6.0f})}, {}, name),
      x.value()->layout);
}

Result<void> batchNormalization(Translator& t, size_t index) {
  const OnnxNode& node = t.node(index);
  Result<const Value*> x = required(t, node, 0);
  if (!x.ok()) return x.error();
  std::vector<const OnnxTensor*> p;
  for (size_t i = 1; i <= 4; ++i) {
    Result<const OnnxTensor*> c = constantInput(t, node, i, true);
    if (!c.ok()) return c.error();
    p.push_back(c.value());
  }
  size_t channels = p[0]->elementCount();
  for (const OnnxTensor* c : p) {
    if (c->elementCount() != channels) return malformed("parameters of different sizes");
  }
  if (x.value()->dims.size() < 2 || x.value()->dims[1] != int64_t(channels))
    return malformed("parameters do not fit the input");
  float epsilon = floatAttribute(node, "epsilon", 1e-5f);
  std::vector<float> scale(channels), shift(channels);
  for (size_t c = 0; c < channels; ++c) {
    scale[c] = p[0]->floats[c] / std::sqrt(p[3]->floats[c] + epsilon);
    shift[c] = p[1]->floats[c] - p[2]->floats[c] * scale[c];
  }
  if (x.value()->layout == Layout::channelsLast && foldAffineIntoProducer(t, index, node.inputs[0], scale, shift)) {
    return {};
  }
  if (x.value()->layout != Layout::channelsLast) return unsupported("batch normalisation of other than 4-D data");
  const std::string& name = node.outputs[0];
  int c = int(channels);
  Result<int> scaled =
      t.emit(OpType::mul, {x.value()->tensor, t.addFloats(name + "/scale", {c}, scale)}, {}, name + "/scaled");
  if (!scaled.ok()) return scaled.error();
  return defineTensor(t, node,
                      t.emit(OpType::add, {scaled.value(), t.addFloats(name + "/shift", {c}, shift)}, {}, name),
                      Layout::channelsLast);
}

Result<void> resize(Translator& t, const OnnxNode& node, int64_t opset) {
  Result<const Value*> x = required(t, node, 0);
  if (!x.ok()) return x.error();
  const std::vector<int64_t>& dims = x.value()->dims;
  if (dims.size() != 4) return unsupported("Resize of other than 4-D data");
  if (textAttribute(node, "mode", "nearest") != "nearest") return unsupported("Resize other than nearest");
  if (textAttribute(node, "coordinate_transformation_mode", "half_pixel") != "asymmetric" && opset >= 11) {
    return unsupported("nearest Resize other than asymmetric");
  }
  std::vector<double> scales;
  Result<const Value*> scaleInput = t.input(node, opset >= 11 ? 2 : 1);
  Result<const Value*> sizeInput = t.input(node, 3);
  if (!scaleInput.ok()) return scaleInput.error();
  if (scaleInput.value() != nullptr && scaleInput.value()->constant &&
      scaleInput.value()->constant->elementCount() == 4) {
    for (float s : scaleInput.value()->constant->floats) scales.push_back(s);
  } else if (sizeInput.ok() && sizeInput.value() != nullptr && sizeInput.value()->constant &&
             sizeInput.value()->constant->elementCount() == 4 && !sizeInput.value()->constant->isFloat) {
    for (size_t d = 0; d < 4; ++d) scales.push_back(double(sizeInput.value()->constant->ints[d]) / double(dims[d]));
  } else {
    return unsupported("Resize without constant scales or sizes");
  }
  double factor = scales[2];
  if (scales[0] != 1 || scales[1] != 1 || scales[3] != factor || factor != std::floor(factor) || factor < 1 ||
      factor > 64) {
    return unsupported("Resize by other than one whole factor in height and width");
  }
  OpOptions o;
  o.blockSize = int(factor);
  Result<int> in = t.channelsLastTensor(*x.value(), node.outputs[0] + "/input");
  if (!in.ok()) return in.error();
  return defineTensor(t, node, t.emit(OpType::resizeNearest, {in.value()}, o, node.outputs[0]), Layout::channelsLast);
}

Result<void> concat(Translator& t, size_t index) {
  const OnnxNode& node = t.node(index);
  std::vector<const Value*> parts;
  bool channelsLast = true;
  for (size_t i = 0; i < node.inputs.size(); ++i) {
    Result<const Value*> in = required(t, node, i);
    if (!in.ok()) return in.error();
    parts.push_back(in.value());
    channelsLast = channelsLast && in.value()->dims.size() == 4 &&
                   (in.value()->constant || in.value()->layout == Layout::channelsLast);
  }
  size_t rank = parts[0]->dims.size();
  Result<int64_t> axis =
      intAttribute(node, "axis", 0) < -int64_t(rank) || intAttribute(node, "axis", 0) >= int64_t(rank)
          ? Result<int64_t>(malformed("axis out of range"))
          : Result<int64_t>((intAttribute(node, "axis", 0) + int64_t(rank)) % int64_t(rank));
  if (!axis.ok()) return axis.error();
  std::vector<int> tensors;
  for (size_t i = 0; i < parts.size(); ++i) {
    std::string name = node.outputs[0] + "/part" + std::to_string(i);
    Result<int> tensor = channelsLast ? t.channelsLastTensor(*parts[i], name) : t.plainTensor(*parts[i], name);
    if (!tensor.ok()) return tensor.error();
    tensors.push_back(tensor.value());
  }
  OpOptions o;
  const int kChannelsLastAxis[] = {0, 3, 1, 2};
  o.axis = channelsLast ? kChannelsLastAxis[axis.value()] : int(axis.value());
  return defineTensor(t, node, t.emit(OpType::concatenation, tensors, o, node.outputs[0]),
                      channelsLast ? Layout::channelsLast : Layout::plain);
}

Result<void> softmax(Translator& t, size_t index) {
  const OnnxNode& node = t.node(index);
  const int64_t opset = t.model().opset;
  Result<const Value*> x = required(t, node, 0);
  if (!x.ok()) return x.error();
  int64_t rank = int64_t(x.value()->dims.size());
  int64_t axis = intAttribute(node, "axis", opset < 13 ? 1 : -1);
  if (axis < 0) axis += rank;
  if (axis != rank - 1) return unsupported("Softmax over other than the last dimension");
  Result<int> in = t.plainTensor(*x.value(), node.outputs[0] + "/input");
  if (!in.ok()) return in.error();
  return defineTensor(t, node, t.emit(OpType::softmax, {in.value()}, {}, node.outputs[0]), Layout::plain);
}

Result<void> matMul(Translator& t, size_t index) {
  const OnnxNode& node = t.node(index);
  Result<const Value*> a = required(t, node, 0);
  Result<const Value*> b = required(t, node, 1);
  if (!a.ok()) return a.error();
  if (!b.ok()) return b.error();
  const std::string& name = node.outputs[0];
  if (a.value()->dims.size() < 2) return unsupported("MatMul of a vector");
  Result<int> left = t.plainTensor(*a.value(), name + "/a");
  if (!left.ok()) return left.error();
  if (b.value()->constant) {
    const OnnxTensor& w = *b.value()->constant;
    if (w.dims.size() != 2 || !w.isFloat) return unsupported("MatMul by a constant that is not a float matrix");
    int64_t k = w.dims[0], n = w.dims[1];
    std::vector<float> transposed(w.floats.size());
    for (int64_t i = 0; i < k; ++i)
      for (int64_t j = 0; j < n; ++j) transposed[j * k + i] = w.floats[i * n + j];
    OpOptions o;
    o.keepDims = true;
    int weights = t.addFloats(name + "/weights", {int(n), int(k)}, std::move(transposed));
    return defineTensor(t, node, t.emit(OpType::fullyConnected, {left.value(), weights, -1}, o, name), Layout::plain);
  }
  Result<int> right = t.plainTensor(*b.value(), name + "/b");
  if (!right.ok()) return right.error();
  return defineTensor(t, node, t.emit(OpType::batchMatMul, {left.value(), right.value()}, {}, name), Layout::plain);
}

Result<void> reshape(Translator& t, size_t index) {
  const OnnxNode& node = t.node(index);
  Result<const Value*> x = required(t, node, 0);
  if (!x.ok()) return x.error();
  std::vector<const OnnxTensor*> known;
  for (size_t i = 0; i < node.inputs.size(); ++i) {
    Result<const Value*> in = t.input(node, i);
    known.push_back(in.ok() && in.value() != nullptr && in.value()->constant ? &*in.value()->constant : nullptr);
  }
  Result<std::vector<int64_t>> dims = reshapedDims(node, x.value()->dims, known);
  if (!dims.ok()) return dims.error();
  Result<int> in = t.plainTensor(*x.value(), node.outputs[0] + "/input");
  if (!in.ok()) return in.error();
  return defineTensor(t, node, t.emit(OpType::reshape, {in.value()}, {}, node.outputs[0], toInts(dims.value())),
                      Layout::plain);
}

Result<void> transpose(Translator& t, size_t index) {
  const OnnxNode& node = t.node(index);
  Result<const Value*> x = required(t, node, 0);
  if (!x.ok()) return x.error();
  const Value& v = *x.value();
  size_t rank = v.dims.size();
  std::vector<int64_t> perm = intsAttribute(node, "perm", {});
  if (perm.empty()) {
    for (size_t d = rank; d-- > 0;) perm.push_back(int64_t(d));
  }
  std::vector<bool> seen(rank, false);
  if (perm.size() != rank) return malformed("perm does not fit the input");
  for (int64_t p : perm) {
    if (p < 0 || p >= int64_t(rank) || seen[p]) return malformed("perm is not a permutation");
    seen[p] = true;
  }
  const std::string& name = node.outputs[0];
  // [n, h, w, c] to [n, c, h, w] is what channels-last already holds.
  if (v.layout == Layout::plain && !v.constant && perm == std::vector<int64_t>{0, 3, 1, 2}) {
    t.define(name,
             Translator::tensorValue(v.tensor, {v.dims[0], v.dims[3], v.dims[1], v.dims[2]}, Layout::channelsLast));
    return {};
  }
  std::vector<int32_t> physical(perm.begin(), perm.end());
  int tensor = v.tensor;
  if (v.constant) {
    Result<int> c = t.plainTensor(v, name + "/input");
    if (!c.ok()) return c.error();
    tensor = c.value();
  } else if (v.layout == Layout::channelsLast) {
    // ONNX dimension d of the input sits at this position of the channels-last tensor.
    const int32_t kPosition[] = {0, 3, 1, 2};
    for (int32_t& p : physical) p = kPosition[p];
  }
  std::vector<int> in = t.graph().tensors[tensor].shape;
  std::vector<int> out;
  std::vector<int32_t> moved;
  for (int32_t p : physical) {
    out.push_back(in[p]);
    if (in[p] != 1) moved.push_back(p);
  }
  Result<int> result = std::is_sorted(moved.begin(), moved.end())
                           ? t.emit(OpType::reshape, {tensor}, {}, name, out)
                           : t.emit(OpType::transpose, {tensor, t.addInts(name + "/perm", physical)}, {}, name);
  return defineTensor(t, node, result, Layout::plain);
}

Result<void> slice(Translator& t, size_t index) {
  const OnnxNode& node = t.node(index);
  const int64_t opset = t.model().opset;
  Result<const Value*> x = required(t, node, 0);
  if (!x.ok()) return x.error();
  std::vector<int64_t> starts, ends, axes, steps;
  if (opset < 10) {
    starts = intsAttribute(node, "starts", {});
    ends = intsAttribute(node, "ends", {});
    axes = intsAttribute(node, "axes", {});
  } else {
    for (size_t i = 1; i <= 4; ++i) {
      Result<const Value*> in = t.input(node, i);
      if (!in.ok()) return in.error();
      if (in.value() == nullptr) continue;
      if (!in.value()->constant || in.value()->constant->isFloat) return unsupported("Slice with computed bounds");
      (i == 1 ? starts : i == 2 ? ends : i == 3 ? axes : steps) = in.value()->constant->ints;
    }
  }
  const std::vector<int64_t>& dims = x.value()->dims;
  if (axes.empty()) {
    for (size_t d = 0; d < starts.size(); ++d) axes.push_back(int64_t(d));
  }
  if (starts.size() != ends.size() || starts.size() != axes.size() ||
      (!steps.empty() && steps.size() != starts.size())) {
    return malformed("Slice bounds of different lengths");
  }
  std::vector<int32_t> begins(dims.size(), 0);
  std::vector<int> sizes(dims.begin(), dims.end());
  for (size_t i = 0; i < axes.size(); ++i) {
    int64_t axis = axes[i] < 0 ? axes[i] + int64_t(dims.size()) : axes[i];
    if (axis < 0 || axis >= int64_t(dims.size())) return malformed("Slice axis out of range");
    if (!steps.empty() && steps[i] != 1) return unsupported("Slice with a step other than 1");
    int64_t n = dims[axis];
    auto clamped = [n](int64_t v) { return std::clamp(v < 0 ? v + n : v, int64_t{0}, n); };
    int64_t begin = clamped(starts[i]), end = std::max(clamped(ends[i]), begin);
    begins[axis] = int32_t(begin);
    sizes[axis] = int(end - begin);
  }
  const std::string& name = node.outputs[0];
  Result<int> in = t.plainTensor(*x.value(), name + "/input");
  if (!in.ok()) return in.error();
  return defineTensor(t, node,
                      t.emit(OpType::slice, {in.value(), t.addInts(name + "/begins", begins)}, {}, name, sizes),
                      Layout::plain);
}

Result<void> power(Translator& t, size_t index) {
  const OnnxNode& node = t.node(index);
  Result<const Value*> x = required(t, node, 0);
  Result<const OnnxTensor*> exponent = constantInput(t, node, 1, true);
  if (!x.ok()) return x.error();
  if (!exponent.ok()) return exponent.error();
  if (exponent.value()->elementCount() != 1 || exponent.value()->floats[0] != 2.0f) {
    return unsupported("Pow other than squaring");
  }
  Result<int> in = sameLayout(t, *x.value(), node.outputs[0] + "/input");
  if (!in.ok()) return in.error();
  return defineTensor(t, node, t.emit(OpType::mul, {in.value(), in.value()}, {}, node.outputs[0]), x.value()->layout);
}

// Resize reads its scales as input 1 before operator set 11 and as input 2 from it; Upsample,
// the older name, always as input 1.
Result<void> resizeNode(Translator& t, size_t index) { return resize(t, t.node(index), t.model().opset); }
Result<void> upsample(Translator& t, size_t index) { return resize(t, t.node(index), 9); }

// A ReduceMean is run only as the start of a layer normalisation.
Result<void> reduceMean(Translator& t, size_t index) {
  Result<bool> fused = fuseLayerNorm(t, index);
  if (!fused.ok()) return fused.error();
  if (fused.value()) return {};
  return unsupported("ReduceMean outside a layer normalisation");
}

// Identity and Dropout (at inference) pass their input on.
Result<void> passOn(Translator& t, size_t index) {
  const OnnxNode& node = t.node(index);
  Result<const Value*> x = required(t, node, 0);
  if (!x.ok()) return x.error();
  t.define(node.outputs[0], *x.value());
  return {};
}

// How a node of each ONNX op type is translated, sorted by op type for a binary search. The
// operator table (graph/operators.h) names, for each operator, the op types that give it.
struct OnnxOperator {
  std::string_view opType;
  Result<void> (*translate)(Translator& t, size_t index);
};

constexpr OnnxOperator kOnnxOperators[] = {
    {"Add", arithmetic},
    {"AveragePool", pooling},
    {"BatchNormalization", batchNormalization},
    {"Clip", clip},
    {"Concat", concat},
    {"Conv", convolution},
    {"ConvTranspose", convolution},
    {"Div", arithmetic},
    {"Dropout", passOn},
    {"Flatten", reshape},
    {"GlobalAveragePool", pooling},
    {"HardSigmoid", hardSigmoid},
    {"Identity", passOn},
    {"MatMul", matMul},
    {"MaxPool", pooling},
    {"Mul", arithmetic},
    {"Pow", power},
    {"ReduceMean", reduceMean},
    {"Relu", clip},
    {"Reshape", reshape},
    {"Resize", resizeNode},
    {"Sigmoid", sigmoid},
    {"Slice", slice},
    {"Softmax", softmax},
    {"Squeeze", reshape},
    {"Sub", arithmetic},
    {"Transpose", transpose},
    {"Unsqueeze", reshape},
    {"Upsample", upsample},
};
static_assert(std::ranges::is_sorted(kOnnxOperators, {}, &OnnxOperator::opType));

const OnnxOperator* onnxOperator(std::string_view opType) {
  const OnnxOperator* found = std::ranges::lower_bound(kOnnxOperators, opType, {}, &OnnxOperator::opType);
  return found != std::end(kOnnxOperators) && found->opType == opType ? found : nullptr;
}

}  // namespace

bool translatesOperator(std::string_view opType) { return onnxOperator(opType) != nullptr; }

Result<void> translateOperator(Translator& t, size_t index) {
  const OnnxOperator* op = onnxOperator(t.node(index).opType);
  if (op == nullptr) return unsupported("operator " + t.node(index).opType);
  return op->translate(t, index);
}

}  // namespace platform::nn::onnx
