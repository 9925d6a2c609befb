#include "platform/vision/text/line_joining.h"

#include <gtest/gtest.h>

#include <cmath>

namespace platform::vision {
namespace {

JoinableBox piece(double left, double right, double top, double bottom, bool unsure, bool text = true) {
  return JoinableBox{RotatedRect{(left + right) / 2, (top + bottom) / 2, right - left, bottom - top, 0}, text, unsure};
}

TEST(LineJoining, UnsurePiecesOfOneRowJoinAndOtherBoxesStayApart) {
  struct Case {
    const char* name;
    std::vector<JoinableBox> boxes;
    std::vector<std::vector<size_t>> lines;
  };
  const Case cases[] = {
      {"an Arabic line found as two words", {piece(60, 230, 134, 172, true), piece(240, 330, 134, 170, true)}, {{0, 1}}},
      {"a dot's box inside a piece",
       {piece(60, 230, 134, 172, true), piece(220, 233, 148, 154, true), piece(219, 330, 134, 170, true)},
       {{0, 1, 2}}},
      {"Hangul beside the English read", {piece(20, 90, 10, 50, true), piece(100, 200, 12, 50, false)}, {{0, 1}}},
      {"two sure lines", {piece(20, 90, 10, 50, false), piece(100, 200, 12, 50, false)}, {{0}, {1}}},
      {"too far apart", {piece(20, 90, 10, 50, true), piece(150, 250, 10, 50, true)}, {{0}, {1}}},
      {"rows one above the other", {piece(20, 200, 10, 50, true), piece(20, 200, 60, 100, true)}, {{0}, {1}}},
      {"a texture beside text", {piece(20, 90, 10, 50, true), piece(100, 200, 10, 50, true, false)}, {{0}, {1}}},
      {"none", {}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(linesOfBoxes(c.boxes), c.lines) << c.name;
}

TEST(LineJoining, TheJoinedBoxHoldsThePiecesInTheWidestOnesDirection) {
  const RotatedRect word{145, 153, 170, 38, 0.02};
  const RotatedRect dot{226, 151, 13, 6, -1.5708};  // a small box stood on end
  const RotatedRect rest{274, 152, 110, 36, 0.02};
  const RotatedRect around = boxAround({word, dot, rest});
  EXPECT_NEAR(around.rotation, 0.02, 1e-9);
  EXPECT_NEAR(around.width, 329.2 - 60.0, 2.0);
  EXPECT_NEAR(around.height, 40, 3.0);
  EXPECT_NEAR(around.centerX, (60.0 + 329.2) / 2, 2.0);
  EXPECT_NEAR(around.centerY, 153, 2.0);
}

}  // namespace
}  // namespace platform::vision
