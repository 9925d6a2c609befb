#include "platform/nn/graph/graph.h"

#include "platform/nn/model_errors.h"

namespace platform::nn {

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
