#include "platform/vision/faces/head_pose.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace platform::vision {
namespace {

constexpr double kDegree = std::numbers::pi / 180;

Matrix3 times(const Matrix3& a, const Matrix3& b) {
  Matrix3 m{};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 3; ++k) m[r][c] += a[r][k] * b[k][c];
  return m;
}

// Rz(roll) * Ry(yaw) * Rx(-pitch), angles in degrees.
Matrix3 headRotation(double yaw, double pitch, double roll) {
  const double y = yaw * kDegree, p = -pitch * kDegree, r = roll * kDegree;
  const Matrix3 rz = {{{std::cos(r), -std::sin(r), 0}, {std::sin(r), std::cos(r), 0}, {0, 0, 1}}};
  const Matrix3 ry = {{{std::cos(y), 0, std::sin(y)}, {0, 1, 0}, {-std::sin(y), 0, std::cos(y)}}};
  const Matrix3 rx = {{{1, 0, 0}, {0, std::cos(p), -std::sin(p)}, {0, std::sin(p), std::cos(p)}}};
  return times(rz, times(ry, rx));
}

TEST(HeadAngles, SplitRotationsIntoYawPitchAndRoll) {
  const struct {
    double yaw, pitch, roll;
  } cases[] = {{0, 0, 0}, {30, 0, 0}, {0, -20, 0}, {0, 0, 90}, {-25, 15, -170}, {60, -40, 10}};
  for (const auto& c : cases) {
    const HeadAngles angles = anglesFromRotation(headRotation(c.yaw, c.pitch, c.roll));
    EXPECT_NEAR(angles.yaw / kDegree, c.yaw, 1e-9);
    EXPECT_NEAR(angles.pitch / kDegree, c.pitch, 1e-9);
    EXPECT_NEAR(angles.roll / kDegree, c.roll, 1e-9);
  }
}

TEST(HeadAngles, SignsFollowWhereTheFacePoints) {
  // Camera axes: x to the viewer's right, y up, z towards the viewer; the face looks along its z.
  const double t = 0.3;
  // Face turned towards the viewer's right, the person's own left.
  EXPECT_GT(anglesFromRotation({{{std::cos(t), 0, std::sin(t)}, {0, 1, 0}, {-std::sin(t), 0, std::cos(t)}}}).yaw, 0);
  // Face looking up: its z axis tips towards +y.
  EXPECT_GT(anglesFromRotation({{{1, 0, 0}, {0, std::cos(t), std::sin(t)}, {0, -std::sin(t), std::cos(t)}}}).pitch, 0);
  // Face turned counter-clockwise as the viewer sees it.
  EXPECT_GT(anglesFromRotation({{{std::cos(t), -std::sin(t), 0}, {std::sin(t), std::cos(t), 0}, {0, 0, 1}}}).roll, 0);
}

// A face-like surface, symmetric left to right: rows of points curving back from the middle.
CanonicalFace syntheticFace() {
  CanonicalFace face;
  for (int row = -2; row <= 2; ++row) {
    for (int column = -3; column <= 3; ++column) {
      const double x = column * 2.0, y = row * 2.0;
      face.vertices.push_back({x, y, 5 - 0.15 * x * x - 0.05 * y * y});
      face.weights.push_back(row == 2 ? 0.0 : 1.0 + 0.1 * std::abs(column));
    }
  }
  face.vertices.push_back({0, -1, 7});  // the nose tip
  face.weights.push_back(2);
  return face;
}

struct Picture {
  int width, height;
};

// The face posed by `rotation` `distance` cm in front of the reference camera, as the mesh model
// reports it: pixels, and the depth relative to the face scaled like x at the face's distance.
std::vector<Vec3> photograph(const CanonicalFace& face, const Matrix3& rotation, double distance, Picture picture) {
  const double focal = picture.height / 2.0 / std::tan(31.5 * kDegree);
  std::vector<Vec3> mesh;
  for (const Vec3& v : face.vertices) {
    const Vec3 p = rotation * v;
    const double depth = distance - p.z;
    mesh.push_back({picture.width / 2.0 + focal * p.x / depth, picture.height / 2.0 - focal * p.y / depth,
                    (depth - distance) * focal / distance});
  }
  return mesh;
}

TEST(HeadAngles, FittedFromAPhotographedMeshMatchTheHeadsPose) {
  const CanonicalFace face = syntheticFace();
  const Picture picture{640, 480};
  const struct { double yaw, pitch, roll; } cases[] = {{0, 0, 0}, {20, 0, 0}, {0, 15, 0}, {0, 0, -30}, {-35, -10, 12}};
  for (const auto& c : cases) {
    const std::vector<Vec3> mesh = photograph(face, headRotation(c.yaw, c.pitch, c.roll), 60, picture);
    const std::optional<HeadAngles> angles = headAngles(mesh, picture.width, picture.height, face);
    ASSERT_TRUE(angles);
    EXPECT_NEAR(angles->yaw / kDegree, c.yaw, 1.0) << c.yaw << " " << c.pitch << " " << c.roll;
    EXPECT_NEAR(angles->pitch / kDegree, c.pitch, 1.0) << c.yaw << " " << c.pitch << " " << c.roll;
    EXPECT_NEAR(angles->roll / kDegree, c.roll, 1.0) << c.yaw << " " << c.pitch << " " << c.roll;
  }
  // Turned to the person's left, the nose tip shows right of the face's middle.
  const std::vector<Vec3> turned = photograph(face, headRotation(20, 0, 0), 60, picture);
  EXPECT_GT(turned.back().x, turned[17].x);
}

TEST(HeadAngles, AMirroredPictureNegatesYawAndRollAndATurnedOneAddsToRoll) {
  const CanonicalFace face = syntheticFace();
  const Picture picture{640, 480};
  const std::vector<Vec3> mesh = photograph(face, headRotation(25, 10, 15), 50, picture);
  const HeadAngles original = *headAngles(mesh, picture.width, picture.height, face);

  // The mesh model names points by the person's anatomy, so in the mirrored picture each point
  // takes the mirrored place of its left-right partner.
  std::vector<Vec3> mirrored = mesh;
  for (size_t i = 0; i + 1 < mesh.size(); ++i) {
    const size_t partner = i / 7 * 7 + (6 - i % 7);
    mirrored[i] = {picture.width - mesh[partner].x, mesh[partner].y, mesh[partner].z};
  }
  mirrored.back().x = picture.width - mesh.back().x;
  const HeadAngles flipped = *headAngles(mirrored, picture.width, picture.height, face);
  EXPECT_NEAR(flipped.yaw, -original.yaw, 1e-6);
  EXPECT_NEAR(flipped.roll, -original.roll, 1e-6);
  EXPECT_NEAR(flipped.pitch, original.pitch, 1e-6);

  // The picture turned a quarter counter-clockwise: it becomes 480 wide and 640 high.
  std::vector<Vec3> turned = mesh;
  for (Vec3& p : turned) p = {p.y, picture.width - p.x, p.z};
  const HeadAngles quarter = *headAngles(turned, picture.height, picture.width, face);
  EXPECT_NEAR(quarter.roll - original.roll, 90 * kDegree, 1 * kDegree);
  EXPECT_NEAR(quarter.yaw, original.yaw, 1 * kDegree);
  EXPECT_NEAR(quarter.pitch, original.pitch, 1 * kDegree);
}

TEST(HeadAngles, MeshesThatCannotBeFittedGiveNoAngles) {
  const CanonicalFace face = syntheticFace();
  const std::vector<Vec3> mesh = photograph(face, headRotation(0, 0, 0), 60, {640, 480});
  EXPECT_FALSE(headAngles(std::span<const Vec3>(mesh).first(mesh.size() - 1), 640, 480, face));
  EXPECT_FALSE(headAngles(mesh, 0, 480, face));
  EXPECT_FALSE(headAngles(std::vector<Vec3>(mesh.size(), Vec3{320, 240, 0}), 640, 480, face));
}

}  // namespace
}  // namespace platform::vision
