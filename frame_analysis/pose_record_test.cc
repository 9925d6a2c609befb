#include "frame_analysis/pose_record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace frame_analysis {
namespace {

using Body = platform::vision::BodyJoint;
using Hand = platform::vision::HandJoint;

std::string json(const platform::JsonValue& value) { return platform::writeJson(value).value_or("<not written>"); }

TEST(PoseRecord, WritesEveryBodyJointOfTheTableInKeyOrder) {
  platform::vision::BodyObservation body;
  float confidence = 0.5f;
  for (const auto& [key, joint] : bodyJoints) body.points[joint] = {{0.25, 0.75}, confidence};
  body.points[Body::leftKnee] = {{0.1, 0.1}, 1.0f};  // not in the table: never written
  EXPECT_EQ(json(poseRecord(body, bodyJoints)),
            R"({"points":{"leftElbow":[0.25,0.75,0.5],"leftHip":[0.25,0.75,0.5],"leftShoulder":[0.25,0.75,0.5],)"
            R"("leftWrist":[0.25,0.75,0.5],"neck":[0.25,0.75,0.5],"nose":[0.25,0.75,0.5],)"
            R"("rightElbow":[0.25,0.75,0.5],"rightHip":[0.25,0.75,0.5],"rightShoulder":[0.25,0.75,0.5],)"
            R"("rightWrist":[0.25,0.75,0.5]}})");
}

TEST(PoseRecord, LeavesOutJointsWithoutAPointAndKeepsZeroConfidence) {
  platform::vision::HandObservation hand;
  hand.points[Hand::wrist] = {{-0.05, 1.02}, 0.0f};
  hand.points[Hand::thumbTip] = {{0.3, 0.4}, 0.9f};
  hand.points[Hand::indexDIP] = {{0.3, 0.4}, 0.9f};
  EXPECT_EQ(json(poseRecord(hand, handJoints)),
            R"({"points":{"thumbTip":[0.3,0.4,0.8999999761581421],"wrist":[-0.05,1.02,0]}})");
}

// Such a point cannot be written as JSON; left in, it would make the whole frame line unwritable.
TEST(PoseRecord, LeavesOutPointsThatAreNotFiniteAndKeepsTheRest) {
  platform::vision::BodyObservation body;
  body.points[Body::nose] = {{0.5, 0.5}, 1.0f};
  body.points[Body::neck] = {{std::nan(""), 0.5}, 1.0f};
  body.points[Body::leftHip] = {{0.5, HUGE_VAL}, 1.0f};
  body.points[Body::rightHip] = {{0.5, 0.5}, std::numeric_limits<float>::quiet_NaN()};
  EXPECT_EQ(json(poseRecord(body, bodyJoints)), R"({"points":{"nose":[0.5,0.5,1]}})");
}

TEST(PoseRecord, AnObservationWithNoJointsGivesEmptyPoints) {
  EXPECT_EQ(json(poseRecord(platform::vision::BodyObservation{}, bodyJoints)), R"({"points":{}})");
  EXPECT_EQ(json(poseRecord(platform::vision::HandObservation{}, handJoints)), R"({"points":{}})");
}

}  // namespace
}  // namespace frame_analysis
