// Strided slices of a tensor: every `stride`-th element from `begin` in each dimension, as
// TensorFlow's STRIDED_SLICE takes them (without ellipsis, new or dropped axes). Set up once with
// fixed buffers; run() only copies and is used by one thread at a time (the Model that owns it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/nn/graph/graph.h"

namespace platform::nn {

// The elements one dimension keeps: `count` of them, from `first` in steps of `stride`.
struct SliceRange {
  int64_t first = 0;
  int64_t stride = 1;
  int64_t count = 0;
};

// The range of dimension `d` (of `size` elements) for the raw begin, end and stride of a slice
// with `options`' masks: negative begin and end count from the end, and both are clamped to the
// dimension. A stride of 0 gives a range with stride 0 and no elements, for the caller to refuse.
SliceRange sliceRange(const OpOptions& options, size_t d, int size, int begin, int end, int stride);

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
