#include "platform/vision/faces/face_crop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace platform::vision {
namespace {

// A detection in picture pixels with the eyes as its first two keypoints.
Detection face(double x, double y, double w, double h, ImagePoint rightEye, ImagePoint leftEye) {
  return Detection{0.9f, {x, y, w, h}, {rightEye, leftEye, {0, 0}, {0, 0}, {0, 0}, {0, 0}}};
}

TEST(FaceMeshCrop, IsCentredOnTheBoxSquareOnItsLongerSideAndHalfAsLargeAgain) {
  const RotatedRect crop = faceMeshCrop(face(50, 25, 100, 25, {80, 30}, {120, 30}));
  EXPECT_DOUBLE_EQ(crop.centerX, 100);
  EXPECT_DOUBLE_EQ(crop.centerY, 37.5);
  EXPECT_DOUBLE_EQ(crop.width, 150);  // 100 x 25 pixels: square on 100, then x 1.5
  EXPECT_DOUBLE_EQ(crop.height, 150);
  EXPECT_DOUBLE_EQ(crop.rotation, 0);
}

TEST(FaceMeshCrop, TurnsSoThatTheEyesAreLevel) {
  // The left eye lower in the picture than the right: the crop turns clockwise with the eye line.
  EXPECT_NEAR(faceMeshCrop(face(20, 20, 60, 60, {40, 50}, {60, 70})).rotation, std::numbers::pi / 4, 1e-12);
  EXPECT_NEAR(faceMeshCrop(face(20, 20, 60, 60, {40, 50}, {80, 60})).rotation, 0.2449787, 1e-7);  // atan(10 / 40)
  // An upside-down face turns half a turn.
  EXPECT_NEAR(std::abs(faceMeshCrop(face(20, 20, 60, 60, {60, 50}, {40, 50})).rotation), std::numbers::pi, 1e-12);
}

TEST(LevelledCrop, TurnsTheCropOnlyWhenTheMeshsEyeCornersAreNotLevel) {
  const RotatedRect crop{100, 100, 80, 80, 0.05};
  std::vector<Vec3> mesh(468, Vec3{100, 100, 0});
  mesh[33] = {80, 100, 0};    // the person's right eye's outer corner
  mesh[263] = {120, 100, 0};  // the left one: level with it
  EXPECT_FALSE(levelledCrop(crop, mesh));

  mesh[263] = {120, 140, 0};  // 45 degrees down to the right: the face turned clockwise
  const std::optional<RotatedRect> turned = levelledCrop(crop, mesh);
  ASSERT_TRUE(turned);
  EXPECT_NEAR(turned->rotation, std::numbers::pi / 4, 1e-9);
  EXPECT_DOUBLE_EQ(turned->centerX, 100);
  EXPECT_DOUBLE_EQ(turned->width, 80);

  EXPECT_FALSE(levelledCrop(crop, std::span<const Vec3>(mesh).first(100)));
}

TEST(FaceMeshCropAround, FramesTheMeshsUprightBoxTurnedWithItsEyeCorners) {
  // Points spanning 60 x 40 pixels around (100, 80), the eye corners level.
  std::vector<Vec3> mesh(468, Vec3{100, 80, 0});
  mesh[0] = {70, 60, 5};
  mesh[1] = {130, 100, -5};
  mesh[33] = {85, 75, 0};
  mesh[263] = {115, 75, 0};
  std::optional<RotatedRect> crop = faceMeshCropAround(mesh);
  ASSERT_TRUE(crop);
  EXPECT_DOUBLE_EQ(crop->centerX, 100);
  EXPECT_DOUBLE_EQ(crop->centerY, 80);
  EXPECT_DOUBLE_EQ(crop->width, 90);  // square on the longer side, 60, then x 1.5
  EXPECT_DOUBLE_EQ(crop->height, 90);
  EXPECT_DOUBLE_EQ(crop->rotation, 0);

  // The left eye's corner lower than the right one's: the crop turns clockwise with them, around
  // the same upright box.
  mesh[263] = {115, 105, 0};
  crop = faceMeshCropAround(mesh);
  ASSERT_TRUE(crop);
  EXPECT_NEAR(crop->rotation, std::numbers::pi / 4, 1e-12);
  EXPECT_DOUBLE_EQ(crop->centerY, 82.5);  // the corner now reaches lower than the box did

  EXPECT_FALSE(faceMeshCropAround(std::span<const Vec3>(mesh).first(200)));
  mesh[5].x = std::nan("");
  EXPECT_FALSE(faceMeshCropAround(mesh));
}

TEST(MeshInPicture, MapsModelPixelsThroughTheCrop) {
  const float raw[] = {96, 96, 19.2f, 0, 0, 0, 192, 96, -9.6f};
  const std::vector<Vec3> level = meshInPicture(raw, 3, RotatedRect{100, 100, 96, 96, 0});
  ASSERT_EQ(level.size(), 3u);
  EXPECT_DOUBLE_EQ(level[0].x, 100);
  EXPECT_DOUBLE_EQ(level[0].y, 100);
  EXPECT_NEAR(level[0].z, 9.6, 1e-6);  // depth scales like x: the crop is half the model's size
  EXPECT_DOUBLE_EQ(level[1].x, 52);
  EXPECT_DOUBLE_EQ(level[1].y, 52);

  // Turned a quarter clockwise, the crop's right edge lies below its centre.
  const std::vector<Vec3> turned = meshInPicture(raw, 3, RotatedRect{100, 100, 96, 96, std::numbers::pi / 2});
  EXPECT_NEAR(turned[2].x, 100, 1e-9);
  EXPECT_NEAR(turned[2].y, 148, 1e-9);
  EXPECT_NEAR(turned[2].z, -4.8, 1e-6);
}

}  // namespace
}  // namespace platform::vision
