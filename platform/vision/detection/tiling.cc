#include "platform/vision/detection/tiling.h"

#include <algorithm>
#include <cmath>

#include "platform/vision/detection/non_max_suppression.h"

namespace platform::vision {
namespace {

// Where the squares start along one side of `length` pixels.
std::vector<double> starts(double length, double side, double minOverlap) {
  if (length <= side) return {(length - side) / 2};
  const int count = static_cast<int>(std::ceil((length - side) / (side - minOverlap))) + 1;
  std::vector<double> at;
  const double step = (length - side) / (count - 1);
  for (int i = 0; i < count; ++i) at.push_back(i * step);
  return at;
}

}  // namespace

std::vector<Tile> coveringTiles(int width, int height, double side, double minOverlap) {
  if (width <= 0 || height <= 0 || !(side > 0) || !(minOverlap < side) || !std::isfinite(side)) return {};
  std::vector<Tile> tiles;
  const double overlap = std::max(0.0, minOverlap);
  for (const double y : starts(height, side, overlap)) {
    for (const double x : starts(width, side, overlap)) tiles.push_back({x, y, side});
  }
  return tiles;
}

bool cutByTileEdge(const DetectionBox& box, const Tile& tile, int width, int height, double margin) {
  const bool left = tile.x > 0 && box.xMin < tile.x + margin;
  const bool top = tile.y > 0 && box.yMin < tile.y + margin;
  const bool right = tile.x + tile.side < width && box.xMax() > tile.x + tile.side - margin;
  const bool bottom = tile.y + tile.side < height && box.yMax() > tile.y + tile.side - margin;
  return left || top || right || bottom;
}

void addUnseen(std::vector<Detection>& kept, const std::vector<Detection>& candidates, double iouThreshold) {
  const size_t before = kept.size();
  for (const Detection& candidate : candidates) {
    const bool seen = std::any_of(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(before),
                                  [&](const Detection& k) { return intersectionOverUnion(k.box, candidate.box) > iouThreshold; });
    if (!seen) kept.push_back(candidate);
  }
}

}  // namespace platform::vision
