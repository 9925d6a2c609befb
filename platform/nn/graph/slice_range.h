// Which elements of one dimension a strided slice keeps, as TensorFlow's STRIDED_SLICE counts them:
// the rule shared by the slice's shape, its kernel and its reference loop. A pure function; safe
// from any thread.
#pragma once

#include "platform/nn/internal_only.h"

#include <cstddef>
#include <cstdint>

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

}  // namespace platform::nn
