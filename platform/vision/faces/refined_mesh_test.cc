#include "platform/vision/faces/refined_mesh.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/vision/faces/face_crop.h"
#include "platform/vision/faces/face_regions.h"

namespace platform::vision {
namespace {

// A crop whose pixels are the model's: the picture point of a raw value is the value itself.
const RotatedRect kModelSized{96, 96, 192, 192, 0};

struct RawOutputs {
  std::vector<float> mesh, lips, rightEye, leftEye, rightIris, leftIris;
  AttentionMeshOutputs view() const {
    return {mesh.data(), lips.data(), rightEye.data(), leftEye.data(), rightIris.data(), leftIris.data()};
  }
};

// Mesh point i at (i / 4, i / 8) with depth i / 16; each refined output's point k at an offset of
// its own, so that every moved point can be told apart.
RawOutputs numberedOutputs() {
  RawOutputs raw;
  for (int i = 0; i < kFaceMeshPointCount; ++i) raw.mesh.insert(raw.mesh.end(), {i / 4.0f, i / 8.0f, i / 16.0f});
  auto points = [](size_t count, float base) {
    std::vector<float> values;
    for (size_t k = 0; k < count; ++k) values.insert(values.end(), {base + k, base + 0.5f * k});
    return values;
  };
  raw.lips = points(80, 1000);
  raw.rightEye = points(71, 2000);
  raw.leftEye = points(71, 3000);
  raw.rightIris = points(5, 4000);
  raw.leftIris = points(5, 5000);
  return raw;
}

TEST(RefinedMesh, MovesTheLipAndEyePointsAndKeepsTheirDepth) {
  const RawOutputs raw = numberedOutputs();
  const std::vector<Vec3> points = refinedMeshInPicture(raw.view(), kModelSized);
  ASSERT_EQ(points.size(), size_t(kRefinedMeshPointCount));
  const struct {
    const std::vector<int>& indices;
    float base;
  } moved[] = {{kRefinedLipPoints, 1000}, {kRefinedRightEyePoints, 2000}, {kRefinedLeftEyePoints, 3000}};
  std::set<int> movedPoints;
  for (const auto& m : moved) {
    for (size_t k = 0; k < m.indices.size(); ++k) {
      const Vec3& p = points[m.indices[k]];
      EXPECT_NEAR(p.x, m.base + k, 1e-3) << m.base << " " << k;
      EXPECT_NEAR(p.y, m.base + 0.5 * k, 1e-3) << m.base << " " << k;
      EXPECT_NEAR(p.z, m.indices[k] / 16.0, 1e-4) << "depth stays the mesh's";
      movedPoints.insert(m.indices[k]);
    }
  }
  // The others stay where the mesh has them: the nose tip, for one.
  ASSERT_EQ(movedPoints.count(1), 0u);
  EXPECT_NEAR(points[1].x, 0.25, 1e-6);
  EXPECT_NEAR(points[1].y, 0.125, 1e-6);
}

TEST(RefinedMesh, IrisesFollowTheMeshAtTheOpeningsMeanDepth) {
  const RawOutputs raw = numberedOutputs();
  const std::vector<Vec3> points = refinedMeshInPicture(raw.view(), kModelSized);
  for (const auto& [centre, base, eye] : {std::tuple{kRightIrisCentre, 4000.0, &kRightEyeContour},
                                          std::tuple{kLeftIrisCentre, 5000.0, &kLeftEyeContour}}) {
    double depth = 0;
    for (int index : *eye) depth += index / 16.0;
    depth /= eye->size();
    for (int k = 0; k < 5; ++k) {
      EXPECT_NEAR(points[centre + k].x, base + k, 1e-3);
      EXPECT_NEAR(points[centre + k].y, base + 0.5 * k, 1e-3);
      EXPECT_NEAR(points[centre + k].z, depth, 1e-4);
    }
  }
}

TEST(RefinedMesh, ListsAreDistinctMeshPointsThatStartWithTheEyeOpenings) {
  for (const std::vector<int>* list : {&kRefinedLipPoints, &kRefinedRightEyePoints, &kRefinedLeftEyePoints}) {
    const std::set<int> distinct(list->begin(), list->end());
    EXPECT_EQ(distinct.size(), list->size());
    EXPECT_GE(*distinct.begin(), 0);
    EXPECT_LT(*distinct.rbegin(), kFaceMeshPointCount);
  }
  // The first 16 points of an eye's list are its opening, the eye region's contour.
  EXPECT_EQ(std::set<int>(kRefinedRightEyePoints.begin(), kRefinedRightEyePoints.begin() + 16),
            std::set<int>(kRightEyeContour.begin(), kRightEyeContour.end()));
  EXPECT_EQ(std::set<int>(kRefinedLeftEyePoints.begin(), kRefinedLeftEyePoints.begin() + 16),
            std::set<int>(kLeftEyeContour.begin(), kLeftEyeContour.end()));
  // The lips' outer and inner rings hold the lip regions' points.
  EXPECT_EQ(std::set<int>(kRefinedLipPoints.begin(), kRefinedLipPoints.begin() + 20),
            std::set<int>(kOuterLipsContour.begin(), kOuterLipsContour.end()));
  EXPECT_EQ(std::set<int>(kRefinedLipPoints.begin() + 20, kRefinedLipPoints.begin() + 40),
            std::set<int>(kInnerLipsContour.begin(), kInnerLipsContour.end()));
}

}  // namespace
}  // namespace platform::vision
