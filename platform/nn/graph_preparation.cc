#include "platform/nn/graph_preparation.h"

#include <algorithm>
#include <cstdint>

#include "platform/nn/densify.h"
#include "platform/nn/model_errors.h"

namespace platform::nn {
namespace {

Error malformed(const Operation& op, const std::string& what) {
  return modelError(ModelError::malformed, std::string(opName(op.type)) + ": " + what);
}

Error unsupported(const Operation& op, const std::string& what) {
  return modelError(ModelError::unsupported, std::string(opName(op.type)) + ": " + what);
}

// Output extent of a window sliding over `size` cells, TensorFlow's SAME or VALID rule.
int64_t windowOutput(Padding padding, int64_t size, int64_t window, int64_t stride, int64_t dilation) {
  int64_t effective = (window - 1) * dilation + 1;
  if (padding == Padding::same) return (size + stride - 1) / stride;
  if (size < effective) return -1;
  return (size - effective) / stride + 1;
}

Result<void> foldConstants(Graph* graph) {
  std::vector<Operation> kept;
  for (Operation& op : graph->operations) {
    if (op.type != OpType::dequantize && op.type != OpType::densify) {
      kept.push_back(std::move(op));
      continue;
    }
    if (op.inputs.size() != 1 || op.outputs.size() != 1 || op.inputs[0] < 0) {
      return malformed(op, "needs one input and one output");
    }
    const Tensor& in = graph->tensors[op.inputs[0]];
    Tensor& out = graph->tensors[op.outputs[0]];
    if (!in.constant || in.values.empty()) {
      return unsupported(op, "runs only on constant float weights, not on '" + in.name + "'");
    }
    if (op.type == OpType::dequantize) {
      if (in.type != DataType::float16 && in.type != DataType::float32) {
        return unsupported(op, "dequantizes only float16 weights");
      }
      if (!in.sparsity && in.elementCount() != out.elementCount()) {
        return malformed(op, "output size differs from input size");
      }
      out.values = in.values;
      out.sparsity = in.sparsity;
    } else {
      if (!in.sparsity) return malformed(op, "input '" + in.name + "' is not sparse");
      Result<std::vector<float>> dense = densify(in.values, *in.sparsity, out.shape);
      if (!dense.ok()) return dense.error();
      out.values = std::move(dense.value());
      out.sparsity.reset();
    }
    out.constant = true;
    out.type = DataType::float32;
  }
  graph->operations = std::move(kept);
  return {};
}

}  // namespace

namespace {

using Shape64 = std::vector<int64_t>;

Shape64 widen(const std::vector<int>& shape) { return Shape64(shape.begin(), shape.end()); }

Result<Shape64> computeOutputShape(const Graph& graph, const Operation& op) {
  auto tensor = [&](size_t i) -> const Tensor* {
    if (i >= op.inputs.size() || op.inputs[i] < 0) return nullptr;
    return &graph.tensors[op.inputs[i]];
  };
  const Tensor* in = tensor(0);
  if (in == nullptr) return malformed(op, "has no input");
  const std::vector<int>& s = in->shape;
  const OpOptions& o = op.options;
  auto rank4 = [](const Tensor* t) { return t != nullptr && t->shape.size() == 4; };
  auto constantFloat = [](const Tensor* t) {
    return t != nullptr && t->constant && !t->sparsity && t->values.size() == t->elementCount();
  };
  if (o.strideH < 1 || o.strideW < 1 || o.dilationH < 1 || o.dilationW < 1 || o.filterH < 1 ||
      o.filterW < 1 || o.depthMultiplier < 1 || o.blockSize < 1 || o.strideH > 1024 ||
      o.strideW > 1024 || o.dilationH > 1024 || o.dilationW > 1024) {
    return malformed(op, "has an invalid stride, dilation, window or block size");
  }

  switch (op.type) {
    case OpType::conv2d:
    case OpType::depthwiseConv2d:
    case OpType::transposeConvBias: {
      const Tensor* filter = tensor(1);
      const Tensor* bias = tensor(2);
      if (!rank4(in) || !rank4(filter) || !constantFloat(filter)) {
        return unsupported(op, "needs a 4-D input and constant 4-D float weights");
      }
      const std::vector<int>& f = filter->shape;
      int outChannels = op.type == OpType::depthwiseConv2d ? f[3] : f[0];
      if (op.type == OpType::depthwiseConv2d ? (f[0] != 1 || f[3] != s[3] * o.depthMultiplier)
                                             : f[3] != s[3]) {
        return malformed(op, "weights " + shapeText(f) + " do not fit input " + shapeText(s));
      }
      if (bias != nullptr && (!constantFloat(bias) || bias->elementCount() != size_t(outChannels))) {
        return malformed(op, "bias does not fit the weights");
      }
      if (f[1] < 1 || f[2] < 1 || f[1] > 64 || f[2] > 64) return malformed(op, "has an invalid kernel size");
      if (op.type == OpType::transposeConvBias) {
        int64_t h = o.padding == Padding::same ? int64_t{s[1]} * o.strideH
                                               : int64_t{s[1] - 1} * o.strideH + f[1];
        int64_t w = o.padding == Padding::same ? int64_t{s[2]} * o.strideW
                                               : int64_t{s[2] - 1} * o.strideW + f[2];
        return Shape64{s[0], h, w, outChannels};
      }
      int64_t h = windowOutput(o.padding, s[1], f[1], o.strideH, o.dilationH);
      int64_t w = windowOutput(o.padding, s[2], f[2], o.strideW, o.dilationW);
      if (h < 1 || w < 1) return malformed(op, "kernel is larger than its input");
      return Shape64{s[0], h, w, outChannels};
    }
    case OpType::averagePool2d:
    case OpType::maxPool2d: {
      if (!rank4(in)) return unsupported(op, "needs a 4-D input");
      if (o.filterH > 256 || o.filterW > 256) return malformed(op, "has an invalid window");
      int64_t h = windowOutput(o.padding, s[1], o.filterH, o.strideH, 1);
      int64_t w = windowOutput(o.padding, s[2], o.filterW, o.strideW, 1);
      if (h < 1 || w < 1) return malformed(op, "window is larger than its input");
      return Shape64{s[0], h, w, s[3]};
    }
    case OpType::add:
    case OpType::mul: {
      const Tensor* other = tensor(1);
      if (other == nullptr) return malformed(op, "needs two inputs");
      if (other->constant && !constantFloat(other)) return malformed(op, "has a broken constant operand");
      const std::vector<int>& a = s;
      const std::vector<int>& b = other->shape;
      Shape64 out(std::max(a.size(), b.size()));
      for (size_t i = 0; i < out.size(); ++i) {
        int da = i < out.size() - a.size() ? 1 : a[i - (out.size() - a.size())];
        int db = i < out.size() - b.size() ? 1 : b[i - (out.size() - b.size())];
        if (da != db && da != 1 && db != 1) {
          return malformed(op, "cannot broadcast " + shapeText(a) + " with " + shapeText(b));
        }
        out[i] = da == 1 ? db : da;
      }
      return out;
    }
    case OpType::relu:
    case OpType::relu6:
    case OpType::logistic:
    case OpType::hardSwish:
      return widen(s);
    case OpType::prelu: {
      const Tensor* slope = tensor(1);
      if (!rank4(in) || !constantFloat(slope) || slope->elementCount() != size_t(s[3]) ||
          slope->shape.empty() || slope->shape.back() != s[3]) {
        return unsupported(op, "needs a 4-D input and one constant slope per channel");
      }
      return widen(s);
    }
    case OpType::mean: {
      const Tensor* axes = tensor(1);
      if (!rank4(in) || axes == nullptr || !axes->constant || axes->ints.size() != 2) {
        return unsupported(op, "needs a 4-D input and constant axes");
      }
      std::vector<int> sorted(axes->ints.begin(), axes->ints.end());
      for (int& a : sorted) a = a < 0 ? a + 4 : a;
      std::sort(sorted.begin(), sorted.end());
      if (sorted != std::vector<int>{1, 2}) return unsupported(op, "averages only over height and width");
      return o.keepDims ? Shape64{s[0], 1, 1, s[3]} : Shape64{s[0], s[3]};
    }
    case OpType::pad: {
      const Tensor* paddings = tensor(1);
      if (paddings == nullptr || !paddings->constant || paddings->ints.size() != 2 * s.size() ||
          s.empty()) {
        return unsupported(op, "needs constant paddings, two per dimension");
      }
      Shape64 out = widen(s);
      for (size_t d = 0; d < s.size(); ++d) {
        int before = paddings->ints[2 * d];
        int after = paddings->ints[2 * d + 1];
        if (before < 0 || after < 0 || before > 4096 || after > 4096) {
          return malformed(op, "has invalid paddings");
        }
        out[d] += before + after;
      }
      return out;
    }
    case OpType::reshape: {
      const Tensor& out = graph.tensors[op.outputs[0]];
      if (out.elementCount() != in->elementCount()) {
        return malformed(op, "cannot reshape " + shapeText(s) + " to " + shapeText(out.shape));
      }
      return widen(out.shape);
    }
    case OpType::resizeBilinear: {
      const Tensor* size = tensor(1);
      if (!rank4(in) || size == nullptr || !size->constant || size->ints.size() != 2 ||
          size->ints[0] < 1 || size->ints[1] < 1 || size->ints[0] > 16384 || size->ints[1] > 16384) {
        return unsupported(op, "needs a 4-D input and a constant output size");
      }
      if (o.alignCorners && o.halfPixelCenters) {
        return malformed(op, "cannot both align corners and use half-pixel centres");
      }
      return Shape64{s[0], size->ints[0], size->ints[1], s[3]};
    }
    case OpType::concatenation: {
      int rank = static_cast<int>(s.size());
      int axis = o.axis < 0 ? o.axis + rank : o.axis;
      if (axis < 0 || axis >= rank) return malformed(op, "axis is out of range");
      Shape64 out = widen(s);
      out[axis] = 0;
      for (size_t i = 0; i < op.inputs.size(); ++i) {
        const Tensor* t = tensor(i);
        if (t == nullptr || t->shape.size() != s.size()) return malformed(op, "inputs differ in rank");
        for (int d = 0; d < rank; ++d) {
          if (d != axis && t->shape[d] != s[d]) return malformed(op, "inputs differ in shape");
        }
        out[axis] += t->shape[axis];
      }
      return out;
    }
    case OpType::fullyConnected: {
      const Tensor* filter = tensor(1);
      const Tensor* bias = tensor(2);
      if (filter == nullptr || filter->shape.size() != 2 || !constantFloat(filter) || s.empty()) {
        return unsupported(op, "needs constant 2-D float weights");
      }
      int outputs = filter->shape[0];
      int inputs = filter->shape[1];
      if (inputs < 1 || in->elementCount() % size_t(inputs) != 0) {
        return malformed(op, "input " + shapeText(s) + " does not fit weights " + shapeText(filter->shape));
      }
      if (bias != nullptr && (!constantFloat(bias) || bias->elementCount() != size_t(outputs))) {
        return malformed(op, "bias does not fit the weights");
      }
      if (o.keepDims) {
        if (s.back() != inputs) return malformed(op, "last input dimension does not fit the weights");
        Shape64 out = widen(s);
        out.back() = outputs;
        return out;
      }
      return Shape64{static_cast<int64_t>(in->elementCount() / size_t(inputs)), outputs};
    }
    case OpType::depthToSpace: {
      int b = o.blockSize;
      if (!rank4(in) || b > 64 || s[3] % (b * b) != 0) {
        return malformed(op, "needs a 4-D input whose depth the block size divides");
      }
      return Shape64{s[0], int64_t{s[1]} * b, int64_t{s[2]} * b, s[3] / (b * b)};
    }
    case OpType::dequantize:
    case OpType::densify:
      break;
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

Result<void> prepareGraph(Graph* graph) {
  if (Result<void> folded = foldConstants(graph); !folded.ok()) return folded;
  // Every tensor that an operation reads must be a constant, a graph input or an earlier output.
  std::vector<bool> ready(graph->tensors.size(), false);
  for (size_t i = 0; i < graph->tensors.size(); ++i) ready[i] = graph->tensors[i].constant;
  for (int i : graph->inputs) {
    if (graph->tensors[i].type != DataType::float32 || graph->tensors[i].constant) {
      return modelError(ModelError::unsupported, "input '" + graph->tensors[i].name + "' is not a float tensor");
    }
    ready[i] = true;
  }
  for (const Operation& op : graph->operations) {
    for (size_t i = 0; i < op.inputs.size(); ++i) {
      int t = op.inputs[i];
      if (t < 0) continue;
      if (!ready[t]) {
        return malformed(op, "reads '" + graph->tensors[t].name + "' before anything computes it");
      }
      if (graph->tensors[t].sparsity) return malformed(op, "reads a sparse constant directly");
    }
    if (op.outputs.size() != 1) return unsupported(op, "must have one output");
    Tensor& out = graph->tensors[op.outputs[0]];
    if (out.constant || ready[op.outputs[0]]) return malformed(op, "writes a tensor that is already set");
    if (out.type != DataType::float32) return unsupported(op, "computes a tensor that is not float");
    Result<std::vector<int>> shape = inferOutputShape(*graph, op);
    if (!shape.ok()) return shape.error();
    if (shape.value() != out.shape) {
      // Reshaping to a different rank is free; any other mismatch means a damaged model.
      size_t expected = 1;
      for (int d : shape.value()) expected *= size_t(d);
      if (expected != out.elementCount() || op.type != OpType::fullyConnected) {
        return malformed(op, "output '" + out.name + "' is declared " + shapeText(out.shape) +
                            " but computes " + shapeText(shape.value()));
      }
    }
    ready[op.outputs[0]] = true;
  }
  for (int i : graph->outputs) {
    if (!ready[i] || graph->tensors[i].constant) {
      return modelError(ModelError::malformed, "output '" + graph->tensors[i].name + "' is never computed");
    }
  }
  return {};
}

}  // namespace platform::nn
