// Rotated crop rectangles (RotatedRect of image_to_tensor.h): where a landmark model looks in the
// picture, and how a point of its crop maps back to the picture. Plain functions of their
// arguments: safe to call from any thread.
#pragma once

#include "platform/vision/detection/image_to_tensor.h"
#include "platform/vision/image_point.h"

namespace platform::vision {

// `angle` brought into [-pi, pi).
double normalizeRadians(double angle);

// The rotation of a crop in which the direction from `from` to `to` (picture pixels) points at
// `targetAngle` radians, counted counter-clockwise on screen from the crop's x axis: pi / 2 makes
// it point straight up in the crop.
double alignmentRotation(ImagePoint from, ImagePoint to, double targetAngle);

// A square centred on `centre` whose side is twice the distance from `centre` to `scalePoint`,
// turned so that `centre` -> `scalePoint` points at `targetAngle` (as for alignmentRotation).
RotatedRect alignedSquare(ImagePoint centre, ImagePoint scalePoint, double targetAngle);

struct RectTransformation {
  double scaleX = 1;
  double scaleY = 1;
  // Moves the centre along the rectangle's own axes, as fractions of its width and height.
  double shiftX = 0;
  double shiftY = 0;
  // Makes the rectangle a square on its longer side (before scaling).
  bool squareLong = false;
};

// `rect` shifted, then made square if asked, then scaled; the rotation is kept.
RotatedRect transformRect(const RotatedRect& rect, const RectTransformation& transformation);

// The picture point (pixels) shown at `crop` in the upright crop of `rect`, where `crop` is a
// fraction of the crop's width and height: (0, 0) its top-left corner, (1, 1) its bottom-right.
ImagePoint pictureFromCrop(const RotatedRect& rect, ImagePoint crop);

}  // namespace platform::vision
