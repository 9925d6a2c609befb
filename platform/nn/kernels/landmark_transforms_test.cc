// The landmark crop operators on cases worked out by hand: the operation tests hold them against
// the reference loops, these hold both to what the operators mean.
#include "platform/nn/kernels/landmark_transforms.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace platform::nn {
namespace {

std::array<float, 16> matrixOf(const std::vector<float>& landmarks, LandmarkCrop crop) {
  std::array<float, 16> m{};
  LandmarksToTransformMatrix(landmarks.data(), 3, std::move(crop), m.data()).run();
  return m;
}

void expectRows(const std::array<float, 16>& m, const std::array<float, 8>& rows) {
  for (size_t i = 0; i < 8; ++i) EXPECT_NEAR(m[i], rows[i], 1e-5f) << "element " << i;
  // The lower rows keep depth and the homogeneous coordinate.
  const std::array<float, 8> lower = {0, 0, 1, 0, 0, 0, 0, 1};
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(m[8 + i], lower[i]);
}

TEST(LandmarkTransformsTest, MatrixCoversTheSubsetLevelWithTheLine) {
  // A level square from (2, 2) to (6, 6), read by an 8 x 4 grid, widened 1.5 times: the grid's
  // centre (4, 2) lands on the square's centre, one grid step is 1.5 * 4 / 8 across, 4 / 4 down.
  LandmarkCrop level{
      .subset = {0, 1, 2, 3}, .leftIndex = 0, .rightIndex = 1, .scaleX = 1.5f, .outputHeight = 4, .outputWidth = 8};
  expectRows(matrixOf({2, 2, 0, 6, 2, 0, 6, 6, 0, 2, 6, 0}, level), {0.75f, 0, 0, 1, 0, 1, 0, 2});

  // The line from (2, 2) down to (2, 6) turns the grid a quarter: its x runs down the picture,
  // its y to the left. The subset spans x 2..4 and y 2..6; the grid's origin sits at (4, 2).
  LandmarkCrop turned{.subset = {0, 1, 2}, .leftIndex = 0, .rightIndex = 1, .outputHeight = 2, .outputWidth = 4};
  const std::array<float, 16> m = matrixOf({2, 2, 9, 2, 6, 9, 4, 4, 9, 100, 100, 9}, turned);
  expectRows(m, {0, -1, 0, 4, 1, 0, 0, 2});

  // A target rotation turns the grid by that much more against the line.
  LandmarkCrop target = level;
  target.targetRotation = 1.5707963f;
  target.scaleX = 1;
  target.outputWidth = 4;
  // Level line, target a quarter: the box is the same square; x now runs up, y to the right.
  expectRows(matrixOf({2, 2, 0, 6, 2, 0, 6, 6, 0, 2, 6, 0}, target), {0, 1, 0, 2, -1, 0, 0, 6});
}

TEST(LandmarkTransformsTest, BilinearSamplesAtCellCentresAndZeroOutside) {
  // Two channels, the second ten times the first: [[0, 1], [2, 3]].
  const std::vector<float> map = {0, 0, 1, 10, 2, 20, 3, 30};
  // Half a map cell per grid cell: centres of grid cells u = 1, 2 fall at 0.25, 0.75; 0 and 3 outside.
  const std::array<float, 16> half = {0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  std::vector<float> out(4 * 4 * 2, -1);
  TransformTensorBilinear(map.data(), {1, 2, 2, 2}, half.data(), out.data(), 4, 4).run();
  const float expected[4][4] = {{0, 0, 0, 0}, {0, 0.75f, 1.25f, 0}, {0, 1.75f, 2.25f, 0}, {0, 0, 0, 0}};
  for (int v = 0; v < 4; ++v)
    for (int u = 0; u < 4; ++u) {
      EXPECT_NEAR(out[(v * 4 + u) * 2], expected[v][u], 1e-6f) << u << "," << v;
      EXPECT_NEAR(out[(v * 4 + u) * 2 + 1], 10 * expected[v][u], 1e-5f) << u << "," << v;
    }

  // The identity reads each cell, the last row and column included.
  const std::vector<float> wide = {1, 2, 3, 4, 5, 6};
  const std::array<float, 16> identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  std::vector<float> copy(6, -1);
  TransformTensorBilinear(wide.data(), {1, 2, 3, 1}, identity.data(), copy.data(), 2, 3).run();
  EXPECT_EQ(copy, wide);

  // A matrix of NaN (landmarks that were NaN) reads nothing and gives zeros.
  const std::array<float, 16> broken = {NAN, NAN, 0, NAN, NAN, NAN, 0, NAN, 0, 0, 1, 0, 0, 0, 0, 1};
  TransformTensorBilinear(wide.data(), {1, 2, 3, 1}, broken.data(), copy.data(), 2, 3).run();
  EXPECT_EQ(copy, std::vector<float>(6, 0));
}

TEST(LandmarkTransformsTest, LandmarksGoThroughTheMatrixWithTheirDepthKept) {
  const std::array<float, 16> m = {0, -1, 0, 4, 1, 0, 0, 2, 0, 0, 1, 0, 0, 0, 0, 1};
  const std::vector<float> withDepth = {0, 0, 5, 4, 2, -1};
  std::vector<float> out(6);
  TransformLandmarks(withDepth.data(), 2, 3, m.data(), out.data()).run();
  EXPECT_EQ(out, (std::vector<float>{4, 2, 5, 2, 6, -1}));
  const std::vector<float> flat = {0, 0, 4, 2};
  std::vector<float> flatOut(4);
  TransformLandmarks(flat.data(), 2, 2, m.data(), flatOut.data()).run();
  EXPECT_EQ(flatOut, (std::vector<float>{4, 2, 2, 6}));
}

}  // namespace
}  // namespace platform::nn
