#include "platform/vision/detection/rotated_rect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace platform::vision {
namespace {

constexpr double pi = std::numbers::pi;

TEST(NormalizeRadians, BringsAnglesIntoOneTurn) {
  const std::pair<double, double> cases[] = {{0, 0},
                                             {pi / 2, pi / 2},
                                             {pi, -pi},
                                             {-pi, -pi},
                                             {3 * pi / 2, -pi / 2},
                                             {-3 * pi / 2, pi / 2},
                                             {5.5 * pi, -pi / 2},
                                             {-7.5 * pi, pi / 2}};
  for (const auto& [angle, expected] : cases) EXPECT_NEAR(normalizeRadians(angle), expected, 1e-12) << angle;
}

// With the picture's y axis pointing down, "up" on screen is negative y.
TEST(AlignmentRotation, TurnsTheDirectionToTheTarget) {
  const struct {
    ImagePoint from, to;
    double target, rotation;
  } cases[] = {
      {{100, 200}, {100, 100}, pi / 2, 0},       // already pointing up
      {{100, 100}, {200, 100}, pi / 2, pi / 2},  // pointing right: turn a quarter clockwise
      {{100, 100}, {0, 100}, pi / 2, -pi / 2},   // pointing left
      {{100, 100}, {100, 200}, pi / 2, -pi},     // pointing down: half a turn
      {{0, 0}, {10, -10}, pi / 2, pi / 4},       // up and to the right
      {{0, 0}, {10, 0}, 0, 0},                   // level, target level (the face's eye line)
      {{0, 0}, {10, 10}, 0, pi / 4},             // falling to the right on screen: turn clockwise
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(alignmentRotation(c.from, c.to, c.target), c.rotation, 1e-12) << c.to.x << "," << c.to.y;
  }
}

// Whatever the rotation, the point the alignment aimed at lands straight above the centre of the
// upright crop; this ties alignmentRotation and pictureFromCrop to one convention.
TEST(AlignedSquare, PutsTheScalePointStraightAboveTheCentreOfTheCrop) {
  for (const ImagePoint to : {ImagePoint{130, 40}, ImagePoint{20, 95}, ImagePoint{100, 180}, ImagePoint{60, 60}}) {
    const ImagePoint centre{100, 100};
    const RotatedRect rect = alignedSquare(centre, to, pi / 2);
    EXPECT_NEAR(rect.width, 2 * std::hypot(to.x - 100, to.y - 100), 1e-9);
    EXPECT_EQ(rect.width, rect.height);
    const ImagePoint topMiddle = pictureFromCrop(rect, {0.5, 0});
    EXPECT_NEAR(topMiddle.x, to.x, 1e-9);
    EXPECT_NEAR(topMiddle.y, to.y, 1e-9);
  }
}

TEST(PictureFromCrop, HandComputedCorners) {
  const RotatedRect upright{100, 50, 40, 20, 0};
  const RotatedRect quarter{100, 50, 40, 20, pi / 2};
  const struct {
    RotatedRect rect;
    ImagePoint crop, picture;
  } cases[] = {
      {upright, {0, 0}, {80, 40}},      {upright, {1, 1}, {120, 60}},
      {upright, {0.5, 0.5}, {100, 50}}, {quarter, {1, 0.5}, {100, 70}},  // the crop's right edge is below the centre
      {quarter, {0.5, 0}, {110, 50}},                                    // the crop's top is to the right of the centre
      {quarter, {0, 0}, {110, 30}},
  };
  for (const auto& c : cases) {
    const ImagePoint p = pictureFromCrop(c.rect, c.crop);
    EXPECT_NEAR(p.x, c.picture.x, 1e-9) << c.crop.x << "," << c.crop.y;
    EXPECT_NEAR(p.y, c.picture.y, 1e-9) << c.crop.x << "," << c.crop.y;
  }
}

TEST(TransformRect, ShiftsAlongItsOwnAxesThenSquaresThenScales) {
  const struct {
    RotatedRect rect;
    RectTransformation transformation;
    RotatedRect expected;
  } cases[] = {
      {{100, 100, 40, 20, 0}, {2, 2, 0, -0.5, true}, {100, 90, 80, 80, 0}},
      {{100, 100, 40, 20, pi / 2}, {2, 2, 0, -0.5, true}, {110, 100, 80, 80, pi / 2}},  // "up" is to the right
      {{100, 100, 40, 20, pi}, {1, 1, 0.25, 0, false}, {90, 100, 40, 20, pi}},
      {{100, 100, 20, 40, 0}, {1.25, 1.5, 0, 0, true}, {100, 100, 50, 60, 0}},
      {{100, 100, 40, 20, 0.3}, {1.5, 1, 0, 0, false}, {100, 100, 60, 20, 0.3}},
  };
  for (const auto& c : cases) {
    const RotatedRect r = transformRect(c.rect, c.transformation);
    EXPECT_NEAR(r.centerX, c.expected.centerX, 1e-9);
    EXPECT_NEAR(r.centerY, c.expected.centerY, 1e-9);
    EXPECT_NEAR(r.width, c.expected.width, 1e-9);
    EXPECT_NEAR(r.height, c.expected.height, 1e-9);
    EXPECT_NEAR(r.rotation, c.expected.rotation, 1e-12);
  }
}

}  // namespace
}  // namespace platform::vision
