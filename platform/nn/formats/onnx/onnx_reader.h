// Reads an ONNX model (.onnx, protocol buffers) into plain structures: its nodes, its constants and
// its declared inputs and outputs, before any shape is fixed. Every read is bounds-checked: a
// truncated, damaged or unsupported file gives an Error, never a crash. onnx_translation.h turns
// an OnnxModel into a Graph for given input sizes. Pure functions; safe from any thread.
#pragma once

#include "platform/nn/internal_only.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace platform::nn {

// A constant: float data (float, float16 and double widened or narrowed to float) or integer data
// (int32, int64 and bool as int64), in row-major order.
struct OnnxTensor {
  std::string name;
  std::vector<int64_t> dims;
  bool isFloat = true;
  std::vector<float> floats;
  std::vector<int64_t> ints;
  size_t elementCount() const;
};

struct OnnxAttribute {
  std::string name;
  float f = 0;
  int64_t i = 0;
  std::string s;
  std::vector<float> floats;
  std::vector<int64_t> ints;
  std::optional<OnnxTensor> t;
};

struct OnnxNode {
  std::string opType;
  std::string domain;
  std::vector<std::string> inputs;  // "" for an omitted optional input
  std::vector<std::string> outputs;
  std::vector<OnnxAttribute> attributes;
  // The attribute of that name, or null.
  const OnnxAttribute* attribute(std::string_view name) const;
};

// A graph input or output as declared: its element type (ONNX's code: 1 is float) and its
// dimensions, -1 where the size is left open.
struct OnnxValueInfo {
  std::string name;
  int32_t elementType = 0;
  std::vector<int64_t> dims;
};

struct OnnxModel {
  int64_t opset = 0;  // of the default domain
  std::vector<OnnxNode> nodes;
  std::vector<OnnxTensor> initializers;
  std::vector<OnnxValueInfo> inputs;  // without the inputs that an initializer provides
  std::vector<OnnxValueInfo> outputs;
};

// Reads the model in `bytes`. Fails with ModelError::malformed on damaged bytes and with
// ModelError::unsupported on what this runtime does not read (external data, subgraphs, tensor
// types other than float, float16, double, int32, int64 and bool).
Result<OnnxModel> readOnnxModel(std::span<const uint8_t> bytes);

// Reads the file at `path`, then as readOnnxModel(); the error's description starts with the path.
// A file that cannot be read, or is larger than 1 GiB, fails with ModelError::unreadableFile.
Result<OnnxModel> readOnnxFile(const std::string& path);

}  // namespace platform::nn
