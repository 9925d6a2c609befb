#include "platform/nn/own_kernels.h"

#include "platform/nn/concatenation.h"
#include "platform/nn/landmark_transforms.h"
#include "platform/nn/strided_slice.h"

namespace platform::nn {
namespace {

Concatenation concatenationOf(const Graph& graph, const Operation& op, const std::vector<float*>& tensorData) {
  std::vector<Concatenation::Input> inputs;
  for (int t : op.inputs) inputs.push_back({tensorData[t], graph.tensors[t].shape});
  return Concatenation(inputs, op.options.axis, tensorData[op.outputs[0]], graph.tensors[op.outputs[0]].shape);
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

}  // namespace

bool runsAsOwnKernel(OpType type) {
  switch (type) {
    case OpType::concatenation:
    case OpType::landmarksToTransformMatrix:
    case OpType::stridedSlice:
    case OpType::transformLandmarks:
    case OpType::transformTensorBilinear:
      return true;
    default:
      return false;
  }
}

std::function<void()> ownKernel(const Graph& graph, const Operation& op, const std::vector<float*>& tensorData) {
  const Tensor& in = graph.tensors[op.inputs[0]];
  const float* input = tensorData[op.inputs[0]];
  float* output = tensorData[op.outputs[0]];
  switch (op.type) {
    case OpType::concatenation:
      return [kernel = concatenationOf(graph, op, tensorData)] { kernel.run(); };
    case OpType::stridedSlice:
      return [kernel = stridedSliceOf(graph, op, tensorData)] { kernel.run(); };
    case OpType::landmarksToTransformMatrix:
      return [kernel = LandmarksToTransformMatrix(input, in.shape[2], op.options.crop, output)] { kernel.run(); };
    case OpType::transformTensorBilinear:
      return [kernel = TransformTensorBilinear(input, in.shape, tensorData[op.inputs[1]], output,
                                               op.options.crop.outputHeight, op.options.crop.outputWidth)] {
        kernel.run();
      };
    case OpType::transformLandmarks:
      return [kernel = TransformLandmarks(input, in.shape[1], in.shape[2], tensorData[op.inputs[1]], output)] {
        kernel.run();
      };
    default:
      return {};
  }
}

}  // namespace platform::nn
