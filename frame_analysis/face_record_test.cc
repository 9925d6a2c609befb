#include "frame_analysis/face_record.h"

#include <gtest/gtest.h>

namespace frame_analysis {
namespace {

using platform::vision::FaceLandmarks;
using platform::vision::FaceObservation;
using platform::vision::LandmarkRegion;
using platform::vision::NormalizedRect;

std::string json(const platform::JsonValue& value) { return platform::writeJson(value).value_or("<not written>"); }

FaceObservation faceAt(NormalizedRect box) {
  FaceObservation face;
  face.confidence = 0.75f;
  face.boundingBox = box;
  return face;
}

constexpr const char* kNoLandmarks =
    R"("landmarks":{"innerLips":[],"leftEye":[],"leftEyebrow":[],"leftPupil":[],"nose":[],"outerLips":[],)"
    R"("rightEye":[],"rightEyebrow":[],"rightPupil":[]})";

TEST(FaceRecord, WithoutLandmarksOrAnglesHasBoxConfidenceAndNineEmptyRegions) {
  const FaceObservation face = faceAt({0.25, 0.5, 0.2, 0.3});
  EXPECT_EQ(json(faceRecord(face, nullptr)),
            std::string(R"({"box":[0.25,0.5,0.2,0.3],"confidence":0.75,)") + kNoLandmarks + "}");
}

TEST(FaceRecord, PlacesRegionPointsThroughTheBox) {
  FaceObservation face = faceAt({0.25, 0.5, 0.2, 0.3});
  face.landmarks = FaceLandmarks{};
  face.landmarks->nose = LandmarkRegion{{{0.5, 0.5}, {0, 0}, {1, 1}}};
  face.landmarks->leftPupil = LandmarkRegion{};  // a region with no points
  const std::string record = json(faceRecord(face, nullptr));
  // 0.25 + 0.5 * 0.2 and 0.5 + 0.5 * 0.3 in 64-bit arithmetic, products first.
  EXPECT_NE(record.find(R"("nose":[[0.35,0.65],[0.25,0.5],[0.45,0.8]])"), std::string::npos) << record;
  EXPECT_NE(record.find(R"("leftPupil":[])"), std::string::npos) << record;
}

TEST(FaceRecord, WritesOnlyTheAnglesItHasInDegrees) {
  FaceObservation face = faceAt({0, 0, 1, 1});
  face.roll = 3.141592653589793 / 2;
  face.yaw = -0.5;
  const std::string record = json(faceRecord(face, nullptr));
  EXPECT_NE(record.find(R"("roll_degrees":90,"yaw_degrees":-28.64788975654116})"), std::string::npos) << record;
  EXPECT_EQ(record.find("pitch_degrees"), std::string::npos) << record;

  face.pitch = 0.0;
  EXPECT_NE(json(faceRecord(face, nullptr)).find(R"("pitch_degrees":0,)"), std::string::npos);
}

TEST(FaceRecord, ABoxWithNegativeExtentsIsWrittenAndUsedInStandardForm) {
  // The rectangle from x 0.45 back to 0.25 and from y 0.8 down to 0.5: the same box as
  // [0.25, 0.5, 0.2, 0.3], so its bottom-left corner and top-right corner stay where they are.
  FaceObservation face = faceAt({0.45, 0.8, -0.2, -0.3});
  face.landmarks = FaceLandmarks{};
  face.landmarks->nose = LandmarkRegion{{{0, 0}, {1, 1}}};
  const std::string record = json(faceRecord(face, nullptr));
  EXPECT_EQ(record.substr(0, 28), R"({"box":[0.25,0.5,0.2,0.3],"c)") << record;
  EXPECT_NE(record.find(R"("nose":[[0.25,0.5],[0.45,0.8]])"), std::string::npos) << record;
}

TEST(FaceRecord, KeepsBoxesThatReachOverTheEdge) {
  const FaceObservation face = faceAt({-0.1, 0.9, 0.3, 0.25});
  EXPECT_EQ(json(faceRecord(face, nullptr)).substr(0, 30), R"({"box":[-0.1,0.9,0.3,0.25],"co)");
}

TEST(FaceRecord, CarriesColoursOnlyWhenTheFrameImageIsGiven) {
  platform::media::Image image;
  image.width = 8;
  image.height = 8;
  image.rgb.assign(8 * 8 * 3, 51);
  const FaceObservation face = faceAt({0.25, 0.5, 0.5, 0.25});
  EXPECT_EQ(json(faceRecord(face, nullptr)).find("colours"), std::string::npos);
  const platform::JsonObject record = faceRecord(face, &image);
  ASSERT_EQ(record.count("colours"), 1u);
  EXPECT_EQ(std::get<platform::JsonArray>(record.at("colours").get()).size(), 48u);

  const FaceObservation outside = faceAt({3, 3, 0.1, 0.1});
  EXPECT_NE(json(faceRecord(outside, &image)).find(R"("colours":[])"), std::string::npos);
}

}  // namespace
}  // namespace frame_analysis
