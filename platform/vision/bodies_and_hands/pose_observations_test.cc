#include "platform/vision/bodies_and_hands/pose_observations.h"

#include <gtest/gtest.h>

#include <limits>

namespace platform::vision {
namespace {

using Body = BodyJoint;
using Hand = HandJoint;

// Point i of the model sits at its own spot of a 200 x 100 picture, so a joint taken from the
// wrong point shows.
std::vector<LandmarkPoint> numberedPoints(size_t count) {
  std::vector<LandmarkPoint> points;
  for (size_t i = 0; i < count; ++i) points.push_back({{5.0 * i + 1, 2.0 * i + 1}, 0.01f * i});
  return points;
}

void expectPoint(const std::optional<JointPoint>& point, double x, double y, float confidence, const char* what) {
  ASSERT_TRUE(point.has_value()) << what;
  EXPECT_NEAR(point->location.x, x, 1e-12) << what;
  EXPECT_NEAR(point->location.y, y, 1e-12) << what;
  EXPECT_FLOAT_EQ(point->confidence, confidence) << what;
}

// Point i lies at (5 i + 1, 2 i + 1) of 200 x 100 pixels with confidence 0.01 i: joint = model point
// i lands at x = (5 i + 1) / 200, y = 1 - (2 i + 1) / 100, worked out here by hand.
TEST(BodyObservation, TakesEachJointFromItsModelPointInTheNormalisedFrame) {
  const BodyObservation body = bodyObservation(numberedPoints(33), 200, 100);
  const struct {
    Body joint;
    double x, y;
    float confidence;
  } joints[] = {
      {Body::nose, 0.005, 0.99, 0},               // point 0
      {Body::leftEye, 0.055, 0.95, 0.02f},        // point 2
      {Body::rightEye, 0.13, 0.89, 0.05f},        // point 5
      {Body::leftEar, 0.18, 0.85, 0.07f},         // point 7
      {Body::rightEar, 0.205, 0.83, 0.08f},       // point 8
      {Body::leftShoulder, 0.28, 0.77, 0.11f},    // point 11
      {Body::rightShoulder, 0.305, 0.75, 0.12f},  // point 12
      {Body::leftElbow, 0.33, 0.73, 0.13f},       // point 13
      {Body::rightElbow, 0.355, 0.71, 0.14f},     // point 14
      {Body::leftWrist, 0.38, 0.69, 0.15f},       // point 15
      {Body::rightWrist, 0.405, 0.67, 0.16f},     // point 16
      {Body::leftHip, 0.58, 0.53, 0.23f},         // point 23
      {Body::rightHip, 0.605, 0.51, 0.24f},       // point 24
      {Body::leftKnee, 0.63, 0.49, 0.25f},        // point 25
      {Body::rightKnee, 0.655, 0.47, 0.26f},      // point 26
      {Body::leftAnkle, 0.68, 0.45, 0.27f},       // point 27
      {Body::rightAnkle, 0.705, 0.43, 0.28f},     // point 28
      // Midpoints, with the lower confidence of the two.
      {Body::neck, 0.2925, 0.76, 0.11f},  // of the shoulders
      {Body::root, 0.5925, 0.52, 0.23f},  // of the hips
  };
  for (const auto& j : joints)
    expectPoint(body.point(j.joint), j.x, j.y, j.confidence, std::to_string(static_cast<int>(j.joint)).c_str());
  EXPECT_EQ(body.points.size(), 19u);
}

TEST(BodyObservation, JointsOffThePictureOrNotFiniteAreNotPlaced) {
  std::vector<LandmarkPoint> points = numberedPoints(33);
  points[0].position = {200, 100};    // the nose on the bottom-right corner: still in the picture
  points[11].position = {-0.5, 10};   // left shoulder just off the left edge
  points[24].position = {50, 100.5};  // right hip just below the picture
  points[2].position.x = std::numeric_limits<double>::quiet_NaN();
  points[5].confidence = std::numeric_limits<float>::quiet_NaN();
  points[7].position.y = std::numeric_limits<double>::infinity();
  const BodyObservation body = bodyObservation(points, 200, 100);
  expectPoint(body.point(Body::nose), 1, 0, 0, "nose");
  for (const Body gone :
       {Body::leftShoulder, Body::neck, Body::rightHip, Body::root, Body::leftEye, Body::rightEye, Body::leftEar}) {
    EXPECT_FALSE(body.point(gone).has_value()) << static_cast<int>(gone);
  }
  EXPECT_TRUE(body.point(Body::rightShoulder).has_value());
  EXPECT_EQ(body.points.size(), 19u - 7u);
}

TEST(BodyObservation, AShortListOrAnEmptyPicturePlacesOnlyWhatItCan) {
  const BodyObservation upper = bodyObservation(numberedPoints(20), 200, 100);
  EXPECT_TRUE(upper.point(Body::neck).has_value());
  EXPECT_FALSE(upper.point(Body::leftHip).has_value());
  EXPECT_FALSE(upper.point(Body::root).has_value());
  EXPECT_TRUE(bodyObservation({}, 200, 100).points.empty());
  EXPECT_TRUE(bodyObservation(numberedPoints(33), 0, 100).points.empty());
}

TEST(HandObservation, EveryJointCarriesThePresenceScore) {
  std::vector<LandmarkPoint> points = numberedPoints(22);  // a point more than the model has
  // The palm, wrist (1, 1) to the middle finger's base (46, 19), is 48.5 pixels long: points
  // less than 4.85 pixels beyond the picture's edge are placed where they are, others not.
  points[4].position = {205, 10};  // thumb tip off the picture
  points[8].position = {-4, 50};   // index tip just beyond the left edge
  points[12].position = {100, 104.9};
  points[16].position = {100, 104.8};
  const HandObservation hand = handObservation(points, 0.75f, 200, 100);
  EXPECT_EQ(hand.points.size(), 19u);
  EXPECT_FALSE(hand.point(Hand::thumbTip).has_value());
  EXPECT_FALSE(hand.point(Hand::middleTip).has_value());
  expectPoint(hand.point(Hand::wrist), 0.005, 0.99, 0.75f, "wrist");           // point 0
  expectPoint(hand.point(Hand::indexTip), -0.02, 0.5, 0.75f, "index tip");     // point 8
  expectPoint(hand.point(Hand::ringTip), 0.5, -0.048, 0.75f, "ring tip");      // point 16
  expectPoint(hand.point(Hand::littleTip), 0.505, 0.59, 0.75f, "little tip");  // point 20
}

}  // namespace
}  // namespace platform::vision
