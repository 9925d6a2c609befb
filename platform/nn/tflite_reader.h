// Reads a TensorFlow Lite flatbuffer (.tflite) into a Graph. Every read is bounds-checked: a
// truncated, damaged or unsupported file gives an Error naming the problem, never a crash.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/nn/graph.h"
#include "platform/result.h"

namespace platform::nn {

// Reads the first subgraph of the model in `bytes`. Fails on a damaged file, on float tensors of
// unsupported types, and on an operator outside the supported set (the error names it).
Result<Graph> readTfliteModel(std::span<const uint8_t> bytes);

// Reads the file at `path` and then as readTfliteModel().
Result<Graph> readTfliteFile(const std::string& path);

}  // namespace platform::nn
