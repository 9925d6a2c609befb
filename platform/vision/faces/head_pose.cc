#include "platform/vision/faces/head_pose.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace platform::vision {

HeadAngles anglesFromRotation(const Matrix3& r) {
  HeadAngles angles;
  angles.yaw = std::atan2(-r[2][0], std::hypot(r[0][0], r[1][0]));
  angles.roll = std::atan2(r[1][0], r[0][0]);
  angles.pitch = -std::atan2(r[2][1], r[2][2]);
  return angles;
}

namespace {

// The reference camera: its near plane at distance 1, as tall as a 63 degree view.
constexpr double kVerticalFieldOfView = 63 * std::numbers::pi / 180;
constexpr double kNear = 1;

// The scale of the canonical face's fit onto `points`, or nothing.
std::optional<double> fittedScale(const CanonicalFace& canonical, const std::vector<Vec3>& points) {
  const std::optional<SimilarityTransform> fit = fitSimilarity(canonical.vertices, points, canonical.weights);
  if (!fit) return std::nullopt;
  return fit->scale;
}

// Puts the points at the depth the scale implies (the mean depth at the near plane plus the
// face's relative depth), spreads x and y out along the camera's rays to that depth, and turns z
// so that it points towards the viewer.
std::vector<Vec3> unproject(const std::vector<Vec3>& atNearPlane, double depthOffset, double scale) {
  std::vector<Vec3> points = atNearPlane;
  for (Vec3& p : points) {
    const double depth = (p.z - depthOffset + kNear) / scale;
    p = {p.x * depth / kNear, p.y * depth / kNear, -depth};
  }
  return points;
}

}  // namespace

std::optional<HeadAngles> headAngles(std::span<const Vec3> mesh, int pictureWidth, int pictureHeight,
                                     const CanonicalFace& canonical) {
  if (mesh.size() != canonical.vertices.size() || pictureWidth <= 0 || pictureHeight <= 0) return std::nullopt;
  const double heightAtNear = 2 * kNear * std::tan(kVerticalFieldOfView / 2);
  const double widthAtNear = heightAtNear * pictureWidth / pictureHeight;

  // The points on the near plane, centred on the optical axis, y up; z keeps the picture's
  // relative depth, scaled like x.
  std::vector<Vec3> nearPlane;
  nearPlane.reserve(mesh.size());
  double depthSum = 0;
  for (const Vec3& p : mesh) {
    const Vec3 q{(p.x / pictureWidth - 0.5) * widthAtNear, (0.5 - p.y / pictureHeight) * heightAtNear,
                 p.z / pictureWidth * widthAtNear};
    depthSum += q.z;
    nearPlane.push_back(q);
  }
  const double depthOffset = depthSum / static_cast<double>(mesh.size());

  // The depth is only known relative to the face, so the face's distance comes from its size:
  // a first scale from the flat points, refined once on points unprojected with it.
  std::vector<Vec3> flat = nearPlane;
  for (Vec3& p : flat) p.z = -p.z;
  const std::optional<double> firstScale = fittedScale(canonical, flat);
  if (!firstScale) return std::nullopt;
  const std::optional<double> secondScale = fittedScale(canonical, unproject(nearPlane, depthOffset, *firstScale));
  if (!secondScale) return std::nullopt;

  const std::vector<Vec3> metric = unproject(nearPlane, depthOffset, *firstScale * *secondScale);
  const std::optional<SimilarityTransform> pose = fitSimilarity(canonical.vertices, metric, canonical.weights);
  if (!pose) return std::nullopt;
  return anglesFromRotation(pose->rotation);
}

}  // namespace platform::vision
