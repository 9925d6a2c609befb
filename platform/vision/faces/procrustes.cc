#include "platform/vision/faces/procrustes.h"

#include <cmath>

namespace platform::vision {

Vec3 operator*(const Matrix3& m, const Vec3& v) {
  return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
          m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
}

namespace {

using Matrix4 = std::array<std::array<double, 4>, 4>;

// The eigenvector of the largest eigenvalue of a symmetric 4 x 4 matrix, by cyclic Jacobi
// rotations (which converge for every symmetric matrix).
std::array<double, 4> dominantEigenvector(Matrix4 a) {
  Matrix4 v{};
  for (int i = 0; i < 4; ++i) v[i][i] = 1;
  for (int sweep = 0; sweep < 50; ++sweep) {
    double offDiagonal = 0, scale = 0;
    for (int p = 0; p < 4; ++p) {
      scale += a[p][p] * a[p][p];
      for (int q = p + 1; q < 4; ++q) offDiagonal += a[p][q] * a[p][q];
    }
    if (offDiagonal <= 1e-30 * (scale + 1e-300)) break;
    for (int p = 0; p < 3; ++p) {
      for (int q = p + 1; q < 4; ++q) {
        if (a[p][q] == 0) continue;
        const double theta = (a[q][q] - a[p][p]) / (2 * a[p][q]);
        const double t = (theta >= 0 ? 1 : -1) / (std::abs(theta) + std::sqrt(theta * theta + 1));
        const double c = 1 / std::sqrt(t * t + 1), s = t * c;
        for (int k = 0; k < 4; ++k) {  // columns p and q
          const double akp = a[k][p], akq = a[k][q];
          a[k][p] = c * akp - s * akq;
          a[k][q] = s * akp + c * akq;
        }
        for (int k = 0; k < 4; ++k) {  // rows p and q
          const double apk = a[p][k], aqk = a[q][k];
          a[p][k] = c * apk - s * aqk;
          a[q][k] = s * apk + c * aqk;
        }
        for (int k = 0; k < 4; ++k) {
          const double vkp = v[k][p], vkq = v[k][q];
          v[k][p] = c * vkp - s * vkq;
          v[k][q] = s * vkp + c * vkq;
        }
      }
    }
  }
  int best = 0;
  for (int i = 1; i < 4; ++i)
    if (a[i][i] > a[best][best]) best = i;
  return {v[0][best], v[1][best], v[2][best], v[3][best]};
}

// The weighted means of the points whose weight is positive, and the weights' total.
struct WeightedMeans {
  Vec3 source, target;
  double total = 0;
};

std::optional<WeightedMeans> weightedMeans(std::span<const Vec3> source, std::span<const Vec3> target,
                                           std::span<const double> weights) {
  WeightedMeans means;
  int weighted = 0;
  for (size_t i = 0; i < source.size(); ++i) {
    const double w = weights[i];
    if (!std::isfinite(w) || w < 0) return std::nullopt;
    if (w == 0) continue;
    ++weighted;
    means.total += w;
    means.source = {means.source.x + w * source[i].x, means.source.y + w * source[i].y,
                    means.source.z + w * source[i].z};
    means.target = {means.target.x + w * target[i].x, means.target.y + w * target[i].y,
                    means.target.z + w * target[i].z};
  }
  if (weighted < 3 || !(means.total > 0)) return std::nullopt;
  const double total = means.total;
  means.source = {means.source.x / total, means.source.y / total, means.source.z / total};
  means.target = {means.target.x / total, means.target.y / total, means.target.z / total};
  return means;
}

// Weighted cross-covariance s[a][b] = sum w * source_a * target_b of the centred points, and the
// weighted spread of each set about its mean.
struct Covariance {
  double s[3][3] = {};
  double sourceSpread = 0, targetSpread = 0;
};

Covariance covariance(std::span<const Vec3> source, std::span<const Vec3> target, std::span<const double> weights,
                      const WeightedMeans& means) {
  Covariance result;
  for (size_t i = 0; i < source.size(); ++i) {
    const double w = weights[i];
    if (w == 0) continue;
    const double a[3] = {source[i].x - means.source.x, source[i].y - means.source.y, source[i].z - means.source.z};
    const double b[3] = {target[i].x - means.target.x, target[i].y - means.target.y, target[i].z - means.target.z};
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) result.s[r][c] += w * a[r] * b[c];
    result.sourceSpread += w * (a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    result.targetSpread += w * (b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
  }
  return result;
}

// Horn: the unit quaternion of the best rotation is the dominant eigenvector of a matrix built
// from the cross-covariance.
std::optional<Matrix3> bestRotation(const double (&s)[3][3]) {
  const Matrix4 n = {{
      {s[0][0] + s[1][1] + s[2][2], s[1][2] - s[2][1], s[2][0] - s[0][2], s[0][1] - s[1][0]},
      {s[1][2] - s[2][1], s[0][0] - s[1][1] - s[2][2], s[0][1] + s[1][0], s[2][0] + s[0][2]},
      {s[2][0] - s[0][2], s[0][1] + s[1][0], -s[0][0] + s[1][1] - s[2][2], s[1][2] + s[2][1]},
      {s[0][1] - s[1][0], s[2][0] + s[0][2], s[1][2] + s[2][1], -s[0][0] - s[1][1] + s[2][2]},
  }};
  const std::array<double, 4> q = dominantEigenvector(n);
  const double norm = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
  if (!(norm > 0)) return std::nullopt;
  const double w = q[0] / norm, x = q[1] / norm, y = q[2] / norm, z = q[3] / norm;
  return Matrix3{{
      {1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
      {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
      {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)},
  }};
}

}  // namespace

std::optional<SimilarityTransform> fitSimilarity(std::span<const Vec3> source, std::span<const Vec3> target,
                                                 std::span<const double> weights) {
  if (source.size() != target.size() || source.size() != weights.size()) return std::nullopt;
  const std::optional<WeightedMeans> means = weightedMeans(source, target, weights);
  if (!means) return std::nullopt;
  const Covariance spread = covariance(source, target, weights, *means);
  if (!std::isfinite(spread.sourceSpread) || !std::isfinite(spread.targetSpread) ||
      !(spread.sourceSpread > 1e-12 * means->total) || !(spread.targetSpread > 1e-12 * means->total)) {
    return std::nullopt;
  }
  const std::optional<Matrix3> rotation = bestRotation(spread.s);
  if (!rotation) return std::nullopt;

  SimilarityTransform result;
  result.rotation = *rotation;
  // Least-squares scale from source to target: sum w * b . (R a) / sum w * |a|^2.
  const Vec3& sourceMean = means->source;
  const Vec3& targetMean = means->target;
  double alignment = 0;
  for (size_t i = 0; i < source.size(); ++i) {
    if (weights[i] == 0) continue;
    const Vec3 a =
        result.rotation * Vec3{source[i].x - sourceMean.x, source[i].y - sourceMean.y, source[i].z - sourceMean.z};
    alignment += weights[i] * (a.x * (target[i].x - targetMean.x) + a.y * (target[i].y - targetMean.y) +
                               a.z * (target[i].z - targetMean.z));
  }
  result.scale = alignment / spread.sourceSpread;
  if (!(result.scale > 0) || !std::isfinite(result.scale)) return std::nullopt;
  const Vec3 movedMean = result.rotation * sourceMean;
  result.translation = {targetMean.x - result.scale * movedMean.x, targetMean.y - result.scale * movedMean.y,
                        targetMean.z - result.scale * movedMean.z};
  return result;
}

}  // namespace platform::vision
