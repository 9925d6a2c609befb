#include "platform/vision/detection/detection_decoding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace platform::vision {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Sigmoids worked out by hand: 1 / (1 + e^-x).
TEST(ScoreFromLogit, IsTheSigmoidOfTheLogit) {
  const std::pair<float, float> cases[] = {
      {0, 0.5f},    {2, 0.8807971f}, {-2, 0.1192029f}, {5, 0.9933071f}, {-0.1f, 0.4750208f},
      {1000, 1.0f}, {-1000, 0.0f},   {kInf, 1.0f},     {-kInf, 0.0f},
  };
  for (const auto& [logit, score] : cases) EXPECT_NEAR(scoreFromLogit(logit), score, 1e-7) << logit;
  EXPECT_TRUE(std::isnan(scoreFromLogit(kNaN)));
}

// Two anchors on a 100 x 50 input with one keypoint each (six values per row).
TEST(DecodeDetections, OffsetsAreInInputPixelsAroundTheAnchorCentre) {
  const std::vector<AnchorCentre> anchors = {{0.25, 0.5}, {0.75, 0.5}};
  const std::vector<float> boxes = {10, -5, 20, 10, 30,  5,  //
                                    0,  0,  50, 25, -25, 0};
  const std::vector<float> scores = {0, 3};
  const std::vector<Detection> found = decodeDetections(boxes, scores, anchors, {100, 50, 1, 0.5f});
  ASSERT_EQ(found.size(), 2u);
  EXPECT_FLOAT_EQ(found[0].score, 0.5f);
  EXPECT_NEAR(found[1].score, 0.9525741f, 1e-7);  // the sigmoid of 3
  EXPECT_NEAR(found[0].box.xMin, 0.25, 1e-12);    // centre 0.35, width 0.2
  EXPECT_NEAR(found[0].box.yMin, 0.3, 1e-12);     // centre 0.4, height 0.2
  EXPECT_NEAR(found[0].box.width, 0.2, 1e-12);
  EXPECT_NEAR(found[0].box.height, 0.2, 1e-12);
  ASSERT_EQ(found[0].keypoints.size(), 1u);
  EXPECT_NEAR(found[0].keypoints[0].x, 0.55, 1e-12);
  EXPECT_NEAR(found[0].keypoints[0].y, 0.6, 1e-12);
  EXPECT_NEAR(found[1].box.xMin, 0.5, 1e-12);
  EXPECT_NEAR(found[1].box.yMax(), 0.75, 1e-12);
  EXPECT_NEAR(found[1].keypoints[0].x, 0.5, 1e-12);
}

TEST(DecodeDetections, DropsLowScoresAndValuesThatAreNotFinite) {
  const std::vector<AnchorCentre> anchors(5, AnchorCentre{0.5, 0.5});
  const std::vector<float> boxes = {0,    0, 1,    1,  //
                                    0,    0, 1,    1,  //
                                    kNaN, 0, 1,    1,  //
                                    0,    0, kInf, 1,  //
                                    0,    0, 1,    1};
  const std::vector<float> scores = {-0.1f, kNaN, 5, 5, 5};
  const std::vector<Detection> found = decodeDetections(boxes, scores, anchors, {1, 1, 0, 0.5f});
  ASSERT_EQ(found.size(), 1u);
  EXPECT_NEAR(found[0].score, 0.9933071f, 1e-7);  // the sigmoid of 5
  EXPECT_TRUE(found[0].keypoints.empty());
}

TEST(DecodeDetections, ReadsNoRowBeyondTheShortestInput) {
  const std::vector<AnchorCentre> anchors(3, AnchorCentre{0.5, 0.5});
  const std::vector<float> boxes(4 * 3 - 1, 0.0f);  // the third row is incomplete
  const std::vector<float> scores(3, 10.0f);
  EXPECT_EQ(decodeDetections(boxes, scores, anchors, {1, 1, 0, 0.5f}).size(), 2u);
  EXPECT_EQ(decodeDetections(boxes, std::vector<float>(1, 10.0f), anchors, {1, 1, 0, 0.5f}).size(), 1u);
  EXPECT_EQ(decodeDetections(boxes, scores, std::span(anchors).first(0), {1, 1, 0, 0.5f}).size(), 0u);
  EXPECT_TRUE(decodeDetections(boxes, scores, anchors, {0, 1, 0, 0.5f}).empty());
  EXPECT_TRUE(decodeDetections(boxes, scores, anchors, {1, 1, -1, 0.5f}).empty());
}

}  // namespace
}  // namespace platform::vision
