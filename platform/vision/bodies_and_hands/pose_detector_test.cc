#include "platform/vision/bodies_and_hands/pose_detector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace platform::vision {
namespace {

constexpr double pi = std::numbers::pi;

Detection person(ImagePoint hips, ImagePoint bodyCircle) { return {0.9f, {0, 0, 10, 10}, {hips, bodyCircle, {}, {}}}; }

TEST(BodyCrop, ASquareAroundTheHipsTurnedSoTheBodyPointsUp) {
  const struct {
    const char* what;
    Detection detection;
    RotatedRect crop;
  } cases[] = {
      {"standing", person({100, 200}, {100, 100}), {100, 200, 250, 250, 0}},
      {"lying, head to the right", person({100, 200}, {140, 200}), {100, 200, 100, 100, pi / 2}},
      {"upside down", person({50, 50}, {50, 70}), {50, 50, 50, 50, -pi}},
      {"leaning left", person({0, 0}, {-30, -40}), {0, 0, 125, 125, -std::atan2(3.0, 4.0)}},
  };
  for (const auto& c : cases) {
    const RotatedRect crop = bodyCrop(c.detection);
    EXPECT_NEAR(crop.centerX, c.crop.centerX, 1e-9) << c.what;
    EXPECT_NEAR(crop.centerY, c.crop.centerY, 1e-9) << c.what;
    EXPECT_NEAR(crop.width, c.crop.width, 1e-9) << c.what;
    EXPECT_NEAR(crop.height, c.crop.height, 1e-9) << c.what;
    EXPECT_NEAR(crop.rotation, c.crop.rotation, 1e-9) << c.what;
  }
}

TEST(BodyCrop, ADetectionWithoutItsKeypointsGivesAnEmptyCrop) {
  const RotatedRect crop = bodyCrop(Detection{0.9f, {0, 0, 10, 10}, {{5, 5}}});
  EXPECT_EQ(crop.width, 0);
  EXPECT_EQ(crop.height, 0);
}

TEST(PoseDetector, SettingsThatDoNotFitTheModelAreRefused) {
  SsdDetectorSettings settings;
  settings.modelFile = "pose_detection.tflite";
  settings.anchors = {224, 224, {8, 16, 32, 32, 32}};
  settings.keypointCount = 7;  // the palm detector's
  const Result<std::unique_ptr<SsdDetector>> detector = SsdDetector::load(settings);
  ASSERT_FALSE(detector.ok());
  EXPECT_NE(detector.error().description.find("pose_detection.tflite"), std::string::npos);

  settings.modelFile = "no_such_model.tflite";
  EXPECT_FALSE(SsdDetector::load(settings).ok());
}

}  // namespace
}  // namespace platform::vision
