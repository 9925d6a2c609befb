// libFuzzer target for the .tflite reader and the graph checks behind it. Needs clang, so it is
// built only on request and stays out of CI:
//   CC=clang CXX=clang++ cmake -S . -B build-fuzz -DFUZZ=ON && cmake --build build-fuzz --target tflite_reader_fuzzer
//   build-fuzz/platform/nn/tflite_reader_fuzzer -max_len=300000 build/models/face_detection_short_range.tflite
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/nn/graph_preparation.h"
#include "platform/nn/tflite_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto graph = platform::nn::readTfliteModel(std::span<const uint8_t>(data, size));
  if (graph.ok()) (void)platform::nn::prepareGraph(&graph.value());
  return 0;
}
