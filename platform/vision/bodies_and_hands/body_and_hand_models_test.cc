#include "platform/vision/bodies_and_hands/body_and_hand_models.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <span>
#include <utility>
#include <vector>

#include "platform/vision/detection/detection_errors.h"

namespace platform::vision {
namespace {

constexpr double pi = std::numbers::pi;

void expectCrop(const RotatedRect& crop, const RotatedRect& expected, const char* what) {
  EXPECT_NEAR(crop.centerX, expected.centerX, 1e-9) << what;
  EXPECT_NEAR(crop.centerY, expected.centerY, 1e-9) << what;
  EXPECT_NEAR(crop.width, expected.width, 1e-9) << what;
  EXPECT_NEAR(crop.height, expected.height, 1e-9) << what;
  EXPECT_NEAR(crop.rotation, expected.rotation, 1e-9) << what;
}

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
      {"leaning left", person({0, 0}, {-30, -40}), {0, 0, 125, 125, -0.6435011087932844}},  // atan(3 / 4)
  };
  for (const auto& c : cases) expectCrop(bodyCrop(c.detection), c.crop, c.what);
  expectCrop(bodyCrop(Detection{0.9f, {0, 0, 10, 10}, {{5, 5}}}), {}, "without the body circle's keypoint");
}

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
  for (const auto& c : cases) expectCrop(handCrop(c.detection), c.crop, c.what);
  expectCrop(handCrop(Detection{0.9f, {0, 0, 10, 10}, {{1, 1}, {2, 2}}}), {}, "without the knuckle's keypoint");
}

// An upright hand: the wrist at the bottom, the fingers' bases above it, the finger tips far off
// (they bend, so they do not count).
std::vector<LandmarkPoint> uprightHand() {
  std::vector<LandmarkPoint> hand(21, LandmarkPoint{{100, -300}, 0});
  const std::pair<size_t, ImagePoint> steady[] = {
      {0, {100, 200}}, {1, {80, 190}},   {2, {70, 170}},   {3, {65, 150}},   {5, {85, 130}},   {6, {85, 110}},
      {9, {100, 125}}, {10, {100, 100}}, {13, {115, 130}}, {14, {115, 110}}, {17, {125, 140}}, {18, {130, 120}}};
  for (const auto& [index, at] : steady) hand[index].position = at;
  return hand;
}

TEST(HandCropFromLandmarks, FramesTheSteadyPointsTurnedFromWristToKnuckles) {
  // The steady points span 65 x 100 around (97.5, 150): a tenth of 100 towards the fingers, square
  // on 100, doubled.
  expectCrop(handCropFromLandmarks(uprightHand()), {97.5, 140, 200, 200, 0}, "fingers up");
  // The same hand turned a quarter, fingers to the right: the crop turns with it and moves right.
  std::vector<LandmarkPoint> turned = uprightHand();
  for (LandmarkPoint& p : turned) p.position = {300 - p.position.y, p.position.x};
  expectCrop(handCropFromLandmarks(turned), {160, 97.5, 200, 200, pi / 2}, "fingers right");
  const std::vector<LandmarkPoint> upright = uprightHand();
  expectCrop(handCropFromLandmarks(std::span(upright).first(20)), {}, "too few points");
}

// Needs the models fetched by scripts/setup.sh: every variant the service or the benchmark uses
// fits its settings.
TEST(BodyAndHandModels, EveryVariantLoadsWithItsSettings) {
  EXPECT_TRUE(SsdDetector::load(poseDetectorSettings()).ok());
  for (const char* file : {"palm_detection_lite.tflite", "palm_detection_full.tflite"}) {
    const Result<SsdDetector> detector = SsdDetector::load(palmDetectorSettings(file));
    EXPECT_TRUE(detector.ok()) << (detector.ok() ? "" : detector.error().description);
  }
  for (const char* file : {"pose_landmark_lite.tflite", "pose_landmark_full.tflite", "pose_landmark_heavy.tflite"}) {
    const Result<LandmarkModel> model = LandmarkModel::load(poseLandmarkSettings(file));
    EXPECT_TRUE(model.ok()) << (model.ok() ? "" : model.error().description);
  }
  for (const char* file : {"hand_landmark_lite.tflite", "hand_landmark_full.tflite"}) {
    const Result<LandmarkModel> model = LandmarkModel::load(handLandmarkSettings(file));
    EXPECT_TRUE(model.ok()) << (model.ok() ? "" : model.error().description);
  }
}

TEST(BodyAndHandModels, SettingsThatDoNotFitTheModelAreRefusedNamingTheFile) {
  SsdDetectorSettings palmKeypoints = poseDetectorSettings();
  palmKeypoints.keypointCount = 7;
  SsdDetectorSettings missing = poseDetectorSettings();
  missing.modelFile = "no_such_model.tflite";
  for (const SsdDetectorSettings& settings : {palmKeypoints, missing}) {
    const Result<SsdDetector> detector = SsdDetector::load(settings);
    ASSERT_FALSE(detector.ok()) << settings.modelFile;
    EXPECT_EQ(detector.error().domain, kDetectionDomain);
    EXPECT_EQ(detector.error().code, static_cast<int64_t>(DetectionError::modelUnavailable));
    EXPECT_NE(detector.error().description.find(settings.modelFile), std::string::npos) << detector.error().description;
  }

  LandmarkModelSettings handOnPose = handLandmarkSettings("pose_landmark_full.tflite");
  LandmarkModelSettings noHeatmap = poseLandmarkSettings("pose_landmark_full.tflite");
  noHeatmap.heatmap->output = "Identity_4";
  for (const LandmarkModelSettings& settings : {handOnPose, noHeatmap}) {
    const Result<LandmarkModel> model = LandmarkModel::load(settings);
    ASSERT_FALSE(model.ok());
    EXPECT_EQ(model.error().code, static_cast<int64_t>(DetectionError::modelUnavailable));
    EXPECT_NE(model.error().description.find("pose_landmark_full.tflite"), std::string::npos)
        << model.error().description;
  }
}

}  // namespace
}  // namespace platform::vision
