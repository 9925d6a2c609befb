#include "platform/nn/model.h"

#include <utility>

#include "platform/nn/execution/model_runtime.h"
#include "platform/nn/formats/tflite/tflite_reader.h"
#include "platform/nn/model_errors.h"

namespace platform::nn {

size_t TensorShape::elementCount() const {
  size_t count = 1;
  for (int d : dims) count *= static_cast<size_t>(d);
  return count;
}

Result<std::unique_ptr<Model>> Model::load(const std::string& path, Threads threads) {
  Result<Graph> graph = readTfliteFile(path);
  if (!graph.ok()) return graph.error();
  Result<std::unique_ptr<Model>> model = buildModel(std::move(graph.value()), threads);
  if (!model.ok()) return withPath(path, model.error());
  return model;
}

}  // namespace platform::nn
