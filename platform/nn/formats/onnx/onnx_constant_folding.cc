// Nodes whose inputs are all constants, computed at translation: in practice the arithmetic on
// shapes that exporters write (Shape, Cast, Slice, Concat, Reshape, ...) and weights kept in a
// node of their own.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <string_view>

#include "platform/nn/formats/onnx/onnx_translator.h"

namespace platform::nn::onnx {
namespace {

double at(const OnnxTensor& t, size_t i) { return t.isFloat ? t.floats[i] : double(t.ints[i]); }

OnnxTensor like(const OnnxTensor& t, std::vector<int64_t> dims) {
  OnnxTensor out;
  out.isFloat = t.isFloat;
  out.dims = std::move(dims);
  return out;
}

void push(OnnxTensor& out, double value) {
  if (out.isFloat)
    out.floats.push_back(static_cast<float>(value));
  else
    out.ints.push_back(static_cast<int64_t>(value));
}

Result<std::vector<int64_t>> intsOf(const OnnxTensor* t, const char* what) {
  if (t == nullptr || t->isFloat) return malformed(std::string(what) + " is not a list of integers");
  return t->ints;
}

// Axes from the attribute (older operator sets) or the input `i` (newer ones).
std::vector<int64_t> axesOf(const OnnxNode& node, const std::vector<const OnnxTensor*>& in, size_t i) {
  if (const OnnxAttribute* a = node.attribute("axes")) return a->ints;
  if (i < in.size() && in[i] != nullptr && !in[i]->isFloat) return in[i]->ints;
  return {};
}

Result<int64_t> normalisedAxis(int64_t axis, size_t rank) {
  int64_t r = static_cast<int64_t>(rank);
  if (axis < -r || axis >= r) return malformed("axis " + std::to_string(axis) + " is out of range");
  return axis < 0 ? axis + r : axis;
}

// The arithmetic of Add, Sub, Mul and Div, in double precision; integer division truncates, and
// gives 0 for a divisor of 0.
enum class Arithmetic { add, sub, mul, div };

template <Arithmetic kArithmetic>
double compute(double x, double y, bool isFloat) {
  if constexpr (kArithmetic == Arithmetic::add) return x + y;
  if constexpr (kArithmetic == Arithmetic::sub) return x - y;
  if constexpr (kArithmetic == Arithmetic::mul) return x * y;
  return isFloat ? x / y : y != 0 ? std::trunc(x / y) : 0;
}

// Elementwise with broadcasting, aligned at the last dimension.
template <Arithmetic kArithmetic>
Result<OnnxTensor> elementwise(const OnnxNode& node, const std::vector<const OnnxTensor*>& in, int64_t) {
  if (in.size() != 2 || in[1] == nullptr) return malformed(node.opType + " needs two inputs");
  const OnnxTensor& a = *in[0];
  const OnnxTensor& b = *in[1];
  size_t rank = std::max(a.dims.size(), b.dims.size());
  std::vector<int64_t> dims(rank);
  auto dim = [rank](const OnnxTensor& t, size_t d) {
    size_t offset = rank - t.dims.size();
    return d < offset ? int64_t{1} : t.dims[d - offset];
  };
  for (size_t d = 0; d < rank; ++d) {
    int64_t x = dim(a, d), y = dim(b, d);
    if (x != y && x != 1 && y != 1) return malformed(node.opType + " of shapes that do not broadcast");
    dims[d] = x == 1 ? y : x;
  }
  OnnxTensor out = like(a, dims);
  out.isFloat = a.isFloat || b.isFloat;
  size_t count = 1;
  for (int64_t d : dims) count *= size_t(d);
  auto index = [&](const OnnxTensor& t, size_t flat) {
    size_t i = 0, stride = 1;
    for (size_t d = rank; d-- > 0;) {
      size_t coordinate = flat % size_t(dims[d]);
      flat /= size_t(dims[d]);
      int64_t size = dim(t, d);
      if (size != 1) i += coordinate * stride;
      stride *= size_t(size);
    }
    return i;
  };
  for (size_t i = 0; i < count; ++i) {
    push(out, compute<kArithmetic>(at(a, index(a, i)), at(b, index(b, i)), out.isFloat));
  }
  return out;
}

// Sqrt, Neg and Reciprocal: float results whatever the input.
template <double (*kFunction)(double)>
Result<OnnxTensor> unary(const OnnxNode&, const std::vector<const OnnxTensor*>& in, int64_t) {
  OnnxTensor out = like(*in[0], in[0]->dims);
  out.isFloat = true;
  for (size_t i = 0; i < in[0]->elementCount(); ++i) push(out, kFunction(at(*in[0], i)));
  return out;
}

double squareRoot(double x) { return std::sqrt(x); }
double negative(double x) { return -x; }
double reciprocal(double x) { return 1.0 / x; }

Result<OnnxTensor> identity(const OnnxNode&, const std::vector<const OnnxTensor*>& in, int64_t) { return *in[0]; }

Result<OnnxTensor> cast(const OnnxNode& node, const std::vector<const OnnxTensor*>& in, int64_t) {
  const OnnxAttribute* to = node.attribute("to");
  if (to == nullptr) return malformed("Cast without a type");
  OnnxTensor out = like(*in[0], in[0]->dims);
  out.isFloat = to->i == 1 || to->i == 10 || to->i == 11;
  for (size_t i = 0; i < in[0]->elementCount(); ++i) {
    push(out, out.isFloat ? at(*in[0], i) : std::trunc(at(*in[0], i)));
  }
  return out;
}

Result<OnnxTensor> slice(const OnnxNode& node, const std::vector<const OnnxTensor*>& in, int64_t opset) {
  const OnnxTensor& data = *in[0];
  std::vector<int64_t> starts, ends, axes, steps;
  if (opset < 10) {
    const OnnxAttribute* s = node.attribute("starts");
    const OnnxAttribute* e = node.attribute("ends");
    if (s == nullptr || e == nullptr) return malformed("Slice without starts or ends");
    starts = s->ints;
    ends = e->ints;
    axes = axesOf(node, in, 99);
  } else {
    Result<std::vector<int64_t>> s = intsOf(in.size() > 1 ? in[1] : nullptr, "starts");
    Result<std::vector<int64_t>> e = intsOf(in.size() > 2 ? in[2] : nullptr, "ends");
    if (!s.ok()) return s.error();
    if (!e.ok()) return e.error();
    starts = s.value();
    ends = e.value();
    if (in.size() > 3 && in[3] != nullptr) axes = in[3]->ints;
    if (in.size() > 4 && in[4] != nullptr) steps = in[4]->ints;
  }
  if (data.dims.size() != 1) return unsupported("Slice of a constant that is not 1-D");
  if (axes.empty()) axes = {0};
  if (starts.size() != 1 || ends.size() != 1 || axes.size() != 1 || (axes[0] != 0 && axes[0] != -1)) {
    return unsupported("Slice of a 1-D constant along more than its one axis");
  }
  if (!steps.empty() && (steps.size() != 1 || steps[0] != 1)) return unsupported("Slice with a step other than 1");
  int64_t n = data.dims[0];
  auto clampIndex = [n](int64_t i) { return std::clamp(i < 0 ? i + n : i, int64_t{0}, n); };
  int64_t begin = clampIndex(starts[0]), end = std::max(clampIndex(ends[0]), begin);
  OnnxTensor out = like(data, {end - begin});
  for (int64_t i = begin; i < end; ++i) push(out, at(data, size_t(i)));
  return out;
}

Result<OnnxTensor> concat(const OnnxNode&, const std::vector<const OnnxTensor*>& in, int64_t) {
  OnnxTensor out;
  out.isFloat = false;
  int64_t length = 0;
  for (const OnnxTensor* t : in) {
    if (t == nullptr || t->dims.size() != 1) return unsupported("Concat of constants that are not 1-D");
    out.isFloat = out.isFloat || t->isFloat;
  }
  for (const OnnxTensor* t : in) {
    for (size_t i = 0; i < t->elementCount(); ++i) push(out, at(*t, i));
    length += t->dims[0];
  }
  out.dims = {length};
  return out;
}

// Reshape, Squeeze, Unsqueeze and Flatten change the shape only.
Result<OnnxTensor> reshaped(const OnnxNode& node, const std::vector<const OnnxTensor*>& in, int64_t) {
  Result<std::vector<int64_t>> dims = reshapedDims(node, in[0]->dims, in);
  if (!dims.ok()) return dims.error();
  OnnxTensor out = *in[0];
  out.dims = dims.value();
  return out;
}

Result<OnnxTensor> gather(const OnnxNode& node, const std::vector<const OnnxTensor*>& in, int64_t) {
  const OnnxAttribute* a = node.attribute("axis");
  if (in.size() < 2 || in[1] == nullptr || in[1]->isFloat || in[0]->dims.size() != 1 || (a && a->i != 0)) {
    return unsupported("Gather other than from a 1-D constant");
  }
  const OnnxTensor& data = *in[0];
  OnnxTensor out = like(data, in[1]->dims);
  for (int64_t i : in[1]->ints) {
    int64_t index = i < 0 ? i + data.dims[0] : i;
    if (index < 0 || index >= data.dims[0]) return malformed("Gather index out of range");
    push(out, at(data, size_t(index)));
  }
  return out;
}

}  // namespace

Result<std::vector<int64_t>> reshapedDims(const OnnxNode& node, const std::vector<int64_t>& data,
                                          const std::vector<const OnnxTensor*>& in) {
  int64_t elements = 1;
  for (int64_t d : data) elements *= d;
  std::vector<int64_t> dims;
  if (node.opType == "Reshape") {
    Result<std::vector<int64_t>> shape = intsOf(in.size() > 1 ? in[1] : nullptr, "shape");
    if (!shape.ok()) return shape.error();
    int64_t known = 1, unknown = -1;
    for (size_t d = 0; d < shape.value().size(); ++d) {
      int64_t s = shape.value()[d];
      if (s == 0 && d < data.size()) s = data[d];
      if (s == -1 && unknown < 0) {
        unknown = static_cast<int64_t>(d);
        s = 1;
      }
      if (s < 0 || s > (int64_t{1} << 30)) return malformed("Reshape to an impossible size");
      dims.push_back(s);
      known *= s;
      if (known > (int64_t{1} << 30)) return malformed("Reshape to an impossible size");
    }
    if (unknown >= 0 && known > 0) dims[unknown] = elements / known;
  } else if (node.opType == "Flatten") {
    const OnnxAttribute* a = node.attribute("axis");
    Result<int64_t> axis = normalisedAxis(a ? a->i : 1, data.size() + 1);
    if (!axis.ok()) return axis.error();
    int64_t outer = 1;
    for (int64_t d = 0; d < axis.value(); ++d) outer *= data[d];
    dims = {outer, outer > 0 ? elements / outer : 0};
  } else if (node.opType == "Squeeze" || node.opType == "Unsqueeze") {
    std::vector<int64_t> axes = axesOf(node, in, 1);
    bool squeeze = node.opType == "Squeeze";
    size_t rank = squeeze ? data.size() : data.size() + axes.size();
    std::vector<bool> marked(rank, false);
    for (int64_t a : axes) {
      Result<int64_t> axis = normalisedAxis(a, rank);
      if (!axis.ok()) return axis.error();
      marked[axis.value()] = true;
    }
    for (size_t d = 0, from = 0; d < rank; ++d) {
      if (squeeze) {
        if (marked[d] && data[d] != 1) return malformed("Squeeze of a dimension larger than 1");
        if (!(marked[d] || (axes.empty() && data[d] == 1))) dims.push_back(data[d]);
      } else {
        if (!marked[d] && from >= data.size()) return malformed("Unsqueeze axes do not fit");
        dims.push_back(marked[d] ? 1 : data[from++]);
      }
    }
  } else {
    return unsupported(node.opType + " as a reshape");
  }
  int64_t count = 1;
  for (int64_t d : dims) {
    if (d < 0 || d > (int64_t{1} << 30)) return malformed(node.opType + " gives an impossible size");
    count *= d;
    if (count > (int64_t{1} << 30)) return malformed(node.opType + " gives an impossible size");
  }
  if (count != elements) return malformed(node.opType + " changes the element count");
  return dims;
}

namespace {

// How a node of each ONNX op type is computed when all its inputs are constants, sorted by op type
// for a binary search.
struct ConstantFolding {
  std::string_view opType;
  Result<OnnxTensor> (*fold)(const OnnxNode& node, const std::vector<const OnnxTensor*>& in, int64_t opset);
};

constexpr ConstantFolding kConstantFoldings[] = {
    {"Add", elementwise<Arithmetic::add>},
    {"Cast", cast},
    {"Concat", concat},
    {"Div", elementwise<Arithmetic::div>},
    {"Flatten", reshaped},
    {"Gather", gather},
    {"Identity", identity},
    {"Mul", elementwise<Arithmetic::mul>},
    {"Neg", unary<negative>},
    {"Reciprocal", unary<reciprocal>},
    {"Reshape", reshaped},
    {"Slice", slice},
    {"Sqrt", unary<squareRoot>},
    {"Squeeze", reshaped},
    {"Sub", elementwise<Arithmetic::sub>},
    {"Unsqueeze", reshaped},
};
static_assert(std::ranges::is_sorted(kConstantFoldings, {}, &ConstantFolding::opType));

const ConstantFolding* constantFolding(std::string_view opType) {
  const ConstantFolding* found = std::ranges::lower_bound(kConstantFoldings, opType, {}, &ConstantFolding::opType);
  return found != std::end(kConstantFoldings) && found->opType == opType ? found : nullptr;
}

}  // namespace

Result<OnnxTensor> foldNode(const OnnxNode& node, const std::vector<const OnnxTensor*>& in, int64_t opset) {
  if (in.empty() || in[0] == nullptr) return malformed(node.opType + " without its first input");
  const ConstantFolding* folding = constantFolding(node.opType);
  if (folding == nullptr) return unsupported(node.opType + " on constants");
  return folding->fold(node, in, opset);
}

}  // namespace platform::nn::onnx
