#include "platform/vision/faces/face_crop.h"

#include <algorithm>
#include <cmath>

namespace platform::vision {

RotatedRect faceMeshCrop(const Detection& face) {
  RotatedRect rect;
  rect.centerX = face.box.xMin + face.box.width / 2;
  rect.centerY = face.box.yMin + face.box.height / 2;
  rect.width = face.box.width;
  rect.height = face.box.height;
  rect.rotation = alignmentRotation(face.keypoints.at(0), face.keypoints.at(1), 0);
  return transformRect(rect, RectTransformation{.scaleX = 1.5, .scaleY = 1.5, .squareLong = true});
}

std::optional<RotatedRect> levelledCrop(const RotatedRect& crop, std::span<const Vec3> mesh, double tolerance) {
  constexpr size_t kRightEyeOuterCorner = 33, kLeftEyeOuterCorner = 263;
  if (mesh.size() <= kLeftEyeOuterCorner) return std::nullopt;
  const Vec3& right = mesh[kRightEyeOuterCorner];
  const Vec3& left = mesh[kLeftEyeOuterCorner];
  const double rotation = alignmentRotation({right.x, right.y}, {left.x, left.y}, 0);
  if (!std::isfinite(rotation) || std::abs(normalizeRadians(rotation - crop.rotation)) <= tolerance)
    return std::nullopt;
  RotatedRect levelled = crop;
  levelled.rotation = rotation;
  return levelled;
}

std::optional<RotatedRect> faceMeshCropAround(std::span<const Vec3> mesh) {
  constexpr size_t kRightEyeOuterCorner = 33, kLeftEyeOuterCorner = 263;
  if (mesh.size() <= kLeftEyeOuterCorner) return std::nullopt;
  double minX = mesh[0].x, maxX = mesh[0].x, minY = mesh[0].y, maxY = mesh[0].y;
  for (const Vec3& p : mesh) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return std::nullopt;
    minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
  }
  const Vec3& right = mesh[kRightEyeOuterCorner];
  const Vec3& left = mesh[kLeftEyeOuterCorner];
  const RotatedRect box{(minX + maxX) / 2, (minY + maxY) / 2, maxX - minX, maxY - minY,
                        alignmentRotation({right.x, right.y}, {left.x, left.y}, 0)};
  return transformRect(box, RectTransformation{.scaleX = 1.5, .scaleY = 1.5, .squareLong = true});
}

std::vector<Vec3> meshInPicture(const float* raw, int pointCount, const RotatedRect& crop) {
  std::vector<Vec3> points;
  points.reserve(pointCount > 0 ? pointCount : 0);
  const double size = kFaceMeshInputSize;
  for (int i = 0; i < pointCount; ++i) {
    const float* p = raw + 3 * i;
    const PicturePoint at = pictureFromTensor(crop, p[0] / size, p[1] / size);
    points.push_back({at.x, at.y, p[2] / size * crop.width});
  }
  return points;
}

}  // namespace platform::vision
