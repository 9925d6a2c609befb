#include "platform/nn/graph/slice_range.h"

#include <algorithm>

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

}  // namespace platform::nn
