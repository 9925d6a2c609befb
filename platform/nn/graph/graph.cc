#include "platform/nn/graph/graph.h"

#include "platform/nn/model_errors.h"

namespace platform::nn {

std::string_view opName(OpType type) {
  switch (type) {
    case OpType::add:
      return "ADD";
    case OpType::averagePool2d:
      return "AVERAGE_POOL_2D";
    case OpType::batchMatMul:
      return "BATCH_MATMUL";
    case OpType::concatenation:
      return "CONCATENATION";
    case OpType::conv2d:
      return "CONV_2D";
    case OpType::densify:
      return "DENSIFY";
    case OpType::depthToSpace:
      return "DEPTH_TO_SPACE";
    case OpType::depthwiseConv2d:
      return "DEPTHWISE_CONV_2D";
    case OpType::dequantize:
      return "DEQUANTIZE";
    case OpType::div:
      return "DIV";
    case OpType::fullyConnected:
      return "FULLY_CONNECTED";
    case OpType::hardSwish:
      return "HARD_SWISH";
    case OpType::landmarksToTransformMatrix:
      return "Landmarks2TransformMatrix";
    case OpType::layerNorm:
      return "LAYER_NORM";
    case OpType::logistic:
      return "LOGISTIC";
    case OpType::maxPool2d:
      return "MAX_POOL_2D";
    case OpType::mean:
      return "MEAN";
    case OpType::mul:
      return "MUL";
    case OpType::pad:
      return "PAD";
    case OpType::prelu:
      return "PRELU";
    case OpType::relu:
      return "RELU";
    case OpType::relu6:
      return "RELU6";
    case OpType::reshape:
      return "RESHAPE";
    case OpType::resizeBilinear:
      return "RESIZE_BILINEAR";
    case OpType::stridedSlice:
      return "STRIDED_SLICE";
    case OpType::transformLandmarks:
      return "TransformLandmarks";
    case OpType::transformTensorBilinear:
      return "TransformTensorBilinear";
    case OpType::resizeNearest:
      return "RESIZE_NEAREST";
    case OpType::slice:
      return "SLICE";
    case OpType::softmax:
      return "SOFTMAX";
    case OpType::sub:
      return "SUB";
    case OpType::transpose:
      return "TRANSPOSE";
    case OpType::transposeConvBias:
      return "Convolution2DTransposeBias";
  }
  return "?";
}

size_t Tensor::elementCount() const {
  size_t count = 1;
  for (int d : shape) count *= static_cast<size_t>(d < 0 ? 0 : d);
  return count;
}

std::string shapeText(const std::vector<int>& shape) {
  std::string text = "[";
  for (size_t i = 0; i < shape.size(); ++i) {
    if (i > 0) text += ',';
    text += std::to_string(shape[i]);
  }
  return text + "]";
}

Error malformed(const Operation& op, const std::string& what) {
  return malformed(std::string(opName(op.type)) + ": " + what);
}

Error unsupported(const Operation& op, const std::string& what) {
  return unsupported(std::string(opName(op.type)) + ": " + what);
}

}  // namespace platform::nn
