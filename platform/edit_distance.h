// The edit distance between two sequences: how many symbols must be inserted, deleted or replaced
// to turn one into the other. Used to score readings of text and to compare two readings.
#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace platform {

template <typename Symbol>
size_t editDistance(const std::vector<Symbol>& a, const std::vector<Symbol>& b) {
  // Two rows of the table are enough: each row needs only the one before it.
  std::vector<size_t> previous(b.size() + 1), current(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
    }
    std::swap(previous, current);
  }
  return previous[b.size()];
}

}  // namespace platform
