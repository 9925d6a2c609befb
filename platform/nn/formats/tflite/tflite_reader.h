// Reads a TensorFlow Lite flatbuffer (.tflite) into a Graph. Every read is bounds-checked: a
// truncated, damaged or unsupported file gives an Error naming the problem, never a crash.
// Pure functions of their input; safe from any thread.
#pragma once

#include "platform/nn/internal_only.h"

#include <cstdint>
#include <span>
#include <string>

#include "platform/nn/graph/graph.h"
#include "platform/result.h"

namespace platform::nn {

// Reads the first subgraph of the model in `bytes`. Fails with ModelError::malformed on a damaged
// file, and with ModelError::unsupported on constants of unsupported types and on an operator
// outside the supported set (the error names it). The graph still needs prepareGraph() to run.
Result<Graph> readTfliteModel(std::span<const uint8_t> bytes);

// The name the TFLite schema gives a builtin operator code, e.g. "CONV_2D" for 3, for messages.
std::string tfliteBuiltinName(int32_t code);

// Reads the file at `path` and then as readTfliteModel(); the error's description starts with the
// path. A file that cannot be read, or is larger than 1 GiB, fails with ModelError::unreadableFile.
Result<Graph> readTfliteFile(const std::string& path);

}  // namespace platform::nn
