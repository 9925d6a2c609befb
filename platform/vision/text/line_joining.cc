#include "platform/vision/text/line_joining.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/vision/text/text_boxes.h"

namespace platform::vision {

namespace {

struct Extent {
  double alongMin = std::numeric_limits<double>::max(), alongMax = std::numeric_limits<double>::lowest();
  double acrossMin = std::numeric_limits<double>::max(), acrossMax = std::numeric_limits<double>::lowest();
};

// The extent of `box` along and across the direction `rotation`.
Extent extentIn(const RotatedRect& box, double rotation) {
  const double c = std::cos(rotation), s = std::sin(rotation);
  Extent extent;
  for (const PicturePoint& p : cornersOf(box).points) {
    const double along = p.x * c + p.y * s, across = -p.x * s + p.y * c;
    extent.alongMin = std::min(extent.alongMin, along);
    extent.alongMax = std::max(extent.alongMax, along);
    extent.acrossMin = std::min(extent.acrossMin, across);
    extent.acrossMax = std::max(extent.acrossMax, across);
  }
  return extent;
}

// Whether two boxes lie on one row, overlapping or at most kJoiningGap apart.
bool neighbours(const RotatedRect& left, const RotatedRect& right) {
  const Extent a = extentIn(left, left.rotation), b = extentIn(right, left.rotation);
  const double taller = std::max(left.height, right.height), lower = std::min(left.height, right.height);
  const double overlap = std::min(a.acrossMax, b.acrossMax) - std::max(a.acrossMin, b.acrossMin);
  return b.alongMin - a.alongMax <= kJoiningGap * taller && a.alongMin - b.alongMax <= kJoiningGap * taller &&
         overlap >= kJoiningOverlap * lower;
}

}  // namespace

std::vector<std::vector<size_t>> linesOfBoxes(const std::vector<JoinableBox>& boxes) {
  std::vector<std::vector<size_t>> lines;
  for (size_t i = 0; i < boxes.size(); ++i) {
    if (!lines.empty()) {
      // The run so far as one box, against the next.
      std::vector<RotatedRect> run;
      bool text = true, unsure = false;
      for (size_t j : lines.back()) {
        run.push_back(boxes[j].box);
        text = text && boxes[j].text;
        unsure = unsure || boxes[j].unsure;
      }
      const JoinableBox& next = boxes[i];
      if (text && next.text && (unsure || next.unsure) && neighbours(boxAround(run), next.box)) {
        lines.back().push_back(i);
        continue;
      }
    }
    lines.push_back({i});
  }
  return lines;
}

RotatedRect boxAround(const std::vector<RotatedRect>& boxes) {
  if (boxes.empty()) return RotatedRect{};
  // The widest piece's direction: small pieces (a dot, a short word) have little direction of
  // their own.
  const double rotation =
      std::max_element(boxes.begin(), boxes.end(), [](const RotatedRect& a, const RotatedRect& b) {
        return a.width < b.width;
      })->rotation;
  Extent all;
  for (const RotatedRect& box : boxes) {
    const Extent e = extentIn(box, rotation);
    all.alongMin = std::min(all.alongMin, e.alongMin);
    all.alongMax = std::max(all.alongMax, e.alongMax);
    all.acrossMin = std::min(all.acrossMin, e.acrossMin);
    all.acrossMax = std::max(all.acrossMax, e.acrossMax);
  }
  const double along = (all.alongMin + all.alongMax) / 2, across = (all.acrossMin + all.acrossMax) / 2;
  const double c = std::cos(rotation), s = std::sin(rotation);
  return RotatedRect{along * c - across * s, along * s + across * c, all.alongMax - all.alongMin,
                     all.acrossMax - all.acrossMin, rotation};
}

}  // namespace platform::vision
