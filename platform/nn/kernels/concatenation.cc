#include "platform/nn/kernels/concatenation.h"

#include <cstring>

namespace platform::nn {

Concatenation::Concatenation(const std::vector<Input>& inputs, int axis, float* output,
                             const std::vector<int>& outputShape)
    : output_(output) {
  int rank = static_cast<int>(outputShape.size());
  if (axis < 0) axis += rank;
  outer_ = 1;
  for (int d = 0; d < axis; ++d) outer_ *= static_cast<size_t>(outputShape[d]);
  for (const Input& input : inputs) {
    size_t chunk = 1;
    for (int d = axis; d < rank; ++d) chunk *= static_cast<size_t>(input.shape[d]);
    parts_.push_back({input.data, chunk});
  }
}

void Concatenation::run() const {
  float* out = output_;
  for (size_t o = 0; o < outer_; ++o) {
    for (const Part& part : parts_) {
      if (part.chunk == 0) continue;
      std::memcpy(out, part.data + o * part.chunk, part.chunk * sizeof(float));
      out += part.chunk;
    }
  }
}

}  // namespace platform::nn
