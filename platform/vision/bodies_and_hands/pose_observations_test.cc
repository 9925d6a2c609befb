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

TEST(BodyObservation, TakesEachJointFromItsModelPointInTheNormalisedFrame) {
  const BodyObservation body = bodyObservation(numberedPoints(33), 200, 100);
  const struct {
    Body joint;
    size_t point;
  } joints[] = {{Body::nose, 0},          {Body::leftEye, 2},     {Body::rightEye, 5},      {Body::leftEar, 7},
                {Body::rightEar, 8},      {Body::leftShoulder, 11}, {Body::rightShoulder, 12}, {Body::leftElbow, 13},
                {Body::rightElbow, 14},   {Body::leftWrist, 15},  {Body::rightWrist, 16},   {Body::leftHip, 23},
                {Body::rightHip, 24},     {Body::leftKnee, 25},   {Body::rightKnee, 26},    {Body::leftAnkle, 27},
                {Body::rightAnkle, 28}};
  for (const auto& [joint, i] : joints) {
    expectPoint(body.point(joint), (5.0 * i + 1) / 200, 1 - (2.0 * i + 1) / 100, 0.01f * i,
                std::to_string(i).c_str());
  }
  // Midpoints, with the lower confidence of the two.
  expectPoint(body.point(Body::neck), (56.0 + 61) / 2 / 200, 1 - (23.0 + 25) / 2 / 100, 0.11f, "neck");
  expectPoint(body.point(Body::root), (116.0 + 121) / 2 / 200, 1 - (47.0 + 49) / 2 / 100, 0.23f, "root");
  EXPECT_EQ(body.points.size(), 19u);
}

TEST(BodyObservation, JointsOffThePictureOrNotFiniteAreNotPlaced) {
  std::vector<LandmarkPoint> points = numberedPoints(33);
  points[0].position = {200, 100};   // the nose on the bottom-right corner: still in the picture
  points[11].position = {-0.5, 10};  // left shoulder just off the left edge
  points[24].position = {50, 100.5};  // right hip just below the picture
  points[2].position.x = std::numeric_limits<double>::quiet_NaN();
  points[5].confidence = std::numeric_limits<float>::quiet_NaN();
  points[7].position.y = std::numeric_limits<double>::infinity();
  const BodyObservation body = bodyObservation(points, 200, 100);
  expectPoint(body.point(Body::nose), 1, 0, 0, "nose");
  for (const Body gone : {Body::leftShoulder, Body::neck, Body::rightHip, Body::root, Body::leftEye, Body::rightEye,
                          Body::leftEar}) {
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
  points[4].position = {201, 10};                           // thumb tip off the picture
  const HandObservation hand = handObservation(points, 0.75f, 200, 100);
  EXPECT_EQ(hand.points.size(), 20u);
  EXPECT_FALSE(hand.point(Hand::thumbTip).has_value());
  expectPoint(hand.point(Hand::wrist), 1.0 / 200, 1 - 1.0 / 100, 0.75f, "wrist");
  expectPoint(hand.point(Hand::indexTip), 41.0 / 200, 1 - 17.0 / 100, 0.75f, "index tip");
  expectPoint(hand.point(Hand::littleTip), 101.0 / 200, 1 - 41.0 / 100, 0.75f, "little tip");
}

}  // namespace
}  // namespace platform::vision
