#include "platform/vision/detection/landmark_decoding.h"

#include <gtest/gtest.h>

#include <numbers>

namespace platform::vision {
namespace {

TEST(DecodeLandmarks, InputPixelsBecomeFractionsAndVisibilityLogitsScores) {
  const std::vector<float> raw = {128, 64,  9, 0, 7,  //
                                  0,   256, 9, 2, 7};
  const std::vector<LandmarkPoint> withVisibility = decodeLandmarks(raw, 2, 5, 3, 256, 256);
  ASSERT_EQ(withVisibility.size(), 2u);
  EXPECT_DOUBLE_EQ(withVisibility[0].position.x, 0.5);
  EXPECT_DOUBLE_EQ(withVisibility[0].position.y, 0.25);
  EXPECT_FLOAT_EQ(withVisibility[0].confidence, 0.5f);
  EXPECT_DOUBLE_EQ(withVisibility[1].position.y, 1);
  EXPECT_NEAR(withVisibility[1].confidence, 0.8807971f, 1e-7);  // the sigmoid of 2

  const std::vector<LandmarkPoint> plain = decodeLandmarks(raw, 2, 5, std::nullopt, 128, 512);
  EXPECT_DOUBLE_EQ(plain[0].position.x, 1);
  EXPECT_DOUBLE_EQ(plain[0].position.y, 0.125);
  EXPECT_EQ(plain[1].confidence, 0);
}

TEST(DecodeLandmarks, ReadsNothingPastTheRawValues) {
  const std::vector<float> raw(5 * 3 - 1, 1.0f);
  EXPECT_EQ(decodeLandmarks(raw, 39, 5, 3, 256, 256).size(), 2u);
  EXPECT_EQ(decodeLandmarks(raw, 1, 5, 3, 256, 256).size(), 1u);
  EXPECT_TRUE(decodeLandmarks(raw, 3, 1, std::nullopt, 256, 256).empty());
  EXPECT_TRUE(decodeLandmarks(raw, 3, 5, 5, 256, 256).empty());
}

// A 4 x 4 map with one channel, cold everywhere except the cells named hot.
std::vector<float> heatmapWithHotCells(std::initializer_list<std::pair<int, int>> hot) {
  std::vector<float> values(16, -100.0f);
  for (const auto& [row, col] : hot) values[row * 4 + col] = 100.0f;
  return values;
}

TEST(RefineFromHeatmap, MovesPointsToTheWeightedCentreOfTheirWindow) {
  const std::vector<float> twoHot = heatmapWithHotCells({{1, 1}, {1, 2}});
  const std::vector<float> cornerHot = heatmapWithHotCells({{0, 0}});
  const std::vector<float> cold = heatmapWithHotCells({});
  const struct {
    const char* what;
    const std::vector<float>& map;
    ImagePoint before, after;
  } cases[] = {
      {"between two hot cells", twoHot, {0.3, 0.3}, {1.5 / 4, 1.0 / 4}},
      {"window cut by the edge", cornerHot, {0.1, 0.1}, {0, 0}},
      {"nothing confident near", cold, {0.3, 0.3}, {0.3, 0.3}},
      {"hot cells out of reach", twoHot, {0.9, 0.9}, {0.9, 0.9}},
      {"outside the map", twoHot, {1.2, 0.3}, {1.2, 0.3}},
      {"just outside the map", twoHot, {-0.01, 0.3}, {-0.01, 0.3}},
  };
  for (const auto& c : cases) {
    std::vector<LandmarkPoint> points = {{c.before, 0.7f}};
    refineFromHeatmap(points, {c.map, 4, 4, 1}, 3, 0.5f);
    EXPECT_NEAR(points[0].position.x, c.after.x, 1e-9) << c.what;
    EXPECT_NEAR(points[0].position.y, c.after.y, 1e-9) << c.what;
    EXPECT_EQ(points[0].confidence, 0.7f) << c.what;
  }
}

TEST(RefineFromHeatmap, LeavesPointsAloneWhenTheMapDoesNotFit) {
  const std::vector<float> map = heatmapWithHotCells({{1, 1}});
  std::vector<LandmarkPoint> points = {{{0.3, 0.3}, 0}, {{0.3, 0.3}, 0}};
  refineFromHeatmap(points, {map, 4, 4, 1}, 3, 0.5f);
  EXPECT_NEAR(points[0].position.x, 1.0 / 4, 1e-9);
  EXPECT_EQ(points[1].position.x, 0.3);  // no channel for the second point
  refineFromHeatmap(points, {std::span(map).first(15), 4, 4, 1}, 3, 0.5f);
  EXPECT_EQ(points[1].position.x, 0.3);
}

TEST(ProjectFromCrop, MapsCropFractionsThroughTheRectangle) {
  std::vector<LandmarkPoint> points = {{{0.5, 0.5}, 0.1f}, {{0.5, 0}, 0.2f}};
  projectFromCrop(points, {100, 50, 40, 40, std::numbers::pi / 2});
  EXPECT_NEAR(points[0].position.x, 100, 1e-9);
  EXPECT_NEAR(points[0].position.y, 50, 1e-9);
  EXPECT_NEAR(points[1].position.x, 120, 1e-9);
  EXPECT_NEAR(points[1].position.y, 50, 1e-9);
  EXPECT_EQ(points[1].confidence, 0.2f);
}

TEST(BoundsOf, EnclosesThePoints) {
  const std::vector<LandmarkPoint> points = {{{3, 4}, 0}, {{-1, 10}, 0}, {{5, 6}, 0}};
  const DetectionBox box = boundsOf(points);
  EXPECT_EQ(box.xMin, -1);
  EXPECT_EQ(box.yMin, 4);
  EXPECT_EQ(box.width, 6);
  EXPECT_EQ(box.height, 6);
  EXPECT_EQ(boundsOf({}).area(), 0);
}

std::vector<LandmarkPoint> square(double dx, double dy, double side = 10) {
  return {{{dx, dy}, 0}, {{dx + side, dy}, 0}, {{dx, dy + side}, 0}, {{dx + side, dy + side}, 0}};
}

// The box diagonal of the 10 x 10 square is 14.1, so a tenth of it is 1.41.
TEST(SamePoints, OnlyNearlyIdenticalSetsAreOne) {
  const struct {
    const char* what;
    std::vector<LandmarkPoint> other;
    bool same;
  } cases[] = {
      {"identical", square(0, 0), true},
      {"moved by 1", square(1, 0), true},
      {"moved by 1.2 each way", square(1.2, 1.2), false},  // 1.70 away
      {"overlapping by most of their boxes", square(3, 0), false},
      {"side by side", square(12, 0), false},
      {"a point fewer", {{{0, 0}, 0}, {{10, 0}, 0}, {{0, 10}, 0}}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(samePoints(square(0, 0), c.other, 0.1), c.same) << c.what;
    EXPECT_EQ(samePoints(c.other, square(0, 0), 0.1), c.same) << c.what;
  }
  EXPECT_FALSE(samePoints({}, {}, 0.1));
  EXPECT_TRUE(samePoints(square(0, 0, 100), square(9, 0, 100), 0.1));  // the measure scales with size
}

}  // namespace
}  // namespace platform::vision
