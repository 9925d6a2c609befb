#include "platform/vision/detection/non_max_suppression.h"

#include <algorithm>
#include <numeric>

namespace platform::vision {
namespace {

// Indices of `scores` by descending score; equal scores keep their order.
std::vector<size_t> bestFirst(const std::vector<float>& scores) {
  std::vector<size_t> order(scores.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return scores[a] > scores[b]; });
  return order;
}

}  // namespace

double intersectionOverUnion(const DetectionBox& a, const DetectionBox& b) {
  if (a.area() <= 0 || b.area() <= 0) return 0;
  const double width = std::min(a.xMax(), b.xMax()) - std::max(a.xMin, b.xMin);
  const double height = std::min(a.yMax(), b.yMax()) - std::max(a.yMin, b.yMin);
  if (width <= 0 || height <= 0) return 0;
  const double intersection = width * height;
  return intersection / (a.area() + b.area() - intersection);
}

std::vector<Detection> weightedNonMaxSuppression(std::vector<Detection> detections, double iouThreshold) {
  std::vector<float> scores;
  scores.reserve(detections.size());
  for (const Detection& d : detections) scores.push_back(d.score);
  std::vector<size_t> remaining = bestFirst(scores);

  std::vector<Detection> kept;
  while (!remaining.empty()) {
    const Detection& best = detections[remaining.front()];
    std::vector<size_t> group, rest;
    for (const size_t i : remaining) {
      (i == remaining.front() || intersectionOverUnion(detections[i].box, best.box) > iouThreshold ? group : rest)
          .push_back(i);
    }
    Detection merged = best;
    double total = 0, xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    std::vector<ImagePoint> keypoints(best.keypoints.size());
    for (const size_t i : group) {
      const Detection& d = detections[i];
      const double weight = d.score;
      total += weight;
      xMin += d.box.xMin * weight, yMin += d.box.yMin * weight;
      xMax += d.box.xMax() * weight, yMax += d.box.yMax() * weight;
      for (size_t k = 0; k < keypoints.size() && k < d.keypoints.size(); ++k) {
        keypoints[k].x += d.keypoints[k].x * weight;
        keypoints[k].y += d.keypoints[k].y * weight;
      }
    }
    if (total > 0) {
      merged.box = {xMin / total, yMin / total, (xMax - xMin) / total, (yMax - yMin) / total};
      for (ImagePoint& p : keypoints) p = {p.x / total, p.y / total};
      merged.keypoints = std::move(keypoints);
    }
    kept.push_back(std::move(merged));
    remaining = std::move(rest);
  }
  return kept;
}

}  // namespace platform::vision
