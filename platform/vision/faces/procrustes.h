// Weighted orthogonal Procrustes fit: the rotation, scale and translation that carry one set of
// 3D points onto another with the least weighted squared error.
#pragma once

#include <array>
#include <optional>
#include <span>

namespace platform::vision {

struct Vec3 {
  double x = 0;
  double y = 0;
  double z = 0;
};

// Row-major 3 x 3 matrix.
using Matrix3 = std::array<std::array<double, 3>, 3>;

Vec3 operator*(const Matrix3& m, const Vec3& v);

// target ≈ scale * rotation * source + translation.
struct SimilarityTransform {
  Matrix3 rotation{};  // proper rotation: orthonormal, determinant +1
  double scale = 1;
  Vec3 translation;
};

// The similarity transform minimising sum(weights[i] * |scale * R * source[i] + t - target[i]|^2),
// with the rotation found by Horn's quaternion method. The three spans must have the same length.
// Nothing when the problem has no unique answer: fewer than three points of positive weight, all
// sources (or all targets) at one point, non-finite input, or a scale that is not positive.
std::optional<SimilarityTransform> fitSimilarity(std::span<const Vec3> source, std::span<const Vec3> target,
                                                 std::span<const double> weights);

}  // namespace platform::vision
