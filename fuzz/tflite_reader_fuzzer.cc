// libFuzzer target for the .tflite reader and the graph checks behind it. Built with the other
// fuzz targets (fuzz/CMakeLists.txt) and run by scripts/fuzz.sh, seeded with the fetched models.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/nn/formats/tflite/tflite_reader.h"
#include "platform/nn/graph/graph_preparation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto graph = platform::nn::readTfliteModel(std::span<const uint8_t>(data, size));
  if (graph.ok()) (void)platform::nn::prepareGraph(&graph.value());
  return 0;
}
