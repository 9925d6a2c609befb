#include "platform/nn/kernels/own_kernels.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "platform/nn/kernels/concatenation.h"
#include "platform/nn/kernels/landmark_transforms.h"
#include "platform/nn/kernels/strided_slice.h"

namespace platform::nn {
namespace {

// A kernel object with its own run() (concatenation, strided slice, the landmark transforms).
template <typename Kernel>
class KernelOf : public OwnKernel {
 public:
  explicit KernelOf(Kernel kernel) : kernel_(std::move(kernel)) {}
  void run() const override { kernel_.run(); }

 private:
  Kernel kernel_;
};

template <typename Kernel>
std::unique_ptr<OwnKernel> kernelOf(Kernel kernel) {
  return std::make_unique<KernelOf<Kernel>>(std::move(kernel));
}

StridedSlice stridedSliceOf(const Graph& graph, const Operation& op, const std::vector<float*>& tensorData) {
  const std::vector<int>& shape = graph.tensors[op.inputs[0]].shape;
  std::vector<SliceRange> ranges;
  for (size_t d = 0; d < shape.size(); ++d) {
    ranges.push_back(sliceRange(op.options, d, shape[d], graph.tensors[op.inputs[1]].ints[d],
                                graph.tensors[op.inputs[2]].ints[d], graph.tensors[op.inputs[3]].ints[d]));
  }
  return StridedSlice(tensorData[op.inputs[0]], shape, std::move(ranges), tensorData[op.outputs[0]]);
}

// Copies a box of the input (its extent `shape`, its first element `offset`, its strides) to
// the output in row-major order: transposition and slicing are both this.
class StridedCopy : public OwnKernel {
 public:
  StridedCopy(const float* in, float* out, std::vector<size_t> shape, std::vector<size_t> strides, size_t offset)
      : in_(in), out_(out), shape_(std::move(shape)), strides_(std::move(strides)), offset_(offset) {
    // Up to 6 dimensions, padded in front with extents of 1.
    while (shape_.size() < 6) {
      shape_.insert(shape_.begin(), 1);
      strides_.insert(strides_.begin(), 0);
    }
  }

  void run() const override {
    const size_t* n = shape_.data();
    const size_t* s = strides_.data();
    float* out = out_;
    const bool contiguousRows = s[5] == 1;
    for (size_t a = 0; a < n[0]; ++a)
      for (size_t b = 0; b < n[1]; ++b)
        for (size_t c = 0; c < n[2]; ++c)
          for (size_t d = 0; d < n[3]; ++d)
            for (size_t e = 0; e < n[4]; ++e) {
              const float* row = in_ + offset_ + a * s[0] + b * s[1] + c * s[2] + d * s[3] + e * s[4];
              if (contiguousRows) {
                std::memcpy(out, row, n[5] * sizeof(float));
                out += n[5];
              } else {
                for (size_t f = 0; f < n[5]; ++f) *out++ = row[f * s[5]];
              }
            }
  }

 private:
  const float* in_;
  float* out_;
  std::vector<size_t> shape_;
  std::vector<size_t> strides_;
  size_t offset_;
};

std::vector<size_t> stridesOf(const std::vector<int>& shape) {
  std::vector<size_t> strides(shape.size(), 1);
  for (size_t d = shape.size(); d-- > 1;) strides[d - 1] = strides[d] * static_cast<size_t>(shape[d]);
  return strides;
}

std::unique_ptr<OwnKernel> transposeKernel(const Graph& g, const Operation& op, const std::vector<float*>& data) {
  const std::vector<int>& outShape = g.tensors[op.outputs[0]].shape;
  const std::vector<int32_t>& perm = g.tensors[op.inputs[1]].ints;
  std::vector<size_t> inStrides = stridesOf(g.tensors[op.inputs[0]].shape);
  std::vector<size_t> shape, strides;
  for (size_t d = 0; d < outShape.size(); ++d) {
    shape.push_back(static_cast<size_t>(outShape[d]));
    strides.push_back(inStrides[perm[d]]);
  }
  return std::make_unique<StridedCopy>(data[op.inputs[0]], data[op.outputs[0]], shape, strides, 0);
}

std::unique_ptr<OwnKernel> sliceKernel(const Graph& g, const Operation& op, const std::vector<float*>& data) {
  const std::vector<int>& outShape = g.tensors[op.outputs[0]].shape;
  const std::vector<int32_t>& begins = g.tensors[op.inputs[1]].ints;
  std::vector<size_t> strides = stridesOf(g.tensors[op.inputs[0]].shape);
  size_t offset = 0;
  for (size_t d = 0; d < outShape.size(); ++d) offset += static_cast<size_t>(begins[d]) * strides[d];
  std::vector<size_t> shape(outShape.begin(), outShape.end());
  return std::make_unique<StridedCopy>(data[op.inputs[0]], data[op.outputs[0]], shape, strides, offset);
}

// [batches, m, k] x [batches, k, n]: small products (attention over a line of text), row by row so
// that the inner loop runs along contiguous memory.
class BatchMatMul : public OwnKernel {
 public:
  BatchMatMul(const float* a, const float* b, float* out, size_t batches, size_t m, size_t k, size_t n)
      : a_(a), b_(b), out_(out), batches_(batches), m_(m), k_(k), n_(n) {}

  void run() const override {
    for (size_t batch = 0; batch < batches_; ++batch) {
      const float* a = a_ + batch * m_ * k_;
      const float* b = b_ + batch * k_ * n_;
      float* out = out_ + batch * m_ * n_;
      for (size_t i = 0; i < m_; ++i) {
        float* row = out + i * n_;
        std::memset(row, 0, n_ * sizeof(float));
        for (size_t p = 0; p < k_; ++p) {
          const float scale = a[i * k_ + p];
          const float* bRow = b + p * n_;
          for (size_t j = 0; j < n_; ++j) row[j] += scale * bRow[j];
        }
      }
    }
  }

 private:
  const float* a_;
  const float* b_;
  float* out_;
  size_t batches_, m_, k_, n_;
};

std::unique_ptr<OwnKernel> batchMatMulKernel(const Graph& g, const Operation& op, const std::vector<float*>& data) {
  const std::vector<int>& a = g.tensors[op.inputs[0]].shape;
  const std::vector<int>& b = g.tensors[op.inputs[1]].shape;
  size_t r = a.size();
  size_t m = a[r - 2], k = a[r - 1], n = b[r - 1];
  size_t batches = g.tensors[op.outputs[0]].elementCount() / (m * n);
  return std::make_unique<BatchMatMul>(data[op.inputs[0]], data[op.inputs[1]], data[op.outputs[0]], batches, m, k, n);
}

class LayerNorm : public OwnKernel {
 public:
  LayerNorm(const float* in, const float* scale, const float* shift, float* out, size_t rows, size_t depth,
            float epsilon)
      : in_(in), scale_(scale), shift_(shift), out_(out), rows_(rows), depth_(depth), epsilon_(epsilon) {}

  void run() const override {
    for (size_t r = 0; r < rows_; ++r) {
      const float* in = in_ + r * depth_;
      float* out = out_ + r * depth_;
      float sum = 0;
      for (size_t i = 0; i < depth_; ++i) sum += in[i];
      const float mean = sum / static_cast<float>(depth_);
      float squares = 0;
      for (size_t i = 0; i < depth_; ++i) squares += (in[i] - mean) * (in[i] - mean);
      const float inverse = 1.0f / std::sqrt(squares / static_cast<float>(depth_) + epsilon_);
      for (size_t i = 0; i < depth_; ++i) out[i] = (in[i] - mean) * inverse * scale_[i] + shift_[i];
    }
  }

 private:
  const float* in_;
  const float* scale_;
  const float* shift_;
  float* out_;
  size_t rows_, depth_;
  float epsilon_;
};

std::unique_ptr<OwnKernel> layerNormKernel(const Graph& g, const Operation& op, const std::vector<float*>& data) {
  size_t depth = static_cast<size_t>(g.tensors[op.inputs[0]].shape.back());
  size_t rows = g.tensors[op.inputs[0]].elementCount() / depth;
  return std::make_unique<LayerNorm>(data[op.inputs[0]], data[op.inputs[1]], data[op.inputs[2]], data[op.outputs[0]],
                                     rows, depth, op.options.epsilon);
}

}  // namespace

std::unique_ptr<OwnKernel> makeOwnKernel(const Graph& graph, const Operation& op,
                                         const std::vector<float*>& tensorData) {
  const Tensor& in = graph.tensors[op.inputs[0]];
  const float* input = tensorData[op.inputs[0]];
  float* output = tensorData[op.outputs[0]];
  switch (op.type) {
    case OpType::concatenation: {
      std::vector<Concatenation::Input> inputs;
      for (int t : op.inputs) inputs.push_back({tensorData[t], graph.tensors[t].shape});
      return kernelOf(Concatenation(inputs, op.options.axis, output, graph.tensors[op.outputs[0]].shape));
    }
    case OpType::stridedSlice:
      return kernelOf(stridedSliceOf(graph, op, tensorData));
    case OpType::landmarksToTransformMatrix:
      return kernelOf(LandmarksToTransformMatrix(input, in.shape[2], op.options.crop, output));
    case OpType::transformTensorBilinear:
      return kernelOf(TransformTensorBilinear(input, in.shape, tensorData[op.inputs[1]], output,
                                              op.options.crop.outputHeight, op.options.crop.outputWidth));
    case OpType::transformLandmarks:
      return kernelOf(TransformLandmarks(input, in.shape[1], in.shape[2], tensorData[op.inputs[1]], output));
    case OpType::transpose:
      return transposeKernel(graph, op, tensorData);
    case OpType::slice:
      return sliceKernel(graph, op, tensorData);
    case OpType::batchMatMul:
      return batchMatMulKernel(graph, op, tensorData);
    case OpType::layerNorm:
      return layerNormKernel(graph, op, tensorData);
    case OpType::add:  // XNNPACK's, or folded at load
    case OpType::averagePool2d:
    case OpType::conv2d:
    case OpType::densify:
    case OpType::depthToSpace:
    case OpType::depthwiseConv2d:
    case OpType::dequantize:
    case OpType::div:
    case OpType::fullyConnected:
    case OpType::hardSwish:
    case OpType::logistic:
    case OpType::maxPool2d:
    case OpType::mean:
    case OpType::mul:
    case OpType::pad:
    case OpType::prelu:
    case OpType::relu:
    case OpType::relu6:
    case OpType::reshape:
    case OpType::resizeBilinear:
    case OpType::resizeNearest:
    case OpType::softmax:
    case OpType::sub:
    case OpType::transposeConvBias:
      return nullptr;
  }
  return nullptr;
}

}  // namespace platform::nn
