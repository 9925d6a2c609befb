// Points and rectangles in the normalised frame of a picture: the unit square, origin at the
// bottom-left corner, x to the right, y upwards.
#pragma once

#include <algorithm>
#include <cmath>

namespace platform::vision {

struct Point {
  double x = 0;
  double y = 0;

  bool operator==(const Point&) const = default;
};

struct NormalizedRect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  // The edges of the rectangle taken in standard form (a negative extent counts as positive).
  double minX() const { return std::min(x, x + width); }
  double maxX() const { return std::max(x, x + width); }
  double minY() const { return std::min(y, y + height); }
  double maxY() const { return std::max(y, y + height); }
  double standardWidth() const { return std::abs(width); }
  double standardHeight() const { return std::abs(height); }

  bool operator==(const NormalizedRect&) const = default;
};

}  // namespace platform::vision
