// Concatenation along one axis, an operation XNNPACK (as shipped in Debian 12) lacks. Set up once
// with fixed buffers; run() only copies, from the inputs into the output, and is used by one thread
// at a time (the Model that owns it).
#pragma once

#include "platform/nn/internal_only.h"

#include <cstddef>
#include <vector>

namespace platform::nn {

class Concatenation {
 public:
  struct Input {
    const float* data;
    std::vector<int> shape;
  };

  Concatenation() = default;
  // The inputs agree in every dimension but `axis` (negative counts from the end); `output` holds
  // their concatenation. The caller has checked the shapes.
  Concatenation(const std::vector<Input>& inputs, int axis, float* output, const std::vector<int>& outputShape);

  void run() const;

 private:
  struct Part {
    const float* data;
    size_t chunk;  // elements per outer index
  };
  std::vector<Part> parts_;
  size_t outer_ = 0;
  float* output_ = nullptr;
};

}  // namespace platform::nn
