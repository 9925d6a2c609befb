#include "platform/vision/segmentation/mask_steadying.h"

#include <gtest/gtest.h>

namespace platform::vision {
namespace {

FloatPlane planeOf(std::vector<float> values, int width = 0) {
  FloatPlane plane;
  plane.resize(width > 0 ? width : static_cast<int>(values.size()),
               width > 0 ? static_cast<int>(values.size()) / width : 1);
  plane.values = std::move(values);
  return plane;
}

TEST(MaskSteadierTest, KeepsPartOfTheLastFrameWhereTheNewOneIsUnsureAndNoneWhereItIsSure) {
  MaskSteadier steadier(0.7f);
  FloatPlane first = planeOf({1.0f, 1.0f, 0.0f, 0.0f, 1.0f});
  steadier.steady(first);
  EXPECT_EQ(first.values, (std::vector<float>{1.0f, 1.0f, 0.0f, 0.0f, 1.0f}));  // nothing to steady by yet

  FloatPlane second = planeOf({0.0f, 0.5f, 0.5f, 1.0f, 0.9f});
  steadier.steady(second);
  EXPECT_FLOAT_EQ(second.values[0], 0.0f);          // sure: wins at once
  EXPECT_FLOAT_EQ(second.values[1], 0.5f + 0.35f);  // wholly unsure: keeps 0.7 of the last value's pull
  EXPECT_FLOAT_EQ(second.values[2], 0.5f - 0.35f);
  EXPECT_FLOAT_EQ(second.values[3], 1.0f);
  // Fairly sure (0.9, about 0.47 bits unsure): keeps a third of the pull.
  EXPECT_NEAR(second.values[4], 0.9f + 0.1f * 0.7f * 0.469f, 1e-3);

  // The next frame is steadied by the steadied values, not the raw ones.
  FloatPlane third = planeOf({0.5f, 0.5f, 0.5f, 0.5f, 0.5f});
  steadier.steady(third);
  EXPECT_FLOAT_EQ(third.values[1], 0.5f + 0.7f * 0.35f);
}

TEST(MaskSteadierTest, StartsAgainAfterAResetOrWhenTheGridChanges) {
  MaskSteadier steadier(0.7f);
  FloatPlane a = planeOf({1.0f, 1.0f, 1.0f, 1.0f}, 2);
  steadier.steady(a);
  FloatPlane otherGrid = planeOf({0.5f, 0.5f, 0.5f, 0.5f}, 4);  // 4 x 1 after 2 x 2
  steadier.steady(otherGrid);
  EXPECT_EQ(otherGrid.values, (std::vector<float>{0.5f, 0.5f, 0.5f, 0.5f}));

  steadier.reset();
  FloatPlane afterReset = planeOf({0.5f, 0.5f, 0.5f, 0.5f}, 4);
  steadier.steady(afterReset);
  EXPECT_EQ(afterReset.values, (std::vector<float>{0.5f, 0.5f, 0.5f, 0.5f}));

  MaskSteadier off(0.0f);
  FloatPlane before = planeOf({1.0f}), after = planeOf({0.5f});
  off.steady(before);
  off.steady(after);
  EXPECT_FLOAT_EQ(after.values[0], 0.5f);
}

}  // namespace
}  // namespace platform::vision
