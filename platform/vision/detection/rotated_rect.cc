#include "platform/vision/detection/rotated_rect.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace platform::vision {

double normalizeRadians(double angle) {
  constexpr double pi = std::numbers::pi;
  return angle - 2 * pi * std::floor((angle + pi) / (2 * pi));
}

double alignmentRotation(ImagePoint from, ImagePoint to, double targetAngle) {
  // The picture's y axis points down; the angle is measured with y up.
  return normalizeRadians(targetAngle - std::atan2(-(to.y - from.y), to.x - from.x));
}

RotatedRect alignedSquare(ImagePoint centre, ImagePoint scalePoint, double targetAngle) {
  const double side = 2 * std::hypot(scalePoint.x - centre.x, scalePoint.y - centre.y);
  return {centre.x, centre.y, side, side, alignmentRotation(centre, scalePoint, targetAngle)};
}

RotatedRect transformRect(const RotatedRect& rect, const RectTransformation& transformation) {
  RotatedRect result = rect;
  const double c = std::cos(rect.rotation), s = std::sin(rect.rotation);
  const double alongX = rect.width * transformation.shiftX, alongY = rect.height * transformation.shiftY;
  result.centerX += c * alongX - s * alongY;
  result.centerY += s * alongX + c * alongY;
  if (transformation.squareLong) result.width = result.height = std::max(rect.width, rect.height);
  result.width *= transformation.scaleX;
  result.height *= transformation.scaleY;
  return result;
}

ImagePoint pictureFromCrop(const RotatedRect& rect, ImagePoint crop) {
  const PicturePoint p = pictureFromTensor(rect, crop.x, crop.y);
  return {p.x, p.y};
}

}  // namespace platform::vision
