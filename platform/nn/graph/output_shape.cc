#include "platform/nn/graph/output_shape.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "platform/nn/graph/slice_range.h"
#include "platform/nn/model_errors.h"

namespace platform::nn {
namespace {

// Shapes are computed in 64 bits so that a damaged file cannot overflow them before the size check.
using Shape64 = std::vector<int64_t>;

Shape64 widen(const std::vector<int>& shape) { return Shape64(shape.begin(), shape.end()); }

// The operation's tensors; `in` is its first input, present.
struct Operands {
  const Graph& graph;
  const Operation& op;
  const Tensor& in;

  // Input `i`, or null when it is missing or omitted.
  const Tensor* at(size_t i) const {
    if (i >= op.inputs.size() || op.inputs[i] < 0) return nullptr;
    return &graph.tensors[op.inputs[i]];
  }
};

bool rank4(const Tensor* t) { return t != nullptr && t->shape.size() == 4; }

bool constantFloat(const Tensor* t) {
  return t != nullptr && t->constant && !t->sparsity && t->values.size() == t->elementCount();
}

// A constant read as data must hold its float values; integer constants (shapes, paddings, axes)
// hold none, and a kernel would read past them.
bool holdsFloats(const Tensor& t) { return !t.constant || constantFloat(&t); }

Error noFloats(const Operation& op, const Tensor& t) {
  return malformed(op, "reads constant '" + t.name + "', which holds no float values");
}

// Output extent of a window sliding over `size` cells, TensorFlow's SAME or VALID rule.
int64_t windowOutput(Padding padding, int64_t size, int64_t window, int64_t stride, int64_t dilation) {
  int64_t effective = (window - 1) * dilation + 1;
  if (padding == Padding::same) return (size + stride - 1) / stride;
  if (size < effective) return -1;
  return (size - effective) / stride + 1;
}

bool optionsInBounds(const OpOptions& o) {
  auto padOk = [](int p) { return p >= 0 && p <= 1024; };
  if (!padOk(o.padTop) || !padOk(o.padBottom) || !padOk(o.padLeft) || !padOk(o.padRight)) return false;
  if (o.padding == Padding::same && o.padTop + o.padBottom + o.padLeft + o.padRight != 0) return false;
  return o.strideH >= 1 && o.strideW >= 1 && o.dilationH >= 1 && o.dilationW >= 1 && o.filterH >= 1 && o.filterW >= 1 &&
         o.depthMultiplier >= 1 && o.blockSize >= 1 && o.strideH <= 1024 && o.strideW <= 1024 && o.dilationH <= 1024 &&
         o.dilationW <= 1024;
}

// Convolution, depthwise convolution and transposed convolution: weights [out, h, w, in]
// ([1, h, w, channels] for depthwise), an optional bias per output channel.
Result<Shape64> convolutionShape(const Operands& x) {
  const Operation& op = x.op;
  const OpOptions& o = op.options;
  const std::vector<int>& s = x.in.shape;
  const Tensor* filter = x.at(1);
  const Tensor* bias = x.at(2);
  if (!rank4(&x.in) || !rank4(filter) || !constantFloat(filter)) {
    return unsupported(op, "needs a 4-D input and constant 4-D float weights");
  }
  const std::vector<int>& f = filter->shape;
  bool depthwise = op.type == OpType::depthwiseConv2d;
  int outChannels = depthwise ? f[3] : f[0];
  if (depthwise ? (f[0] != 1 || f[3] != s[3] * o.depthMultiplier) : f[3] != s[3]) {
    return malformed(op, "weights " + shapeText(f) + " do not fit input " + shapeText(s));
  }
  if (bias != nullptr && (!constantFloat(bias) || bias->elementCount() != size_t(outChannels))) {
    return malformed(op, "bias does not fit the weights");
  }
  if (f[1] < 1 || f[2] < 1 || f[1] > 64 || f[2] > 64) return malformed(op, "has an invalid kernel size");
  if (op.type == OpType::transposeConvBias) {
    if (o.padTop + o.padBottom + o.padLeft + o.padRight != 0) return unsupported(op, "takes no explicit padding");
    int64_t h = o.padding == Padding::same ? int64_t{s[1]} * o.strideH : int64_t{s[1] - 1} * o.strideH + f[1];
    int64_t w = o.padding == Padding::same ? int64_t{s[2]} * o.strideW : int64_t{s[2] - 1} * o.strideW + f[2];
    return Shape64{s[0], h, w, outChannels};
  }
  int64_t h = windowOutput(o.padding, int64_t{s[1]} + o.padTop + o.padBottom, f[1], o.strideH, o.dilationH);
  int64_t w = windowOutput(o.padding, int64_t{s[2]} + o.padLeft + o.padRight, f[2], o.strideW, o.dilationW);
  if (h < 1 || w < 1) return malformed(op, "kernel is larger than its input");
  return Shape64{s[0], h, w, outChannels};
}

// Average and max pooling over a window of filterH x filterW.
Result<Shape64> poolingShape(const Operands& x) {
  const OpOptions& o = x.op.options;
  const std::vector<int>& s = x.in.shape;
  if (!rank4(&x.in)) return unsupported(x.op, "needs a 4-D input");
  if (o.filterH > 256 || o.filterW > 256) return malformed(x.op, "has an invalid window");
  int64_t h = windowOutput(o.padding, int64_t{s[1]} + o.padTop + o.padBottom, o.filterH, o.strideH, 1);
  int64_t w = windowOutput(o.padding, int64_t{s[2]} + o.padLeft + o.padRight, o.filterW, o.strideW, 1);
  if (h < 1 || w < 1) return malformed(x.op, "window is larger than its input");
  return Shape64{s[0], h, w, s[3]};
}

// Add, subtract, multiply and divide: the two operands broadcast against each other, aligned at the last dimension.
Result<Shape64> broadcastShape(const Operands& x) {
  const Tensor* other = x.at(1);
  if (other == nullptr) return malformed(x.op, "needs two inputs");
  if (other->constant && !constantFloat(other)) return malformed(x.op, "has a broken constant operand");
  const std::vector<int>& a = x.in.shape;
  const std::vector<int>& b = other->shape;
  Shape64 out(std::max(a.size(), b.size()));
  for (size_t i = 0; i < out.size(); ++i) {
    int da = i < out.size() - a.size() ? 1 : a[i - (out.size() - a.size())];
    int db = i < out.size() - b.size() ? 1 : b[i - (out.size() - b.size())];
    if (da != db && da != 1 && db != 1) {
      return malformed(x.op, "cannot broadcast " + shapeText(a) + " with " + shapeText(b));
    }
    out[i] = da == 1 ? db : da;
  }
  return out;
}

Result<Shape64> preluShape(const Operands& x) {
  const std::vector<int>& s = x.in.shape;
  const Tensor* slope = x.at(1);
  if (!rank4(&x.in) || !constantFloat(slope) || slope->elementCount() != size_t(s[3]) || slope->shape.empty() ||
      slope->shape.back() != s[3]) {
    return unsupported(x.op, "needs a 4-D input and one constant slope per channel");
  }
  return widen(s);
}

Result<Shape64> meanShape(const Operands& x) {
  const std::vector<int>& s = x.in.shape;
  const Tensor* axes = x.at(1);
  if (!rank4(&x.in) || axes == nullptr || !axes->constant || axes->ints.size() != 2) {
    return unsupported(x.op, "needs a 4-D input and constant axes");
  }
  std::vector<int> sorted(axes->ints.begin(), axes->ints.end());
  for (int& a : sorted) a = a < 0 ? a + 4 : a;
  std::sort(sorted.begin(), sorted.end());
  if (sorted != std::vector<int>{1, 2}) return unsupported(x.op, "averages only over height and width");
  return x.op.options.keepDims ? Shape64{s[0], 1, 1, s[3]} : Shape64{s[0], s[3]};
}

Result<Shape64> padShape(const Operands& x) {
  const std::vector<int>& s = x.in.shape;
  const Tensor* paddings = x.at(1);
  if (paddings == nullptr || !paddings->constant || paddings->ints.size() != 2 * s.size() || s.empty()) {
    return unsupported(x.op, "needs constant paddings, two per dimension");
  }
  Shape64 out = widen(s);
  for (size_t d = 0; d < s.size(); ++d) {
    int before = paddings->ints[2 * d];
    int after = paddings->ints[2 * d + 1];
    if (before < 0 || after < 0 || before > 4096 || after > 4096) return malformed(x.op, "has invalid paddings");
    out[d] += before + after;
  }
  return out;
}

// A reshape computes the shape it declares, provided it holds as many elements.
Result<Shape64> reshapeShape(const Operands& x) {
  if (x.op.outputs.empty()) return malformed(x.op, "has no output");
  const Tensor& out = x.graph.tensors[x.op.outputs[0]];
  if (out.elementCount() != x.in.elementCount()) {
    return malformed(x.op, "cannot reshape " + shapeText(x.in.shape) + " to " + shapeText(out.shape));
  }
  return widen(out.shape);
}

Result<Shape64> resizeShape(const Operands& x) {
  const std::vector<int>& s = x.in.shape;
  const OpOptions& o = x.op.options;
  const Tensor* size = x.at(1);
  if (!rank4(&x.in) || size == nullptr || !size->constant || size->ints.size() != 2 || size->ints[0] < 1 ||
      size->ints[1] < 1 || size->ints[0] > 16384 || size->ints[1] > 16384) {
    return unsupported(x.op, "needs a 4-D input and a constant output size");
  }
  if (o.alignCorners && o.halfPixelCenters) {
    return malformed(x.op, "cannot both align corners and use half-pixel centres");
  }
  return Shape64{s[0], size->ints[0], size->ints[1], s[3]};
}

Result<Shape64> concatenationShape(const Operands& x) {
  const std::vector<int>& s = x.in.shape;
  int rank = static_cast<int>(s.size());
  int axis = x.op.options.axis < 0 ? x.op.options.axis + rank : x.op.options.axis;
  if (axis < 0 || axis >= rank) return malformed(x.op, "axis is out of range");
  Shape64 out = widen(s);
  out[axis] = 0;
  for (size_t i = 0; i < x.op.inputs.size(); ++i) {
    const Tensor* t = x.at(i);
    if (t == nullptr || t->shape.size() != s.size()) return malformed(x.op, "inputs differ in rank");
    if (!holdsFloats(*t)) return noFloats(x.op, *t);
    for (int d = 0; d < rank; ++d) {
      if (d != axis && t->shape[d] != s[d]) return malformed(x.op, "inputs differ in shape");
    }
    out[axis] += t->shape[axis];
  }
  return out;
}

// Weights [outputs, inputs]. Without keepDims the input is flattened to rows of `inputs` values.
Result<Shape64> fullyConnectedShape(const Operands& x) {
  const std::vector<int>& s = x.in.shape;
  const Tensor* filter = x.at(1);
  const Tensor* bias = x.at(2);
  if (filter == nullptr || filter->shape.size() != 2 || !constantFloat(filter) || s.empty()) {
    return unsupported(x.op, "needs constant 2-D float weights");
  }
  int outputs = filter->shape[0];
  int inputs = filter->shape[1];
  if (inputs < 1 || x.in.elementCount() % size_t(inputs) != 0) {
    return malformed(x.op, "input " + shapeText(s) + " does not fit weights " + shapeText(filter->shape));
  }
  if (bias != nullptr && (!constantFloat(bias) || bias->elementCount() != size_t(outputs))) {
    return malformed(x.op, "bias does not fit the weights");
  }
  if (x.op.options.keepDims) {
    if (s.back() != inputs) return malformed(x.op, "last input dimension does not fit the weights");
    Shape64 out = widen(s);
    out.back() = outputs;
    return out;
  }
  return Shape64{static_cast<int64_t>(x.in.elementCount() / size_t(inputs)), outputs};
}

Result<Shape64> depthToSpaceShape(const Operands& x) {
  const std::vector<int>& s = x.in.shape;
  int b = x.op.options.blockSize;
  if (!rank4(&x.in) || b > 64 || s[3] % (b * b) != 0) {
    return malformed(x.op, "needs a 4-D input whose depth the block size divides");
  }
  return Shape64{s[0], int64_t{s[1]} * b, int64_t{s[2]} * b, s[3] / (b * b)};
}

// Constant begin, end and strides, one of each per input dimension; positive and negative strides
// count as TensorFlow's do, and ends beyond the input are clamped.
Result<Shape64> stridedSliceShape(const Operands& x) {
  const std::vector<int>& s = x.in.shape;
  const Tensor* begin = x.at(1);
  const Tensor* end = x.at(2);
  const Tensor* strides = x.at(3);
  auto fits = [&](const Tensor* t) { return t != nullptr && t->constant && t->ints.size() == s.size(); };
  if (s.empty() || !fits(begin) || !fits(end) || !fits(strides)) {
    return unsupported(x.op, "needs constant begin, end and strides, one per dimension");
  }
  Shape64 out;
  for (size_t d = 0; d < s.size(); ++d) {
    SliceRange range = sliceRange(x.op.options, d, s[d], begin->ints[d], end->ints[d], strides->ints[d]);
    if (range.stride == 0) return malformed(x.op, "has a stride of 0");
    out.push_back(range.count);
  }
  return out;
}

// The landmarks [1, count, values per landmark (at least x and y)], and the crop's options.
Result<Shape64> landmarksToTransformMatrixShape(const Operands& x) {
  const std::vector<int>& s = x.in.shape;
  const LandmarkCrop& crop = x.op.options.crop;
  if (s.size() != 3 || s[0] != 1 || s[2] < 2) return unsupported(x.op, "needs landmarks [1, count, 2 or more]");
  auto known = [&](int i) { return i >= 0 && i < s[1]; };
  if (crop.subset.empty() || !known(crop.leftIndex) || !known(crop.rightIndex) ||
      !std::all_of(crop.subset.begin(), crop.subset.end(), known)) {
    return malformed(x.op, "names a landmark that the input does not have");
  }
  if (crop.outputHeight < 1 || crop.outputWidth < 1 || !(crop.scaleX > 0) || !(crop.scaleY > 0) ||
      !std::isfinite(crop.scaleX) || !std::isfinite(crop.scaleY) || !std::isfinite(crop.targetRotation)) {
    return malformed(x.op, "has an invalid output size, scale or rotation");
  }
  return Shape64{1, 4, 4};
}

bool isTransformMatrix(const Tensor* t) {
  return t != nullptr && t->elementCount() == 16 && t->shape.size() >= 2 && t->shape.back() == 4 &&
         t->shape[t->shape.size() - 2] == 4 && holdsFloats(*t);
}

// A map [1, height, width, channels] sampled on an outputHeight x outputWidth grid.
Result<Shape64> transformTensorBilinearShape(const Operands& x) {
  const std::vector<int>& s = x.in.shape;
  const LandmarkCrop& crop = x.op.options.crop;
  if (!rank4(&x.in) || s[0] != 1 || !isTransformMatrix(x.at(1))) {
    return unsupported(x.op, "needs a map [1, height, width, channels] and a 4x4 matrix");
  }
  if (crop.outputHeight < 1 || crop.outputWidth < 1) return malformed(x.op, "has an invalid output size");
  return Shape64{1, crop.outputHeight, crop.outputWidth, s[3]};
}

// Landmarks [1, count, 2 or 3] carried through a 4x4 matrix.
Result<Shape64> transformLandmarksShape(const Operands& x) {
  const std::vector<int>& s = x.in.shape;
  if (s.size() != 3 || s[0] != 1 || (s[2] != 2 && s[2] != 3) || !isTransformMatrix(x.at(1))) {
    return unsupported(x.op, "needs landmarks [1, count, 2 or 3] and a 4x4 matrix");
  }
  return widen(s);
}

Result<Shape64> resizeNearestShape(const Operands& x) {
  const std::vector<int>& s = x.in.shape;
  int64_t b = x.op.options.blockSize;
  if (!rank4(&x.in) || b > 64) return malformed(x.op, "needs a 4-D input and a factor of at most 64");
  return Shape64{s[0], s[1] * b, s[2] * b, s[3]};
}

// A constant integer operand of exactly `count` values, or null.
const Tensor* intsOperand(const Operands& x, size_t i, size_t count) {
  const Tensor* t = x.at(i);
  if (t == nullptr || !t->constant || t->type != DataType::int32 || t->ints.size() != count) return nullptr;
  return t;
}

Result<Shape64> transposeShape(const Operands& x) {
  const std::vector<int>& s = x.in.shape;
  const Tensor* perm = intsOperand(x, 1, s.size());
  if (perm == nullptr || s.empty() || s.size() > 6) {
    return malformed(x.op, "needs a constant permutation of the input's 1 to 6 dimensions");
  }
  Shape64 out;
  std::vector<bool> seen(s.size(), false);
  for (int32_t p : perm->ints) {
    if (p < 0 || size_t(p) >= s.size() || seen[p]) return malformed(x.op, "permutation is not one");
    seen[p] = true;
    out.push_back(s[p]);
  }
  return out;
}

// The declared output gives the sizes; each must fit from its begin.
Result<Shape64> sliceShape(const Operands& x) {
  const std::vector<int>& s = x.in.shape;
  const Tensor* begins = intsOperand(x, 1, s.size());
  if (x.op.outputs.empty() || begins == nullptr || s.empty() || s.size() > 6) {
    return malformed(x.op, "needs constant begins, one per dimension, of 1 to 6 dimensions");
  }
  const std::vector<int>& out = x.graph.tensors[x.op.outputs[0]].shape;
  if (out.size() != s.size()) return malformed(x.op, "output differs in rank from input");
  for (size_t d = 0; d < s.size(); ++d) {
    int64_t begin = begins->ints[d];
    if (begin < 0 || out[d] < 0 || begin + out[d] > s[d]) {
      return malformed(x.op, "cannot take " + shapeText(out) + " from " + shapeText(s));
    }
  }
  return widen(out);
}

Result<Shape64> batchMatMulShape(const Operands& x) {
  const std::vector<int>& a = x.in.shape;
  const Tensor* other = x.at(1);
  if (other == nullptr || other->constant || a.size() < 2 || other->shape.size() != a.size()) {
    return unsupported(x.op, "multiplies two computed tensors of the same rank, at least 2");
  }
  const std::vector<int>& b = other->shape;
  size_t r = a.size();
  for (size_t d = 0; d + 2 < r; ++d) {
    if (a[d] != b[d]) return malformed(x.op, "batch dimensions differ");
  }
  if (a[r - 1] != b[r - 2]) return malformed(x.op, "cannot multiply " + shapeText(a) + " by " + shapeText(b));
  Shape64 out = widen(a);
  out[r - 1] = b[r - 1];
  return out;
}

Result<Shape64> layerNormShape(const Operands& x) {
  const std::vector<int>& s = x.in.shape;
  const Tensor* scale = x.at(1);
  const Tensor* shift = x.at(2);
  if (s.empty() || !constantFloat(scale) || !constantFloat(shift) || scale->elementCount() != size_t(s.back()) ||
      shift->elementCount() != size_t(s.back())) {
    return malformed(x.op, "needs a constant scale and shift per element of the last dimension");
  }
  if (!(x.op.options.epsilon > 0)) return malformed(x.op, "needs a positive epsilon");
  return widen(s);
}

Result<Shape64> computeOutputShape(const Graph& graph, const Operation& op) {
  if (op.inputs.empty() || op.inputs[0] < 0) return malformed(op, "has no input");
  if (!optionsInBounds(op.options)) {
    return malformed(op, "has an invalid stride, dilation, window or block size");
  }
  Operands operands{graph, op, graph.tensors[op.inputs[0]]};
  if (!holdsFloats(operands.in)) return noFloats(op, operands.in);
  switch (op.type) {
    case OpType::conv2d:
    case OpType::depthwiseConv2d:
    case OpType::transposeConvBias:
      return convolutionShape(operands);
    case OpType::averagePool2d:
    case OpType::maxPool2d:
      return poolingShape(operands);
    case OpType::add:
    case OpType::mul:
    case OpType::sub:
    case OpType::div:
      return broadcastShape(operands);
    case OpType::softmax:
      if (operands.in.shape.empty()) return malformed(op, "needs at least one dimension");
      return widen(operands.in.shape);
    case OpType::resizeNearest:
      return resizeNearestShape(operands);
    case OpType::transpose:
      return transposeShape(operands);
    case OpType::slice:
      return sliceShape(operands);
    case OpType::batchMatMul:
      return batchMatMulShape(operands);
    case OpType::layerNorm:
      return layerNormShape(operands);
    case OpType::relu:
    case OpType::relu6:
    case OpType::logistic:
    case OpType::hardSwish:
      return widen(operands.in.shape);
    case OpType::prelu:
      return preluShape(operands);
    case OpType::mean:
      return meanShape(operands);
    case OpType::pad:
      return padShape(operands);
    case OpType::reshape:
      return reshapeShape(operands);
    case OpType::resizeBilinear:
      return resizeShape(operands);
    case OpType::concatenation:
      return concatenationShape(operands);
    case OpType::fullyConnected:
      return fullyConnectedShape(operands);
    case OpType::depthToSpace:
      return depthToSpaceShape(operands);
    case OpType::stridedSlice:
      return stridedSliceShape(operands);
    case OpType::landmarksToTransformMatrix:
      return landmarksToTransformMatrixShape(operands);
    case OpType::transformTensorBilinear:
      return transformTensorBilinearShape(operands);
    case OpType::transformLandmarks:
      return transformLandmarksShape(operands);
    case OpType::dequantize:
    case OpType::densify:
      break;  // folded into constants before any shape is asked for
  }
  return unsupported(op, "is not run by this runtime");
}

}  // namespace

Result<std::vector<int>> inferOutputShape(const Graph& graph, const Operation& op) {
  Result<Shape64> shape = computeOutputShape(graph, op);
  if (!shape.ok()) return shape.error();
  // Outputs obey the same bound as the tensors read from a file.
  constexpr int64_t kLimit = int64_t{1} << 28;
  int64_t elements = 1;
  std::vector<int> out;
  for (int64_t d : shape.value()) {
    if (d < 0 || d > kLimit) return malformed(op, "computes an output of impossible size");
    elements *= d;
    if (elements > kLimit) return malformed(op, "computes an output of impossible size");
    out.push_back(static_cast<int>(d));
  }
  return out;
}

}  // namespace platform::nn
