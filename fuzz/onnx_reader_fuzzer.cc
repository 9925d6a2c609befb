// libFuzzer target for the ONNX reader and the translation behind it; scripts/fuzz.sh builds and
// runs it with the other fuzz targets.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/nn/formats/onnx/onnx_reader.h"
#include "platform/nn/formats/onnx/onnx_translation.h"
#include "platform/nn/graph/graph_preparation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto model = platform::nn::readOnnxModel(std::span<const uint8_t>(data, size));
  if (!model.ok()) return 0;
  // Small fixed sizes for every input: the translation's own checks decide what fits.
  std::vector<std::vector<int>> shapes;
  for (const auto& input : model.value().inputs) {
    std::vector<int> shape;
    for (int64_t d : input.dims) shape.push_back(d > 0 && d <= 64 ? static_cast<int>(d) : 8);
    shapes.push_back(shape);
  }
  auto graph = platform::nn::translateOnnx(model.value(), shapes);
  if (graph.ok()) (void)platform::nn::prepareGraph(&graph.value());
  return 0;
}
