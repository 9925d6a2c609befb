#include "platform/vision/text/text_boxes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace platform::vision {
namespace {

struct Point2 {
  double x, y;
};

double cross(const Point2& o, const Point2& a, const Point2& b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// Andrew's monotone chain; `points` is sorted and emptied of duplicates in place.
std::vector<Point2> convexHull(std::vector<Point2>& points) {
  std::sort(points.begin(), points.end(),
            [](const Point2& a, const Point2& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
  points.erase(std::unique(points.begin(), points.end(),
                           [](const Point2& a, const Point2& b) { return a.x == b.x && a.y == b.y; }),
               points.end());
  if (points.size() < 3) return points;
  std::vector<Point2> hull(2 * points.size());
  size_t k = 0;
  for (const Point2& p : points) {
    while (k >= 2 && cross(hull[k - 2], hull[k - 1], p) <= 0) --k;
    hull[k++] = p;
  }
  for (size_t i = points.size() - 1, lower = k + 1; i-- > 0;) {
    while (k >= lower && cross(hull[k - 2], hull[k - 1], points[i]) <= 0) --k;
    hull[k++] = points[i];
  }
  hull.resize(k - 1);
  return hull;
}

// The smallest rectangle around the hull: one of its sides lies along a side of the hull.
RotatedRect minimumAreaRect(const std::vector<Point2>& hull) {
  RotatedRect best;
  double bestArea = INFINITY;
  const size_t n = hull.size();
  for (size_t i = 0; i < n; ++i) {
    const Point2& a = hull[i];
    const Point2& b = hull[(i + 1) % n];
    double length = std::hypot(b.x - a.x, b.y - a.y);
    if (length == 0) continue;
    double ux = (b.x - a.x) / length, uy = (b.y - a.y) / length;
    double minU = INFINITY, maxU = -INFINITY, minV = INFINITY, maxV = -INFINITY;
    for (const Point2& p : hull) {
      double u = p.x * ux + p.y * uy, v = -p.x * uy + p.y * ux;
      minU = std::min(minU, u);
      maxU = std::max(maxU, u);
      minV = std::min(minV, v);
      maxV = std::max(maxV, v);
    }
    double area = (maxU - minU) * (maxV - minV);
    if (area < bestArea) {
      bestArea = area;
      double cu = (minU + maxU) / 2, cv = (minV + maxV) / 2;
      best.centerX = cu * ux - cv * uy;
      best.centerY = cu * uy + cv * ux;
      best.width = maxU - minU;
      best.height = maxV - minV;
      best.rotation = std::atan2(uy, ux);
    }
  }
  return best;
}

// The same rectangle described with the rotation nearest to level, then turned a quarter when it
// stands tall (the text of a tall box runs down it).
RotatedRect levelled(RotatedRect r) {
  constexpr double kPi = std::numbers::pi;
  while (r.rotation > kPi / 4) {
    r.rotation -= kPi / 2;
    std::swap(r.width, r.height);
  }
  while (r.rotation <= -kPi / 4) {
    r.rotation += kPi / 2;
    std::swap(r.width, r.height);
  }
  if (r.height >= 1.5 * r.width) {
    r.rotation -= kPi / 2;
    std::swap(r.width, r.height);
  }
  return r;
}

struct Region {
  std::vector<Point2> edges;  // the first and last cell of each of its runs, cell centres
  double sum = 0;
  size_t cells = 0;
};

// Connected regions of cells above the threshold, 8-connected, found with an explicit stack.
std::vector<Region> regions(const float* p, int width, int height, float threshold) {
  std::vector<int32_t> label(static_cast<size_t>(width) * height, -1);
  std::vector<Region> found;
  std::vector<size_t> stack;
  for (size_t start = 0; start < label.size(); ++start) {
    if (label[start] >= 0 || !(p[start] > threshold)) continue;
    int32_t id = static_cast<int32_t>(found.size());
    found.emplace_back();
    Region& region = found.back();
    label[start] = id;
    stack.push_back(start);
    while (!stack.empty()) {
      size_t cell = stack.back();
      stack.pop_back();
      int x = static_cast<int>(cell % width), y = static_cast<int>(cell / width);
      region.sum += p[cell];
      ++region.cells;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          int nx = x + dx, ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
          size_t next = static_cast<size_t>(ny) * width + nx;
          if (label[next] >= 0 || !(p[next] > threshold)) continue;
          label[next] = id;
          stack.push_back(next);
        }
    }
  }
  // The hull needs only the ends of each horizontal run of a region.
  for (int y = 0; y < height; ++y) {
    const int32_t* row = label.data() + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; ++x) {
      if (row[x] < 0) continue;
      bool first = x == 0 || row[x - 1] != row[x];
      bool last = x == width - 1 || row[x + 1] != row[x];
      if (first || last) found[row[x]].edges.push_back({x + 0.5, y + 0.5});
    }
  }
  return found;
}

}  // namespace

Corners cornersOf(const RotatedRect& r) {
  double c = std::cos(r.rotation), s = std::sin(r.rotation);
  double hw = r.width / 2, hh = r.height / 2;
  auto at = [&](double u, double v) { return PicturePoint{r.centerX + u * c - v * s, r.centerY + u * s + v * c}; };
  return Corners{{at(-hw, -hh), at(hw, -hh), at(hw, hh), at(-hw, hh)}};
}

std::vector<size_t> readingOrder(const std::vector<RotatedRect>& rects) {
  // By the centre's height; boxes whose vertical extents overlap by half the smaller height form
  // a row, read left to right.
  std::vector<size_t> order(rects.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return rects[a].centerY < rects[b].centerY; });
  auto top = [&](size_t i) { return rects[i].centerY - std::min(rects[i].width, rects[i].height) / 2; };
  auto bottom = [&](size_t i) { return rects[i].centerY + std::min(rects[i].width, rects[i].height) / 2; };
  for (size_t begin = 0; begin < order.size();) {
    size_t end = begin + 1;
    while (end < order.size()) {
      const size_t previous = order[end - 1], next = order[end];
      double overlap = std::min(bottom(previous), bottom(next)) - std::max(top(previous), top(next));
      double smaller = std::min(bottom(previous) - top(previous), bottom(next) - top(next));
      if (overlap < smaller / 2) break;
      ++end;
    }
    std::sort(order.begin() + static_cast<ptrdiff_t>(begin), order.begin() + static_cast<ptrdiff_t>(end),
              [&](size_t a, size_t b) { return rects[a].centerX < rects[b].centerX; });
    begin = end;
  }
  return order;
}

std::vector<TextBox> textBoxes(const float* probabilities, int width, int height, const TextBoxSettings& settings) {
  std::vector<TextBox> boxes;
  if (probabilities == nullptr || width <= 0 || height <= 0) return boxes;
  std::vector<Region> found = regions(probabilities, width, height, settings.threshold);
  if (found.size() > settings.maxBoxes) {
    std::nth_element(found.begin(), found.begin() + settings.maxBoxes, found.end(),
                     [](const Region& a, const Region& b) { return a.cells > b.cells; });
    found.resize(settings.maxBoxes);
  }
  for (Region& region : found) {
    float score = static_cast<float>(region.sum / region.cells);
    if (score < settings.boxThreshold) continue;
    std::vector<Point2> hull = convexHull(region.edges);
    if (hull.size() < 3) continue;  // a run of cells in one row or column: no area to read
    RotatedRect rect = minimumAreaRect(hull);
    // Cells are squares of side 1 around their centres: the region covers half a cell more on
    // every side than the hull of the centres.
    rect.width += 1;
    rect.height += 1;
    if (std::min(rect.width, rect.height) < settings.minSide) continue;
    double grow = rect.width * rect.height * settings.unclipRatio / (2 * (rect.width + rect.height));
    rect.width += 2 * grow;
    rect.height += 2 * grow;
    boxes.push_back({levelled(rect), score});
  }
  std::vector<RotatedRect> rects;
  for (const TextBox& box : boxes) rects.push_back(box.rect);
  std::vector<TextBox> ordered;
  for (size_t i : readingOrder(rects)) ordered.push_back(boxes[i]);
  boxes = std::move(ordered);
  return boxes;
}

}  // namespace platform::vision
