#include "platform/vision/bodies_and_hands/palm_detector.h"

#include <gtest/gtest.h>

#include <numbers>

namespace platform::vision {
namespace {

constexpr double pi = std::numbers::pi;

// A 20 x 40 palm box centred on (100, 110), with the wrist (keypoint 0) and the middle finger's
// knuckle (keypoint 2) placed as given.
Detection palm(ImagePoint wrist, ImagePoint knuckle) {
  return {0.9f, {90, 90, 20, 40}, {wrist, {}, knuckle, {}, {}, {}, {}}};
}

TEST(HandCrop, MovesTowardsTheFingersSquaresAndEnlarges) {
  const struct {
    const char* what;
    Detection detection;
    RotatedRect crop;
  } cases[] = {
      // Fingers up: half the box height (20) upwards, square on the long side (40), times 2.6.
      {"fingers up", palm({100, 130}, {100, 90}), {100, 90, 104, 104, 0}},
      // Fingers to the right: the crop's "up" is the picture's right.
      {"fingers right", palm({80, 110}, {120, 110}), {120, 110, 104, 104, pi / 2}},
      {"fingers down", palm({100, 90}, {100, 130}), {100, 130, 104, 104, -pi}},
  };
  for (const auto& c : cases) {
    const RotatedRect crop = handCrop(c.detection);
    EXPECT_NEAR(crop.centerX, c.crop.centerX, 1e-9) << c.what;
    EXPECT_NEAR(crop.centerY, c.crop.centerY, 1e-9) << c.what;
    EXPECT_NEAR(crop.width, c.crop.width, 1e-9) << c.what;
    EXPECT_NEAR(crop.height, c.crop.height, 1e-9) << c.what;
    EXPECT_NEAR(crop.rotation, c.crop.rotation, 1e-9) << c.what;
  }
  EXPECT_EQ(handCrop(Detection{0.9f, {0, 0, 10, 10}, {{1, 1}, {2, 2}}}).width, 0);
}

}  // namespace
}  // namespace platform::vision
