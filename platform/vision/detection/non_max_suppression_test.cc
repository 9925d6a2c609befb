#include "platform/vision/detection/non_max_suppression.h"

#include <gtest/gtest.h>

namespace platform::vision {
namespace {

TEST(IntersectionOverUnion, HandComputedCases) {
  const struct {
    DetectionBox a, b;
    double iou;
  } cases[] = {
      {{0, 0, 2, 2}, {1, 1, 2, 2}, 1.0 / 7}, {{0, 0, 2, 2}, {0, 0, 2, 2}, 1},
      {{0, 0, 4, 4}, {1, 1, 2, 2}, 0.25},    {{0, 0, 2, 2}, {2, 0, 2, 2}, 0},  // touching edges
      {{0, 0, 2, 2}, {5, 5, 2, 2}, 0},       {{0, 0, 0, 2}, {0, 0, 2, 2}, 0},  // empty
      {{0, 0, -2, 2}, {-2, 0, 2, 2}, 0},                                       // a negative extent is no box at all
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(intersectionOverUnion(c.a, c.b), c.iou, 1e-12);
    EXPECT_NEAR(intersectionOverUnion(c.b, c.a), c.iou, 1e-12);
  }
}

Detection detection(float score, DetectionBox box, ImagePoint keypoint) { return {score, box, {keypoint}}; }

TEST(WeightedNonMaxSuppression, MergesOverlapsByScoreAndKeepsTheBestScore) {
  const std::vector<Detection> found =
      weightedNonMaxSuppression({detection(0.6f, {1, 1, 10, 10}, {6, 6}), detection(0.8f, {20, 20, 10, 10}, {25, 25}),
                                 detection(0.9f, {0, 0, 10, 10}, {5, 5})},
                                0.3);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_FLOAT_EQ(found[0].score, 0.9f);
  EXPECT_NEAR(found[0].box.xMin, 0.4, 1e-6);  // (0 * 0.9 + 1 * 0.6) / 1.5
  EXPECT_NEAR(found[0].box.yMin, 0.4, 1e-6);
  EXPECT_NEAR(found[0].box.width, 10, 1e-6);  // right edge (10 * 0.9 + 11 * 0.6) / 1.5 = 10.4
  EXPECT_NEAR(found[0].keypoints[0].x, 5.4, 1e-6);
  EXPECT_NEAR(found[0].keypoints[0].y, 5.4, 1e-6);
  EXPECT_FLOAT_EQ(found[1].score, 0.8f);  // far away: untouched
  EXPECT_NEAR(found[1].box.xMin, 20, 1e-12);
  EXPECT_NEAR(found[1].keypoints[0].x, 25, 1e-12);
}

// Overlap is measured against the group's best detection only: a box that overlaps a suppressed
// neighbour but not the best one stays a detection of its own.
TEST(WeightedNonMaxSuppression, GroupsAroundTheBestDetectionOnly) {
  const std::vector<Detection> found =
      weightedNonMaxSuppression({detection(0.9f, {0, 0, 10, 10}, {0, 0}), detection(0.8f, {3, 0, 10, 10}, {0, 0}),
                                 detection(0.7f, {6, 0, 10, 10}, {0, 0})},
                                0.3);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_FLOAT_EQ(found[1].score, 0.7f);
  EXPECT_NEAR(found[1].box.xMin, 6, 1e-12);
}

TEST(WeightedNonMaxSuppression, EmptyAndZeroScores) {
  EXPECT_TRUE(weightedNonMaxSuppression({}, 0.3).empty());
  const std::vector<Detection> found =
      weightedNonMaxSuppression({detection(0, {0, 0, 1, 1}, {0.5, 0.5}), detection(0, {0, 0, 1, 1}, {1, 1})}, 0.3);
  ASSERT_EQ(found.size(), 1u);  // no weight to average by: the first is kept as it is
  EXPECT_EQ(found[0].keypoints[0].x, 0.5);
}

}  // namespace
}  // namespace platform::vision
