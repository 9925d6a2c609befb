#include "platform/nn/reference/reference_ops.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "platform/nn/graph/slice_range.h"
#include "platform/nn/model_errors.h"

namespace platform::nn {
namespace {

float activate(float x, Activation activation) {
  switch (activation) {
    case Activation::none:
      return x;
    case Activation::relu:
      return std::max(x, 0.0f);
    case Activation::reluMinus1To1:
      return std::clamp(x, -1.0f, 1.0f);
    case Activation::relu6:
      return std::clamp(x, 0.0f, 6.0f);
  }
  return x;
}

// Padding before the first cell under TensorFlow's SAME rule (VALID pads nothing).
int padBefore(Padding padding, int in, int out, int window, int stride, int dilation) {
  if (padding == Padding::valid) return 0;
  int effective = (window - 1) * dilation + 1;
  return std::max((out - 1) * stride + effective - in, 0) / 2;
}

struct Shape4 {
  int n, h, w, c;
  explicit Shape4(const std::vector<int>& s) : n(s[0]), h(s[1]), w(s[2]), c(s[3]) {}
  size_t at(int b, int y, int x, int ch) const { return ((static_cast<size_t>(b) * h + y) * w + x) * c + ch; }
};

void convolution(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v,
                 std::vector<float>& out) {
  const OpOptions& o = op.options;
  Shape4 is(g.tensors[op.inputs[0]].shape), os(g.tensors[op.outputs[0]].shape), fs(g.tensors[op.inputs[1]].shape);
  const std::vector<float>& in = v[op.inputs[0]];
  const std::vector<float>& w = g.tensors[op.inputs[1]].values;
  const float* bias = op.inputs.size() > 2 && op.inputs[2] >= 0 ? g.tensors[op.inputs[2]].values.data() : nullptr;
  bool depthwise = op.type == OpType::depthwiseConv2d;
  int kh = fs.h, kw = fs.w;
  int top = o.padTop + padBefore(o.padding, is.h, os.h, kh, o.strideH, o.dilationH);
  int left = o.padLeft + padBefore(o.padding, is.w, os.w, kw, o.strideW, o.dilationW);
  for (int b = 0; b < os.n; ++b)
    for (int y = 0; y < os.h; ++y)
      for (int x = 0; x < os.w; ++x)
        for (int oc = 0; oc < os.c; ++oc) {
          double sum = bias ? bias[oc] : 0.0;
          for (int ky = 0; ky < kh; ++ky)
            for (int kx = 0; kx < kw; ++kx) {
              int iy = y * o.strideH + ky * o.dilationH - top;
              int ix = x * o.strideW + kx * o.dilationW - left;
              if (iy < 0 || iy >= is.h || ix < 0 || ix >= is.w) continue;
              if (depthwise) {
                int ic = oc / o.depthMultiplier;
                sum += double(in[is.at(b, iy, ix, ic)]) * w[fs.at(0, ky, kx, oc)];
              } else {
                for (int ic = 0; ic < is.c; ++ic) {
                  sum += double(in[is.at(b, iy, ix, ic)]) * w[fs.at(oc, ky, kx, ic)];
                }
              }
            }
          out[os.at(b, y, x, oc)] = activate(static_cast<float>(sum), o.activation);
        }
}

void transposeConvolution(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v,
                          std::vector<float>& out) {
  const OpOptions& o = op.options;
  Shape4 is(g.tensors[op.inputs[0]].shape), os(g.tensors[op.outputs[0]].shape), fs(g.tensors[op.inputs[1]].shape);
  const std::vector<float>& in = v[op.inputs[0]];
  const std::vector<float>& w = g.tensors[op.inputs[1]].values;
  int top = std::max((is.h - 1) * o.strideH + fs.h - os.h, 0) / 2;
  int left = std::max((is.w - 1) * o.strideW + fs.w - os.w, 0) / 2;
  std::vector<double> sums(out.size(), 0.0);
  for (int b = 0; b < is.n; ++b)
    for (int iy = 0; iy < is.h; ++iy)
      for (int ix = 0; ix < is.w; ++ix)
        for (int ky = 0; ky < fs.h; ++ky)
          for (int kx = 0; kx < fs.w; ++kx) {
            int y = iy * o.strideH + ky - top;
            int x = ix * o.strideW + kx - left;
            if (y < 0 || y >= os.h || x < 0 || x >= os.w) continue;
            for (int oc = 0; oc < os.c; ++oc)
              for (int ic = 0; ic < is.c; ++ic) {
                sums[os.at(b, y, x, oc)] += double(in[is.at(b, iy, ix, ic)]) * w[fs.at(oc, ky, kx, ic)];
              }
          }
  const float* bias = op.inputs.size() > 2 && op.inputs[2] >= 0 ? g.tensors[op.inputs[2]].values.data() : nullptr;
  for (size_t i = 0; i < out.size(); ++i) {
    double b = bias ? bias[i % static_cast<size_t>(os.c)] : 0.0;
    out[i] = activate(static_cast<float>(sums[i] + b), o.activation);
  }
}

void pooling(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v, std::vector<float>& out) {
  const OpOptions& o = op.options;
  Shape4 is(g.tensors[op.inputs[0]].shape), os(g.tensors[op.outputs[0]].shape);
  const std::vector<float>& in = v[op.inputs[0]];
  int top = o.padTop + padBefore(o.padding, is.h, os.h, o.filterH, o.strideH, 1);
  int left = o.padLeft + padBefore(o.padding, is.w, os.w, o.filterW, o.strideW, 1);
  for (int b = 0; b < os.n; ++b)
    for (int y = 0; y < os.h; ++y)
      for (int x = 0; x < os.w; ++x)
        for (int c = 0; c < os.c; ++c) {
          double sum = 0;
          float best = -std::numeric_limits<float>::infinity();
          int count = 0;
          for (int ky = 0; ky < o.filterH; ++ky)
            for (int kx = 0; kx < o.filterW; ++kx) {
              int iy = y * o.strideH + ky - top, ix = x * o.strideW + kx - left;
              if (iy < 0 || iy >= is.h || ix < 0 || ix >= is.w) continue;  // padding never counts
              float value = in[is.at(b, iy, ix, c)];
              sum += value;
              best = std::max(best, value);
              ++count;
            }
          float result = op.type == OpType::maxPool2d ? best : static_cast<float>(sum / count);
          out[os.at(b, y, x, c)] = activate(result, o.activation);
        }
}

// Index into a tensor of `shape` for the output coordinate, with size-1 dimensions broadcast.
size_t broadcastIndex(const std::vector<int>& shape, const std::vector<int>& outShape, size_t outIndex) {
  size_t index = 0, stride = 1;
  for (size_t k = 0; k < outShape.size(); ++k) {
    size_t d = outShape.size() - 1 - k;
    size_t coordinate = outIndex % static_cast<size_t>(outShape[d]);
    outIndex /= static_cast<size_t>(outShape[d]);
    if (k < shape.size()) {
      size_t dim = static_cast<size_t>(shape[shape.size() - 1 - k]);
      if (dim != 1) index += coordinate * stride;
      stride *= dim;
    }
  }
  return index;
}

void resizeBilinear(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v,
                    std::vector<float>& out) {
  const OpOptions& o = op.options;
  Shape4 is(g.tensors[op.inputs[0]].shape), os(g.tensors[op.outputs[0]].shape);
  const std::vector<float>& in = v[op.inputs[0]];
  auto scale = [&](int inSize, int outSize) {
    return o.alignCorners && outSize > 1 ? float(inSize - 1) / float(outSize - 1) : float(inSize) / float(outSize);
  };
  float sy = scale(is.h, os.h), sx = scale(is.w, os.w);
  auto source = [&](int dst, float s) { return o.halfPixelCenters ? (float(dst) + 0.5f) * s - 0.5f : float(dst) * s; };
  for (int b = 0; b < os.n; ++b)
    for (int y = 0; y < os.h; ++y) {
      float fy = source(y, sy);
      int y0 = std::max(int(std::floor(fy)), 0), y1 = std::min(int(std::ceil(fy)), is.h - 1);
      float dy = fy - std::floor(fy);
      for (int x = 0; x < os.w; ++x) {
        float fx = source(x, sx);
        int x0 = std::max(int(std::floor(fx)), 0), x1 = std::min(int(std::ceil(fx)), is.w - 1);
        float dx = fx - std::floor(fx);
        for (int c = 0; c < os.c; ++c) {
          float top = in[is.at(b, y0, x0, c)] * (1 - dx) + in[is.at(b, y0, x1, c)] * dx;
          float bottom = in[is.at(b, y1, x0, c)] * (1 - dx) + in[is.at(b, y1, x1, c)] * dx;
          out[os.at(b, y, x, c)] = top * (1 - dy) + bottom * dy;
        }
      }
    }
}

// Add, subtract, multiply and divide (`f`), broadcasting size-1 dimensions, then the fused
// activation.
template <typename Function>
void elementwise(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v, std::vector<float>& out,
                 Function f) {
  const std::vector<int>& outShape = g.tensors[op.outputs[0]].shape;
  const std::vector<float>& a = v[op.inputs[0]];
  const std::vector<float>& b = v[op.inputs[1]];
  const std::vector<int>& aShape = g.tensors[op.inputs[0]].shape;
  const std::vector<int>& bShape = g.tensors[op.inputs[1]].shape;
  for (size_t i = 0; i < out.size(); ++i) {
    float x = a[broadcastIndex(aShape, outShape, i)];
    float y = b[broadcastIndex(bShape, outShape, i)];
    out[i] = activate(f(x, y), op.options.activation);
  }
}

// A function of one value, element by element.
template <typename Function>
void unary(const Operation& op, const std::vector<std::vector<float>>& v, std::vector<float>& out, Function f) {
  const std::vector<float>& in = v[op.inputs[0]];
  for (size_t i = 0; i < out.size(); ++i) out[i] = f(in[i]);
}

// A slope per channel for the negative values.
void prelu(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v, std::vector<float>& out) {
  const std::vector<float>& in = v[op.inputs[0]];
  size_t channels = static_cast<size_t>(g.tensors[op.inputs[0]].shape.back());
  for (size_t i = 0; i < out.size(); ++i) out[i] = in[i] >= 0 ? in[i] : in[i] * v[op.inputs[1]][i % channels];
}

// The mean over height and width of each channel.
void mean(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v, std::vector<float>& out) {
  Shape4 s(g.tensors[op.inputs[0]].shape);
  const std::vector<float>& in = v[op.inputs[0]];
  for (int b = 0; b < s.n; ++b)
    for (int c = 0; c < s.c; ++c) {
      double sum = 0;
      for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x) sum += in[s.at(b, y, x, c)];
      out[static_cast<size_t>(b) * s.c + c] = static_cast<float>(sum / (s.h * s.w));
    }
}

// Zeros around the input, `before` and `after` elements in each dimension.
void pad(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v, std::vector<float>& out) {
  const std::vector<int>& inShape = g.tensors[op.inputs[0]].shape;
  const std::vector<int>& outShape = g.tensors[op.outputs[0]].shape;
  const std::vector<int32_t>& p = g.tensors[op.inputs[1]].ints;
  const std::vector<float>& in = v[op.inputs[0]];
  size_t rank = inShape.size();
  for (size_t i = 0; i < in.size(); ++i) {
    size_t rest = i, outIndex = 0, outStride = 1;
    for (size_t k = 0; k < rank; ++k) {
      size_t d = rank - 1 - k;
      size_t coordinate = rest % static_cast<size_t>(inShape[d]) + static_cast<size_t>(p[2 * d]);
      rest /= static_cast<size_t>(inShape[d]);
      outIndex += coordinate * outStride;
      outStride *= static_cast<size_t>(outShape[d]);
    }
    out[outIndex] = in[i];
  }
}

void concatenation(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v,
                   std::vector<float>& out) {
  const std::vector<int>& outShape = g.tensors[op.outputs[0]].shape;
  int rank = static_cast<int>(outShape.size());
  int axis = op.options.axis < 0 ? op.options.axis + rank : op.options.axis;
  size_t outer = 1;
  for (int d = 0; d < axis; ++d) outer *= static_cast<size_t>(outShape[d]);
  size_t position = 0;
  for (size_t k = 0; k < outer; ++k)
    for (int t : op.inputs) {
      size_t chunk = g.tensors[t].elementCount() / outer;
      for (size_t j = 0; j < chunk; ++j) out[position++] = v[t][k * chunk + j];
    }
}

// Rows of `depth` input values times weights [outputs, depth], plus the bias.
void fullyConnected(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v,
                    std::vector<float>& out) {
  const std::vector<float>& in = v[op.inputs[0]];
  const Tensor& w = g.tensors[op.inputs[1]];
  size_t outputs = static_cast<size_t>(w.shape[0]), depth = static_cast<size_t>(w.shape[1]);
  const float* bias = op.inputs.size() > 2 && op.inputs[2] >= 0 ? g.tensors[op.inputs[2]].values.data() : nullptr;
  for (size_t b = 0; b < in.size() / depth; ++b)
    for (size_t j = 0; j < outputs; ++j) {
      double sum = bias ? bias[j] : 0.0;
      for (size_t i = 0; i < depth; ++i) sum += double(in[b * depth + i]) * w.values[j * depth + i];
      out[b * outputs + j] = activate(static_cast<float>(sum), op.options.activation);
    }
}

void depthToSpace(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v,
                  std::vector<float>& out) {
  Shape4 is(g.tensors[op.inputs[0]].shape), os(g.tensors[op.outputs[0]].shape);
  const std::vector<float>& in = v[op.inputs[0]];
  int bs = op.options.blockSize;
  for (int b = 0; b < os.n; ++b)
    for (int y = 0; y < os.h; ++y)
      for (int x = 0; x < os.w; ++x)
        for (int c = 0; c < os.c; ++c) {
          int channel = ((y % bs) * bs + (x % bs)) * os.c + c;
          out[os.at(b, y, x, c)] = in[is.at(b, y / bs, x / bs, channel)];
        }
}

// Every element whose index in each dimension d is first + k * stride for k below the count,
// the ranges worked out from begin, end and strides with the masks.
void stridedSlice(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v,
                  std::vector<float>& out) {
  const std::vector<int>& inShape = g.tensors[op.inputs[0]].shape;
  const std::vector<int>& outShape = g.tensors[op.outputs[0]].shape;
  std::vector<SliceRange> ranges;
  for (size_t d = 0; d < inShape.size(); ++d) {
    ranges.push_back(sliceRange(op.options, d, inShape[d], g.tensors[op.inputs[1]].ints[d],
                                g.tensors[op.inputs[2]].ints[d], g.tensors[op.inputs[3]].ints[d]));
  }
  for (size_t i = 0; i < out.size(); ++i) {
    size_t rest = i, inIndex = 0, inStride = 1;
    for (size_t k = 0; k < inShape.size(); ++k) {
      size_t d = inShape.size() - 1 - k;
      int64_t position = static_cast<int64_t>(rest % static_cast<size_t>(outShape[d]));
      rest /= static_cast<size_t>(outShape[d]);
      inIndex += static_cast<size_t>(ranges[d].first + position * ranges[d].stride) * inStride;
      inStride *= static_cast<size_t>(inShape[d]);
    }
    out[i] = v[op.inputs[0]][inIndex];
  }
}

// A 4x4 matrix, row-major, in double precision.
using Matrix4 = std::array<double, 16>;

Matrix4 multiply(const Matrix4& a, const Matrix4& b) {
  Matrix4 product{};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      for (int k = 0; k < 4; ++k) product[r * 4 + c] += a[r * 4 + k] * b[k * 4 + c];
  return product;
}

Matrix4 translation(double x, double y) { return {1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, 0, 0, 0, 0, 1}; }
Matrix4 rotation(double radians) {
  double c = std::cos(radians), s = std::sin(radians);
  return {c, -s, 0, 0, s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}
Matrix4 scaling(double x, double y) { return {x, 0, 0, 0, 0, y, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

// Takes (x, y, 0, 1) through the first two rows of a 4x4 matrix.
std::array<double, 2> transformed(const float* m, double x, double y) {
  return {m[0] * x + m[1] * y + m[3], m[4] * x + m[5] * y + m[7]};
}

// The crop as a product of steps: the grid centred, scaled to the box, turned back from the
// level frame, and moved to the box's centre.
void landmarksToTransformMatrix(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v,
                                std::vector<float>& out) {
  const LandmarkCrop& crop = op.options.crop;
  const std::vector<float>& in = v[op.inputs[0]];
  const size_t stride = static_cast<size_t>(g.tensors[op.inputs[0]].shape[2]);
  auto point = [&](int i) { return std::array<double, 2>{in[i * stride], in[i * stride + 1]}; };
  auto [lx, ly] = point(crop.leftIndex);
  auto [rx, ry] = point(crop.rightIndex);
  double angle = crop.targetRotation - std::atan2(ry - ly, rx - lx);
  Matrix4 level = rotation(angle);
  double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
  for (int i : crop.subset) {
    auto [x, y] = point(i);
    double tx = level[0] * x + level[1] * y, ty = level[4] * x + level[5] * y;
    minX = std::min(minX, tx), maxX = std::max(maxX, tx), minY = std::min(minY, ty), maxY = std::max(maxY, ty);
  }
  Matrix4 back = rotation(-angle);
  double midX = (minX + maxX) / 2, midY = (minY + maxY) / 2;
  double centreX = back[0] * midX + back[1] * midY, centreY = back[4] * midX + back[5] * midY;
  Matrix4 m = multiply(translation(centreX, centreY), back);
  m = multiply(
      m, scaling(crop.scaleX * (maxX - minX) / crop.outputWidth, crop.scaleY * (maxY - minY) / crop.outputHeight));
  m = multiply(m, translation(-crop.outputWidth / 2.0, -crop.outputHeight / 2.0));
  for (size_t i = 0; i < 16; ++i) out[i] = static_cast<float>(m[i]);
}

// Each output cell's centre carried through the matrix, read with bilinear weights from the four
// map cells around it; outside the map, zero.
void transformTensorBilinear(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v,
                             std::vector<float>& out) {
  Shape4 is(g.tensors[op.inputs[0]].shape), os(g.tensors[op.outputs[0]].shape);
  const std::vector<float>& in = v[op.inputs[0]];
  const float* m = v[op.inputs[1]].data();
  auto value = [&](int y, int x, int c) { return y < is.h && x < is.w ? double(in[is.at(0, y, x, c)]) : 0.0; };
  for (int y = 0; y < os.h; ++y)
    for (int x = 0; x < os.w; ++x)
      for (int c = 0; c < os.c; ++c) {
        auto [sx, sy] = transformed(m, x + 0.5, y + 0.5);
        sx -= 0.5, sy -= 0.5;
        double result = 0;
        if (sx >= 0 && sy >= 0 && sx <= is.w - 1 && sy <= is.h - 1) {
          int x0 = static_cast<int>(std::floor(sx)), y0 = static_cast<int>(std::floor(sy));
          double fx = sx - x0, fy = sy - y0;
          double top = (1 - fx) * value(y0, x0, c) + fx * value(y0, x0 + 1, c);
          double bottom = (1 - fx) * value(y0 + 1, x0, c) + fx * value(y0 + 1, x0 + 1, c);
          result = (1 - fy) * top + fy * bottom;
        }
        out[os.at(0, y, x, c)] = static_cast<float>(result);
      }
}

void transformLandmarks(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v,
                        std::vector<float>& out) {
  const std::vector<int>& shape = g.tensors[op.inputs[0]].shape;
  const std::vector<float>& in = v[op.inputs[0]];
  const float* m = v[op.inputs[1]].data();
  size_t values = static_cast<size_t>(shape[2]);
  for (size_t i = 0; i < static_cast<size_t>(shape[1]); ++i) {
    auto [x, y] = transformed(m, in[i * values], in[i * values + 1]);
    out[i * values] = static_cast<float>(x);
    out[i * values + 1] = static_cast<float>(y);
    if (values == 3) out[i * values + 2] = in[i * values + 2];
  }
}

// The row-major strides of `shape`.
std::vector<size_t> stridesOf(const std::vector<int>& shape) {
  std::vector<size_t> strides(shape.size(), 1);
  for (size_t d = shape.size(); d-- > 1;) strides[d - 1] = strides[d] * static_cast<size_t>(shape[d]);
  return strides;
}

// Output dimension d is input dimension perm[d].
void transpose(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v, std::vector<float>& out) {
  const std::vector<int>& outShape = g.tensors[op.outputs[0]].shape;
  const std::vector<int32_t>& perm = g.tensors[op.inputs[1]].ints;
  std::vector<size_t> inStrides = stridesOf(g.tensors[op.inputs[0]].shape);
  for (size_t i = 0; i < out.size(); ++i) {
    size_t rest = i, from = 0;
    for (size_t d = outShape.size(); d-- > 0;) {
      from += (rest % static_cast<size_t>(outShape[d])) * inStrides[perm[d]];
      rest /= static_cast<size_t>(outShape[d]);
    }
    out[i] = v[op.inputs[0]][from];
  }
}

void slice(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v, std::vector<float>& out) {
  const std::vector<int>& outShape = g.tensors[op.outputs[0]].shape;
  const std::vector<int32_t>& begins = g.tensors[op.inputs[1]].ints;
  std::vector<size_t> inStrides = stridesOf(g.tensors[op.inputs[0]].shape);
  for (size_t i = 0; i < out.size(); ++i) {
    size_t rest = i, from = 0;
    for (size_t d = outShape.size(); d-- > 0;) {
      from += (rest % static_cast<size_t>(outShape[d]) + static_cast<size_t>(begins[d])) * inStrides[d];
      rest /= static_cast<size_t>(outShape[d]);
    }
    out[i] = v[op.inputs[0]][from];
  }
}

void batchMatMul(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v,
                 std::vector<float>& out) {
  const std::vector<int>& a = g.tensors[op.inputs[0]].shape;
  const std::vector<int>& b = g.tensors[op.inputs[1]].shape;
  size_t r = a.size(), m = a[r - 2], k = a[r - 1], n = b[r - 1];
  size_t batches = out.size() / (m * n);
  for (size_t batch = 0; batch < batches; ++batch)
    for (size_t i = 0; i < m; ++i)
      for (size_t j = 0; j < n; ++j) {
        double sum = 0;
        for (size_t p = 0; p < k; ++p) {
          sum += double(v[op.inputs[0]][(batch * m + i) * k + p]) * v[op.inputs[1]][(batch * k + p) * n + j];
        }
        out[(batch * m + i) * n + j] = static_cast<float>(sum);
      }
}

void softmax(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v, std::vector<float>& out) {
  size_t depth = static_cast<size_t>(g.tensors[op.inputs[0]].shape.back());
  const std::vector<float>& in = v[op.inputs[0]];
  for (size_t row = 0; row < out.size() / depth; ++row) {
    double largest = -std::numeric_limits<double>::infinity(), sum = 0;
    for (size_t i = 0; i < depth; ++i) largest = std::max(largest, double(in[row * depth + i]));
    for (size_t i = 0; i < depth; ++i) sum += std::exp(in[row * depth + i] - largest);
    for (size_t i = 0; i < depth; ++i) {
      out[row * depth + i] = static_cast<float>(std::exp(in[row * depth + i] - largest) / sum);
    }
  }
}

// (x - mean) / sqrt(variance + epsilon) * scale + shift over each row of the last dimension.
void layerNorm(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v, std::vector<float>& out) {
  size_t depth = static_cast<size_t>(g.tensors[op.inputs[0]].shape.back());
  const std::vector<float>& in = v[op.inputs[0]];
  const std::vector<float>& scale = v[op.inputs[1]];
  const std::vector<float>& shift = v[op.inputs[2]];
  for (size_t row = 0; row < out.size() / depth; ++row) {
    double sum = 0, squares = 0;
    for (size_t i = 0; i < depth; ++i) sum += in[row * depth + i];
    double mean = sum / depth;
    for (size_t i = 0; i < depth; ++i) squares += (in[row * depth + i] - mean) * (in[row * depth + i] - mean);
    double deviation = std::sqrt(squares / depth + op.options.epsilon);
    for (size_t i = 0; i < depth; ++i) {
      out[row * depth + i] = static_cast<float>((in[row * depth + i] - mean) / deviation * scale[i] + shift[i]);
    }
  }
}

void resizeNearest(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v,
                   std::vector<float>& out) {
  Shape4 is(g.tensors[op.inputs[0]].shape), os(g.tensors[op.outputs[0]].shape);
  int f = op.options.blockSize;
  for (int b = 0; b < os.n; ++b)
    for (int y = 0; y < os.h; ++y)
      for (int x = 0; x < os.w; ++x)
        for (int c = 0; c < os.c; ++c) out[os.at(b, y, x, c)] = v[op.inputs[0]][is.at(b, y / f, x / f, c)];
}

// Computes one operation into `out` (sized for its output); false for one the loops do not run.
bool evaluate(const Operation& op, const Graph& g, const std::vector<std::vector<float>>& v, std::vector<float>& out) {
  switch (op.type) {
    case OpType::add:
      elementwise(op, g, v, out, [](float x, float y) { return x + y; });
      return true;
    case OpType::averagePool2d:
    case OpType::maxPool2d:
      pooling(op, g, v, out);
      return true;
    case OpType::batchMatMul:
      batchMatMul(op, g, v, out);
      return true;
    case OpType::concatenation:
      concatenation(op, g, v, out);
      return true;
    case OpType::conv2d:
    case OpType::depthwiseConv2d:
      convolution(op, g, v, out);
      return true;
    case OpType::depthToSpace:
      depthToSpace(op, g, v, out);
      return true;
    case OpType::div:
      elementwise(op, g, v, out, [](float x, float y) { return x / y; });
      return true;
    case OpType::fullyConnected:
      fullyConnected(op, g, v, out);
      return true;
    case OpType::hardSwish:
      unary(op, v, out, [](float x) { return x * std::clamp(x + 3.0f, 0.0f, 6.0f) / 6.0f; });
      return true;
    case OpType::landmarksToTransformMatrix:
      landmarksToTransformMatrix(op, g, v, out);
      return true;
    case OpType::layerNorm:
      layerNorm(op, g, v, out);
      return true;
    case OpType::logistic:
      unary(op, v, out, [](float x) { return 1.0f / (1.0f + std::exp(-x)); });
      return true;
    case OpType::mean:
      mean(op, g, v, out);
      return true;
    case OpType::mul:
      elementwise(op, g, v, out, [](float x, float y) { return x * y; });
      return true;
    case OpType::pad:
      pad(op, g, v, out);
      return true;
    case OpType::prelu:
      prelu(op, g, v, out);
      return true;
    case OpType::relu:
      unary(op, v, out, [](float x) { return std::max(x, 0.0f); });
      return true;
    case OpType::relu6:
      unary(op, v, out, [](float x) { return std::clamp(x, 0.0f, 6.0f); });
      return true;
    case OpType::reshape:
      out = v[op.inputs[0]];
      return true;
    case OpType::resizeBilinear:
      resizeBilinear(op, g, v, out);
      return true;
    case OpType::resizeNearest:
      resizeNearest(op, g, v, out);
      return true;
    case OpType::slice:
      slice(op, g, v, out);
      return true;
    case OpType::softmax:
      softmax(op, g, v, out);
      return true;
    case OpType::stridedSlice:
      stridedSlice(op, g, v, out);
      return true;
    case OpType::sub:
      elementwise(op, g, v, out, [](float x, float y) { return x - y; });
      return true;
    case OpType::transformLandmarks:
      transformLandmarks(op, g, v, out);
      return true;
    case OpType::transformTensorBilinear:
      transformTensorBilinear(op, g, v, out);
      return true;
    case OpType::transpose:
      transpose(op, g, v, out);
      return true;
    case OpType::transposeConvBias:
      transposeConvolution(op, g, v, out);
      return true;
    case OpType::densify:  // folded away by prepareGraph
    case OpType::dequantize:
      return false;
  }
  return false;
}

}  // namespace

Result<std::vector<std::vector<float>>> evaluateReference(const Graph& g,
                                                          const std::vector<std::vector<float>>& inputs) {
  std::vector<std::vector<float>> v(g.tensors.size());
  if (inputs.size() != g.inputs.size()) return modelError(ModelError::invalidInputs, "wrong number of inputs");
  for (size_t i = 0; i < g.inputs.size(); ++i) {
    if (inputs[i].size() != g.tensors[g.inputs[i]].elementCount()) {
      return modelError(ModelError::invalidInputs, "input " + std::to_string(i) + " has the wrong size");
    }
    v[g.inputs[i]] = inputs[i];
  }
  for (size_t t = 0; t < g.tensors.size(); ++t) {
    if (g.tensors[t].constant) v[t] = g.tensors[t].values;
  }
  for (const Operation& op : g.operations) {
    std::vector<float> out(g.tensors[op.outputs[0]].elementCount());
    if (!evaluate(op, g, v, out)) return modelError(ModelError::invalidInputs, "graph is not prepared");
    v[op.outputs[0]] = std::move(out);
  }
  return v;
}

}  // namespace platform::nn
