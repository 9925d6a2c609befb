#include "platform/nn/kernels/strided_slice.h"

#include <algorithm>
#include <cstring>

namespace platform::nn {

SliceRange sliceRange(const OpOptions& options, size_t d, int size, int begin, int end, int stride) {
  SliceRange range;
  range.stride = stride;
  if (stride == 0) return range;
  const bool fromStart = (options.beginMask >> d) & 1;
  const bool toEnd = (options.endMask >> d) & 1;
  const int64_t n = size;
  auto fromEnd = [n](int64_t i) { return i < 0 ? i + n : i; };
  if (stride > 0) {
    const int64_t first = fromStart ? 0 : std::clamp<int64_t>(fromEnd(begin), 0, n);
    const int64_t last = toEnd ? n : std::clamp<int64_t>(fromEnd(end), 0, n);
    range.first = first;
    range.count = last > first ? (last - first + stride - 1) / stride : 0;
  } else {
    // Walking backwards: from the last element down to just before the first (-1).
    const int64_t first = fromStart ? n - 1 : std::clamp<int64_t>(fromEnd(begin), -1, n - 1);
    const int64_t last = toEnd ? -1 : std::clamp<int64_t>(fromEnd(end), -1, n - 1);
    range.first = first;
    range.count = first > last ? (first - last - stride - 1) / -int64_t{stride} : 0;
  }
  return range;
}

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
