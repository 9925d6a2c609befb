#include "platform/vision/faces/face_regions.h"

#include <gtest/gtest.h>

#include <set>

namespace platform::vision {
namespace {

// Mesh point i at (i / 1000, 1 - i / 1000): every point can be told from every other.
std::vector<Point> numberedMesh() {
  std::vector<Point> mesh;
  for (int i = 0; i < kRefinedMeshPointCount; ++i) mesh.push_back({i / 1000.0, 1 - i / 1000.0});
  return mesh;
}

TEST(FaceRegions, EachRegionListsItsMeshPointsInTableOrder) {
  const std::vector<Point> mesh = numberedMesh();
  const std::optional<FaceLandmarks> regions = faceRegions(mesh, NormalizedRect{0, 0, 1, 1});
  ASSERT_TRUE(regions);
  const struct {
    const char* name;
    const std::optional<LandmarkRegion>& region;
    const std::vector<int>& indices;
  } cases[] = {
      {"leftEye", regions->leftEye, kLeftEyeContour},
      {"rightEye", regions->rightEye, kRightEyeContour},
      {"leftEyebrow", regions->leftEyebrow, kLeftEyebrowContour},
      {"rightEyebrow", regions->rightEyebrow, kRightEyebrowContour},
      {"outerLips", regions->outerLips, kOuterLipsContour},
      {"innerLips", regions->innerLips, kInnerLipsContour},
      {"nose", regions->nose, kNoseContour},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(c.region) << c.name;
    ASSERT_EQ(c.region->normalizedPoints.size(), c.indices.size()) << c.name;
    for (size_t i = 0; i < c.indices.size(); ++i) {
      EXPECT_DOUBLE_EQ(c.region->normalizedPoints[i].x, mesh[c.indices[i]].x) << c.name << " " << i;
      EXPECT_DOUBLE_EQ(c.region->normalizedPoints[i].y, mesh[c.indices[i]].y) << c.name << " " << i;
    }
  }
}

TEST(FaceRegions, TablesAreDistinctValidMeshPointsAndLeftAndRightNeverShare) {
  const std::vector<const std::vector<int>*> tables = {&kRightEyeContour,    &kLeftEyeContour,   &kRightEyebrowContour,
                                                       &kLeftEyebrowContour, &kOuterLipsContour, &kInnerLipsContour,
                                                       &kNoseContour};
  const size_t sizes[] = {16, 16, 10, 10, 20, 20, 24};
  for (size_t t = 0; t < tables.size(); ++t) {
    EXPECT_EQ(tables[t]->size(), sizes[t]) << t;
    const std::set<int> distinct(tables[t]->begin(), tables[t]->end());
    EXPECT_EQ(distinct.size(), tables[t]->size()) << t;
    for (const int index : *tables[t]) EXPECT_TRUE(index >= 0 && index < kFaceMeshPointCount) << t;
  }
  for (const auto& [left, right] :
       {std::pair{&kLeftEyeContour, &kRightEyeContour}, {&kLeftEyebrowContour, &kRightEyebrowContour}}) {
    const std::set<int> leftPoints(left->begin(), left->end());
    for (const int index : *right) EXPECT_EQ(leftPoints.count(index), 0u) << index;
  }
}

TEST(FaceRegions, PointsAreRelativeToTheFaceBoxAndPupilsSitAtTheIrisCentres) {
  std::vector<Point> mesh(kRefinedMeshPointCount, Point{0.45, 0.5});
  // The right eye's opening around (0.35, 0.55), its iris turned to the picture's left.
  for (size_t i = 0; i < kRightEyeContour.size(); ++i)
    mesh[kRightEyeContour[i]] = i % 2 ? Point{0.3, 0.5} : Point{0.4, 0.6};
  mesh[kRightIrisCentre] = {0.32, 0.56};
  mesh[kLeftIrisCentre] = {0.6, 0.55};
  const std::optional<FaceLandmarks> regions = faceRegions(mesh, NormalizedRect{0.2, 0.4, 0.5, 0.25});
  ASSERT_TRUE(regions);
  EXPECT_NEAR(regions->nose->normalizedPoints[0].x, 0.5, 1e-12);
  EXPECT_NEAR(regions->nose->normalizedPoints[0].y, 0.4, 1e-12);
  ASSERT_EQ(regions->rightPupil->normalizedPoints.size(), 1u);
  EXPECT_NEAR(regions->rightPupil->normalizedPoints[0].x, (0.32 - 0.2) / 0.5, 1e-12);
  EXPECT_NEAR(regions->rightPupil->normalizedPoints[0].y, (0.56 - 0.4) / 0.25, 1e-12);
  ASSERT_EQ(regions->leftPupil->normalizedPoints.size(), 1u);
  EXPECT_NEAR(regions->leftPupil->normalizedPoints[0].x, (0.6 - 0.2) / 0.5, 1e-12);
  EXPECT_NEAR(regions->leftPupil->normalizedPoints[0].y, (0.55 - 0.4) / 0.25, 1e-12);
}

TEST(FaceRegions, NeedsAWholeMeshAndABoxWithArea) {
  const std::vector<Point> mesh = numberedMesh();
  EXPECT_FALSE(faceRegions(std::span<const Point>(mesh).first(kRefinedMeshPointCount - 1), NormalizedRect{0, 0, 1, 1}));
  EXPECT_FALSE(faceRegions(std::span<const Point>(mesh).first(kFaceMeshPointCount), NormalizedRect{0, 0, 1, 1}));
  EXPECT_FALSE(faceRegions(mesh, NormalizedRect{0, 0, 0, 1}));
  EXPECT_FALSE(faceRegions(mesh, NormalizedRect{0, 0, 1, -1}));
}

}  // namespace
}  // namespace platform::vision
