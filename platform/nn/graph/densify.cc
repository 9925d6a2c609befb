#include "platform/nn/graph/densify.h"

#include <cstdint>

#include "platform/nn/model_errors.h"

namespace platform::nn {
namespace {

Error fail(const std::string& what) { return malformed("sparse constant: " + what); }

struct Expansion {
  const std::vector<float>& values;
  const Sparsity& sparsity;
  const std::vector<int>& shape;
  std::vector<int> blockSizes;   // per block dimension
  std::vector<int> coordinates;  // per traversed dimension (original, then block dimensions)
  std::vector<float>* dense;
  size_t nextValue = 0;
  bool broken = false;

  void place() {
    size_t rank = shape.size();
    size_t index = 0;
    for (size_t d = 0; d < rank; ++d) {
      int64_t coordinate = coordinates[d];
      for (size_t b = 0; b < sparsity.blockMap.size(); ++b) {
        if (static_cast<size_t>(sparsity.blockMap[b]) == d) {
          coordinate = coordinate * blockSizes[b] + coordinates[rank + b];
        }
      }
      if (coordinate < 0 || coordinate >= shape[d]) {
        broken = true;
        return;
      }
      index = index * static_cast<size_t>(shape[d]) + static_cast<size_t>(coordinate);
    }
    if (nextValue >= values.size()) {
      broken = true;
      return;
    }
    (*dense)[index] = values[nextValue++];
  }

  void expand(size_t level, int64_t parent) {
    if (broken) return;
    if (level == sparsity.traversalOrder.size()) {
      place();
      return;
    }
    const Sparsity::Dimension& dim = sparsity.dimensions[level];
    size_t target = static_cast<size_t>(sparsity.traversalOrder[level]);
    if (dim.dense) {
      for (int i = 0; i < dim.denseSize && !broken; ++i) {
        coordinates[target] = i;
        expand(level + 1, parent * dim.denseSize + i);
      }
      return;
    }
    if (parent < 0 || static_cast<size_t>(parent) + 1 >= dim.segments.size()) {
      broken = true;
      return;
    }
    int begin = dim.segments[static_cast<size_t>(parent)];
    int end = dim.segments[static_cast<size_t>(parent) + 1];
    if (begin < 0 || end < begin || static_cast<size_t>(end) > dim.indices.size()) {
      broken = true;
      return;
    }
    for (int i = begin; i < end && !broken; ++i) {
      coordinates[target] = dim.indices[static_cast<size_t>(i)];
      expand(level + 1, i);
    }
  }
};

}  // namespace

Result<std::vector<float>> densify(const std::vector<float>& values, const Sparsity& sparsity,
                                   const std::vector<int>& denseShape) {
  size_t rank = denseShape.size();
  size_t levels = sparsity.traversalOrder.size();
  if (levels != rank + sparsity.blockMap.size() || sparsity.dimensions.size() != levels) {
    return fail("traversal order does not match the shape");
  }
  std::vector<bool> seen(levels, false);
  for (int t : sparsity.traversalOrder) {
    if (t < 0 || static_cast<size_t>(t) >= levels || seen[static_cast<size_t>(t)]) {
      return fail("traversal order is not a permutation");
    }
    seen[static_cast<size_t>(t)] = true;
  }
  std::vector<int> blockSizes(sparsity.blockMap.size(), 0);
  std::vector<bool> blocked(rank, false);
  for (size_t b = 0; b < sparsity.blockMap.size(); ++b) {
    if (sparsity.blockMap[b] < 0 || static_cast<size_t>(sparsity.blockMap[b]) >= rank) {
      return fail("block map names a missing dimension");
    }
    // Once per dimension at most, which also bounds the levels expansion walks by twice the rank.
    if (blocked[static_cast<size_t>(sparsity.blockMap[b])]) return fail("block map blocks a dimension twice");
    blocked[static_cast<size_t>(sparsity.blockMap[b])] = true;
    for (size_t level = 0; level < levels; ++level) {
      if (static_cast<size_t>(sparsity.traversalOrder[level]) == rank + b) {
        blockSizes[b] = sparsity.dimensions[level].denseSize;
      }
    }
    if (blockSizes[b] <= 0) return fail("block dimension is not dense");
  }
  // A dense level's size must match its dimension, so that expansion stays bounded by the shape.
  for (size_t level = 0; level < levels; ++level) {
    const Sparsity::Dimension& dim = sparsity.dimensions[level];
    if (!dim.dense) continue;
    size_t target = static_cast<size_t>(sparsity.traversalOrder[level]);
    int64_t expected = target < rank ? denseShape[target] : blockSizes[target - rank];
    for (size_t b = 0; b < sparsity.blockMap.size() && target < rank; ++b) {
      if (static_cast<size_t>(sparsity.blockMap[b]) == target) expected /= blockSizes[b];
    }
    if (dim.denseSize != expected) return fail("a dense level does not match its dimension");
  }

  size_t total = 1;
  for (int d : denseShape) total *= static_cast<size_t>(d);
  std::vector<float> dense(total, 0.0f);
  Expansion expansion{values, sparsity, denseShape, blockSizes, std::vector<int>(levels, 0), &dense};
  expansion.expand(0, 0);
  if (expansion.broken) return fail("metadata points outside the tensor or its values");
  if (expansion.nextValue != values.size()) return fail("more values than places");
  return dense;
}

}  // namespace platform::nn
