#include "platform/nn/kernels/strided_slice.h"

#include <cstring>
#include <utility>

namespace platform::nn {

StridedSlice::StridedSlice(const float* input, const std::vector<int>& inputShape, std::vector<SliceRange> ranges,
                           float* output)
    : input_(input), inputStrides_(inputShape.size(), 1), ranges_(std::move(ranges)), output_(output) {
  for (size_t d = inputShape.size(); d-- > 1;) inputStrides_[d - 1] = inputStrides_[d] * size_t(inputShape[d]);
}

void StridedSlice::run() const {
  const size_t rank = ranges_.size();
  for (const SliceRange& r : ranges_)
    if (r.count == 0) return;
  // An odometer over every dimension but the last; each turn copies one run of the last.
  std::vector<int64_t> at(rank, 0);
  const SliceRange& inner = ranges_.back();
  float* out = output_;
  while (true) {
    int64_t offset = 0;
    for (size_t d = 0; d + 1 < rank; ++d)
      offset += (ranges_[d].first + at[d] * ranges_[d].stride) * int64_t(inputStrides_[d]);
    const float* row = input_ + offset + inner.first;
    if (inner.stride == 1) {
      std::memcpy(out, row, size_t(inner.count) * sizeof(float));
    } else {
      for (int64_t i = 0; i < inner.count; ++i) out[i] = row[i * inner.stride];
    }
    out += inner.count;
    size_t d = rank - 1;
    while (d-- > 0) {
      if (++at[d] < ranges_[d].count) break;
      at[d] = 0;
    }
    if (d == size_t(-1)) return;
  }
}

}  // namespace platform::nn
