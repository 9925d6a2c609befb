#include "platform/nn/execution/segment_operators.h"

#include <limits>
#include <string>
#include <utility>

#include "platform/nn/execution/xnnpack_library.h"
#include "platform/nn/graph/output_shape.h"
#include "platform/nn/model_errors.h"

namespace platform::nn {
namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

std::pair<float, float> activationRange(Activation activation) {
  switch (activation) {
    case Activation::none:
      return {-kInfinity, kInfinity};
    case Activation::relu:
      return {0.0f, kInfinity};
    case Activation::reluMinus1To1:
      return {-1.0f, 1.0f};
    case Activation::relu6:
      return {0.0f, 6.0f};
  }
  return {-kInfinity, kInfinity};
}

uint32_t paddingFlag(const OpOptions& o) { return o.padding == Padding::same ? XNN_FLAG_TENSORFLOW_SAME_PADDING : 0; }

std::vector<size_t> dimsOf(const std::vector<int>& shape) { return std::vector<size_t>(shape.begin(), shape.end()); }

// The ids of one operation's first input and its output, defined before its nodes.
struct Ends {
  uint32_t input;
  uint32_t output;
};

// Weights [out, h, w, in] and a bias per output channel.
xnn_status defineConvolution(SegmentValues& v, const Operation& op, Ends ends) {
  const OpOptions& o = op.options;
  const Graph& g = v.graph();
  const std::vector<int>& f = g.tensors[op.inputs[1]].shape;
  auto [low, high] = activationRange(o.activation);
  uint32_t weights = v.operand(op.inputs[1]);
  uint32_t bias = v.bias(op, f[0]);
  return xnn_define_convolution_2d(v.subgraph(), o.padTop, o.padRight, o.padBottom, o.padLeft, f[1], f[2], o.strideH,
                                   o.strideW, o.dilationH, o.dilationW, 1, f[3], f[0], low, high, ends.input, weights,
                                   bias, ends.output, paddingFlag(o));
}

// Weights [1, h, w, channels] and a bias per output channel.
xnn_status defineDepthwiseConvolution(SegmentValues& v, const Operation& op, Ends ends) {
  const OpOptions& o = op.options;
  const Graph& g = v.graph();
  const std::vector<int>& f = g.tensors[op.inputs[1]].shape;
  auto [low, high] = activationRange(o.activation);
  uint32_t weights = v.operand(op.inputs[1]);
  int channels = g.tensors[op.inputs[0]].shape[3];
  uint32_t bias = v.bias(op, f[3]);
  return xnn_define_depthwise_convolution_2d(
      v.subgraph(), o.padTop, o.padRight, o.padBottom, o.padLeft, f[1], f[2], o.strideH, o.strideW, o.dilationH,
      o.dilationW, o.depthMultiplier, channels, low, high, ends.input, weights, bias, ends.output, paddingFlag(o));
}

xnn_status defineTransposedConvolution(SegmentValues& v, const Operation& op, Ends ends) {
  const OpOptions& o = op.options;
  const Graph& g = v.graph();
  const std::vector<int>& in = g.tensors[op.inputs[0]].shape;
  const std::vector<int>& out = g.tensors[op.outputs[0]].shape;
  const std::vector<int>& f = g.tensors[op.inputs[1]].shape;
  auto [low, high] = activationRange(o.activation);
  // Padding that makes the declared output size: half before, the rest after; a negative total
  // becomes extra rows and columns at the bottom and right.
  int totalH = (in[1] - 1) * o.strideH + f[1] - out[1];
  int totalW = (in[2] - 1) * o.strideW + f[2] - out[2];
  uint32_t top = totalH > 0 ? totalH / 2 : 0, bottom = totalH > 0 ? totalH - totalH / 2 : 0;
  uint32_t left = totalW > 0 ? totalW / 2 : 0, right = totalW > 0 ? totalW - totalW / 2 : 0;
  uint32_t adjustH = totalH < 0 ? -totalH : 0, adjustW = totalW < 0 ? -totalW : 0;
  uint32_t weights = v.operand(op.inputs[1]);
  uint32_t bias = v.bias(op, f[0]);
  return xnn_define_deconvolution_2d(v.subgraph(), top, right, bottom, left, adjustH, adjustW, f[1], f[2], o.strideH,
                                     o.strideW, 1, 1, 1, f[3], f[0], low, high, ends.input, weights, bias, ends.output,
                                     0);
}

xnn_status defineMaxPooling(SegmentValues& v, const Operation& op, Ends ends) {
  const OpOptions& o = op.options;
  auto [low, high] = activationRange(o.activation);
  return xnn_define_max_pooling_2d(v.subgraph(), o.padTop, o.padRight, o.padBottom, o.padLeft, o.filterH, o.filterW,
                                   o.strideH, o.strideW, 1, 1, low, high, ends.input, ends.output, paddingFlag(o));
}

xnn_status defineAveragePooling(SegmentValues& v, const Operation& op, Ends ends) {
  const OpOptions& o = op.options;
  auto [low, high] = activationRange(o.activation);
  return xnn_define_average_pooling_2d(v.subgraph(), o.padTop, o.padRight, o.padBottom, o.padLeft, o.filterH, o.filterW,
                                       o.strideH, o.strideW, low, high, ends.input, ends.output, paddingFlag(o));
}

// A mean over height and width: a global average pooling to [n, 1, 1, c], reshaped to the
// declared output when it drops those dimensions.
xnn_status defineMean(SegmentValues& v, const Operation& op, Ends ends) {
  xnn_status status =
      xnn_define_global_average_pooling_2d(v.subgraph(), -kInfinity, kInfinity, ends.input, ends.output, 0);
  if (status != xnn_status_success || op.options.keepDims) return status;
  std::vector<size_t> dims = dimsOf(v.graph().tensors[op.outputs[0]].shape);
  return xnn_define_static_reshape(v.subgraph(), dims.size(), dims.data(), ends.output, v.tensor(op.outputs[0]), 0);
}

// Add, subtract, multiply and divide, with broadcasting and a fused activation: `define` is
// XNNPACK's node of the one asked for.
using DefineBinary = xnn_status (*)(xnn_subgraph_t, float, float, uint32_t, uint32_t, uint32_t, uint32_t);

xnn_status defineArithmetic(SegmentValues& v, const Operation& op, Ends ends, DefineBinary define) {
  auto [low, high] = activationRange(op.options.activation);
  uint32_t other = v.operand(op.inputs[1]);
  return define(v.subgraph(), low, high, ends.input, other, ends.output, 0);
}

// Nearest-neighbour upsampling by a whole factor f is a transposed convolution of stride f whose
// f x f kernel is all ones, one group per channel: each output cell receives exactly one input.
xnn_status defineResizeNearest(SegmentValues& v, const Operation& op, Ends ends) {
  size_t channels = static_cast<size_t>(v.graph().tensors[op.inputs[0]].shape[3]);
  uint32_t f = static_cast<uint32_t>(op.options.blockSize);
  int kernelSize = static_cast<int>(f * f);
  uint32_t ones =
      v.constant(v.staticValues(channels * kernelSize, 1.0f), {static_cast<int>(channels), int(f), int(f), 1});
  uint32_t zeros = v.constant(v.staticValues(channels, 0.0f), {static_cast<int>(channels)});
  return xnn_define_deconvolution_2d(v.subgraph(), 0, 0, 0, 0, 0, 0, f, f, f, f, 1, 1, channels, 1, 1, -kInfinity,
                                     kInfinity, ends.input, ones, zeros, ends.output, 0);
}

// Functions of one value: the output has the input's shape.
xnn_status defineClamp(SegmentValues& v, Ends ends, float low, float high) {
  return xnn_define_clamp(v.subgraph(), low, high, ends.input, ends.output, 0);
}

xnn_status definePrelu(SegmentValues& v, const Operation& op, Ends ends) {
  int channels = v.graph().tensors[op.inputs[0]].shape[3];
  uint32_t slope = v.constant(v.graph().tensors[op.inputs[1]].values.data(), {channels});
  return xnn_define_prelu(v.subgraph(), ends.input, slope, ends.output, 0);
}

// Weights [outputs, inputs]; without keepDims the input is flattened to rows of `inputs` values.
xnn_status defineFullyConnected(SegmentValues& v, const Operation& op, Ends ends) {
  const Graph& g = v.graph();
  auto [low, high] = activationRange(op.options.activation);
  int outputs = g.tensors[op.inputs[1]].shape[0];
  uint32_t bias = op.inputs.size() > 2 && op.inputs[2] >= 0
                      ? v.constant(g.tensors[op.inputs[2]].values.data(), {outputs})
                      : XNN_INVALID_VALUE_ID;
  uint32_t weights = v.operand(op.inputs[1]);
  return xnn_define_fully_connected(v.subgraph(), low, high, ends.input, weights, bias, ends.output,
                                    op.options.keepDims ? 0 : XNN_FLAG_TENSORFLOW_RESHAPE_2D);
}

// Operations that move values without arithmetic: the output's shape says where everything goes.
xnn_status defineReshape(SegmentValues& v, const Operation& op, Ends ends) {
  std::vector<size_t> dims = dimsOf(v.graph().tensors[op.outputs[0]].shape);
  return xnn_define_static_reshape(v.subgraph(), dims.size(), dims.data(), ends.input, ends.output, 0);
}

xnn_status definePad(SegmentValues& v, const Operation& op, Ends ends) {
  const Graph& g = v.graph();
  const std::vector<int32_t>& p = g.tensors[op.inputs[1]].ints;
  size_t rank = g.tensors[op.inputs[0]].shape.size();
  size_t before[XNN_MAX_TENSOR_DIMS] = {}, after[XNN_MAX_TENSOR_DIMS] = {};
  for (size_t d = 0; d < rank && d < XNN_MAX_TENSOR_DIMS; ++d) {
    before[d] = static_cast<size_t>(p[2 * d]);
    after[d] = static_cast<size_t>(p[2 * d + 1]);
  }
  return xnn_define_static_constant_pad(v.subgraph(), before, after, 0.0f, ends.input, ends.output, 0);
}

xnn_status defineResizeBilinear(SegmentValues& v, const Operation& op, Ends ends) {
  const std::vector<int>& out = v.graph().tensors[op.outputs[0]].shape;
  const OpOptions& o = op.options;
  uint32_t flags = o.alignCorners ? XNN_FLAG_ALIGN_CORNERS : o.halfPixelCenters ? 0 : XNN_FLAG_TENSORFLOW_LEGACY_MODE;
  return xnn_define_static_resize_bilinear_2d(v.subgraph(), out[1], out[2], ends.input, ends.output, flags);
}

xnn_status defineNodes(SegmentValues& v, const Operation& op, Ends ends) {
  switch (op.type) {
    case OpType::add:
      return defineArithmetic(v, op, ends, xnn_define_add2);
    case OpType::averagePool2d:
      return defineAveragePooling(v, op, ends);
    case OpType::conv2d:
      return defineConvolution(v, op, ends);
    case OpType::depthToSpace:
      return xnn_define_depth_to_space(v.subgraph(), ends.input, ends.output, op.options.blockSize, 0);
    case OpType::depthwiseConv2d:
      return defineDepthwiseConvolution(v, op, ends);
    case OpType::div:
      return defineArithmetic(v, op, ends, xnn_define_divide);
    case OpType::fullyConnected:
      return defineFullyConnected(v, op, ends);
    case OpType::hardSwish:
      return xnn_define_hardswish(v.subgraph(), ends.input, ends.output, 0);
    case OpType::logistic:
      return xnn_define_sigmoid(v.subgraph(), ends.input, ends.output, 0);
    case OpType::maxPool2d:
      return defineMaxPooling(v, op, ends);
    case OpType::mean:
      return defineMean(v, op, ends);
    case OpType::mul:
      return defineArithmetic(v, op, ends, xnn_define_multiply2);
    case OpType::pad:
      return definePad(v, op, ends);
    case OpType::prelu:
      return definePrelu(v, op, ends);
    case OpType::relu:
      return defineClamp(v, ends, 0.0f, kInfinity);
    case OpType::relu6:
      return defineClamp(v, ends, 0.0f, 6.0f);
    case OpType::reshape:
      return defineReshape(v, op, ends);
    case OpType::resizeBilinear:
      return defineResizeBilinear(v, op, ends);
    case OpType::resizeNearest:
      return defineResizeNearest(v, op, ends);
    case OpType::softmax:
      return xnn_define_softmax(v.subgraph(), ends.input, ends.output, 0);
    case OpType::sub:
      return defineArithmetic(v, op, ends, xnn_define_subtract);
    case OpType::transposeConvBias:
      return defineTransposedConvolution(v, op, ends);
    case OpType::batchMatMul:  // own kernels, never in a segment
    case OpType::concatenation:
    case OpType::landmarksToTransformMatrix:
    case OpType::layerNorm:
    case OpType::slice:
    case OpType::stridedSlice:
    case OpType::transformLandmarks:
    case OpType::transformTensorBilinear:
    case OpType::transpose:
    case OpType::densify:  // folded away at load
    case OpType::dequantize:
      return xnn_status_unsupported_parameter;
  }
  return xnn_status_unsupported_parameter;
}

// The value `op` writes. Fully connected layers write the shape they compute, which may differ in
// rank from the declared one; a mean writes [n, 1, 1, c], into an internal value when defineMean
// reshapes it to a declared output without those dimensions.
Result<uint32_t> outputValue(SegmentValues& v, const Operation& op) {
  if (op.type != OpType::fullyConnected && op.type != OpType::mean) return v.tensor(op.outputs[0]);
  Result<std::vector<int>> shape = inferOutputShape(v.graph(), op);
  if (!shape.ok()) return shape.error();
  std::vector<int> dims = shape.value();
  if (op.type == OpType::fullyConnected) return v.tensor(op.outputs[0], dims);
  dims = {dims[0], 1, 1, v.graph().tensors[op.inputs[0]].shape[3]};
  return op.options.keepDims ? v.tensor(op.outputs[0], dims) : v.internal(dims);
}

}  // namespace

Result<void> defineOperation(SegmentValues& values, const Operation& op) {
  const std::string& outName = values.graph().tensors[op.outputs[0]].name;
  uint32_t input = values.operand(op.inputs[0]);
  Result<uint32_t> output = outputValue(values, op);
  if (!output.ok()) return output.error();
  if (input == XNN_INVALID_VALUE_ID || output.value() == XNN_INVALID_VALUE_ID) {
    return modelError(ModelError::engineFailed,
                      std::string(opName(op.type)) + ": XNNPACK rejected a tensor of '" + outName + "'");
  }
  xnn_status status = defineNodes(values, op, Ends{input, output.value()});
  if (status != xnn_status_success) {
    return modelError(ModelError::engineFailed, std::string(opName(op.type)) + " computing '" + outName +
                                                    "': XNNPACK: " + xnnpackStatusText(status));
  }
  return {};
}

}  // namespace platform::nn
