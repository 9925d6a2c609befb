#include "platform/vision/faces/procrustes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace platform::vision {
namespace {

Matrix3 rotationAbout(int axis, double angle) {
  const double c = std::cos(angle), s = std::sin(angle);
  if (axis == 0) return {{{1, 0, 0}, {0, c, -s}, {0, s, c}}};
  if (axis == 1) return {{{c, 0, s}, {0, 1, 0}, {-s, 0, c}}};
  return {{{c, -s, 0}, {s, c, 0}, {0, 0, 1}}};
}

Matrix3 times(const Matrix3& a, const Matrix3& b) {
  Matrix3 m{};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 3; ++k) m[r][c] += a[r][k] * b[k][c];
  return m;
}

double determinant(const Matrix3& m) {
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

std::vector<Vec3> scatteredPoints() {
  std::vector<Vec3> points;
  for (int i = 0; i < 12; ++i)
    points.push_back({std::sin(i * 1.3) * 5, std::cos(i * 0.7) * 3, std::sin(i * 2.1 + 1) * 2});
  return points;
}

std::vector<Vec3> moved(const std::vector<Vec3>& points, const Matrix3& r, double scale, Vec3 t) {
  std::vector<Vec3> result;
  for (const Vec3& p : points) {
    const Vec3 q = r * p;
    result.push_back({scale * q.x + t.x, scale * q.y + t.y, scale * q.z + t.z});
  }
  return result;
}

TEST(Procrustes, RecoversAKnownRotationScaleAndTranslation) {
  const std::vector<Vec3> source = scatteredPoints();
  for (const auto& [a, b, c] : {std::tuple{0.3, -0.5, 2.0}, {3.0, 0.1, -1.2}, {0.0, 0.0, 0.0}, {-1.0, 1.4, 3.1}}) {
    const Matrix3 r = times(rotationAbout(2, a), times(rotationAbout(1, b), rotationAbout(0, c)));
    const std::vector<Vec3> target = moved(source, r, 2.5, {1, -2, 3});
    const std::optional<SimilarityTransform> fit =
        fitSimilarity(source, target, std::vector<double>(source.size(), 1.0));
    ASSERT_TRUE(fit);
    EXPECT_NEAR(fit->scale, 2.5, 1e-9);
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) EXPECT_NEAR(fit->rotation[i][j], r[i][j], 1e-9) << a << " " << b << " " << c;
    EXPECT_NEAR(fit->translation.x, 1, 1e-9);
    EXPECT_NEAR(fit->translation.y, -2, 1e-9);
    EXPECT_NEAR(fit->translation.z, 3, 1e-9);
  }
}

TEST(Procrustes, PointsWithoutWeightDoNotPullTheFit) {
  std::vector<Vec3> source = scatteredPoints();
  const Matrix3 r = rotationAbout(1, 0.4);
  std::vector<Vec3> target = moved(source, r, 1.0, {});
  source.push_back({0, 0, 0});
  target.push_back({100, 100, 100});  // far off, but weightless
  std::vector<double> weights(source.size(), 0.5);
  weights.back() = 0;
  const std::optional<SimilarityTransform> fit = fitSimilarity(source, target, weights);
  ASSERT_TRUE(fit);
  EXPECT_NEAR(fit->rotation[0][2], r[0][2], 1e-9);
  EXPECT_NEAR(fit->scale, 1, 1e-9);
}

TEST(Procrustes, AMirroredTargetStillGetsAProperRotation) {
  const std::vector<Vec3> source = scatteredPoints();
  std::vector<Vec3> target = source;
  for (Vec3& p : target) p.x = -p.x;
  const std::optional<SimilarityTransform> fit = fitSimilarity(source, target, std::vector<double>(source.size(), 1.0));
  ASSERT_TRUE(fit);
  EXPECT_NEAR(determinant(fit->rotation), 1, 1e-9);
}

TEST(Procrustes, ProblemsWithoutAUniqueAnswerGiveNothing) {
  const std::vector<Vec3> source = scatteredPoints();
  const std::vector<double> ones(source.size(), 1.0);
  const std::vector<Vec3> onePoint(source.size(), Vec3{1, 2, 3});
  EXPECT_FALSE(fitSimilarity(source, onePoint, ones));
  EXPECT_FALSE(fitSimilarity(onePoint, source, ones));
  EXPECT_FALSE(fitSimilarity(source, source, std::vector<double>(source.size() - 1, 1.0)));
  std::vector<double> two(source.size(), 0.0);
  two[0] = two[1] = 1;
  EXPECT_FALSE(fitSimilarity(source, source, two));
  std::vector<double> negative = ones;
  negative[3] = -1;
  EXPECT_FALSE(fitSimilarity(source, source, negative));
  std::vector<Vec3> withNan = source;
  withNan[2].y = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(fitSimilarity(source, withNan, ones));
}

}  // namespace
}  // namespace platform::vision
