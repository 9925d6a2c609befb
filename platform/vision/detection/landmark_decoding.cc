#include "platform/vision/detection/landmark_decoding.h"

#include <algorithm>
#include <cmath>

namespace platform::vision {

std::vector<LandmarkPoint> decodeLandmarks(std::span<const float> raw, size_t count, size_t valuesPerPoint,
                                           std::optional<size_t> visibilityValue, double inputWidth,
                                           double inputHeight) {
  std::vector<LandmarkPoint> points;
  if (valuesPerPoint < 2 || (visibilityValue && *visibilityValue >= valuesPerPoint)) return points;
  count = std::min(count, raw.size() / valuesPerPoint);
  points.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const float* row = raw.data() + i * valuesPerPoint;
    LandmarkPoint point{{row[0] / inputWidth, row[1] / inputHeight}, 0};
    if (visibilityValue) point.confidence = scoreFromLogit(row[*visibilityValue]);
    points.push_back(point);
  }
  return points;
}

void refineFromHeatmap(std::vector<LandmarkPoint>& points, const Heatmap& heatmap, int kernelSize,
                       float minConfidence) {
  const int w = heatmap.width, h = heatmap.height, channels = heatmap.channels;
  if (w <= 0 || h <= 0 || channels <= 0 || heatmap.values.size() < static_cast<size_t>(w) * h * channels) return;
  const int reach = (kernelSize - 1) / 2;
  for (size_t index = 0; index < points.size() && index < static_cast<size_t>(channels); ++index) {
    LandmarkPoint& point = points[index];
    const double col = std::floor(point.position.x * w), row = std::floor(point.position.y * h);
    if (!(col >= 0 && col < w && row >= 0 && row < h)) continue;  // also refuses NaN
    const int centreCol = static_cast<int>(col), centreRow = static_cast<int>(row);
    double sum = 0, weightedCol = 0, weightedRow = 0;
    float best = 0;
    for (int r = std::max(0, centreRow - reach); r < std::min(h, centreRow + reach + 1); ++r) {
      for (int c = std::max(0, centreCol - reach); c < std::min(w, centreCol + reach + 1); ++c) {
        const float score = scoreFromLogit(heatmap.values[(static_cast<size_t>(r) * w + c) * channels + index]);
        if (std::isnan(score)) continue;
        sum += score, weightedCol += c * score, weightedRow += r * score;
        best = std::max(best, score);
      }
    }
    if (best >= minConfidence && sum > 0) point.position = {weightedCol / w / sum, weightedRow / h / sum};
  }
}

void projectFromCrop(std::vector<LandmarkPoint>& points, const RotatedRect& rect) {
  for (LandmarkPoint& point : points) point.position = pictureFromCrop(rect, point.position);
}

DetectionBox boundsOf(std::span<const LandmarkPoint> points) {
  if (points.empty()) return {};
  double xMin = points[0].position.x, xMax = xMin, yMin = points[0].position.y, yMax = yMin;
  for (const LandmarkPoint& p : points) {
    xMin = std::min(xMin, p.position.x), xMax = std::max(xMax, p.position.x);
    yMin = std::min(yMin, p.position.y), yMax = std::max(yMax, p.position.y);
  }
  return {xMin, yMin, xMax - xMin, yMax - yMin};
}

bool samePoints(std::span<const LandmarkPoint> a, std::span<const LandmarkPoint> b, double fraction) {
  if (a.empty() || a.size() != b.size()) return false;
  double total = 0;
  for (size_t i = 0; i < a.size(); ++i)
    total += std::hypot(a[i].position.x - b[i].position.x, a[i].position.y - b[i].position.y);
  const DetectionBox boxA = boundsOf(a), boxB = boundsOf(b);
  const double diagonal = std::max(std::hypot(boxA.width, boxA.height), std::hypot(boxB.width, boxB.height));
  return total / a.size() < fraction * diagonal;
}

}  // namespace platform::vision
