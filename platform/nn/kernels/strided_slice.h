// Strided slices of a tensor: every `stride`-th element from `begin` in each dimension, as
// TensorFlow's STRIDED_SLICE takes them (without ellipsis, new or dropped axes). Set up once with
// fixed buffers; run() only copies and is used by one thread at a time (the Model that owns it).
#pragma once

#include "platform/nn/internal_only.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/nn/graph/slice_range.h"

namespace platform::nn {

class StridedSlice {
 public:
  StridedSlice() = default;
  // `ranges` has one range per dimension of `inputShape`, each inside it (sliceRange's); `output`
  // holds the product of their counts.
  StridedSlice(const float* input, const std::vector<int>& inputShape, std::vector<SliceRange> ranges, float* output);

  void run() const;

 private:
  const float* input_ = nullptr;
  std::vector<size_t> inputStrides_;  // elements between neighbours in each input dimension
  std::vector<SliceRange> ranges_;
  float* output_ = nullptr;
};

}  // namespace platform::nn
