#include "platform/vision/text/text_boxes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace platform::vision {
namespace {

// A probability map with filled axis-aligned rectangles of given probabilities.
struct Map {
  int width, height;
  std::vector<float> cells;
  Map(int w, int h) : width(w), height(h), cells(static_cast<size_t>(w) * h, 0.0f) {}
  Map& fill(int x0, int y0, int x1, int y1, float p) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) cells[static_cast<size_t>(y) * width + x] = p;
    return *this;
  }
  std::vector<TextBox> boxes(const TextBoxSettings& settings = {}) const {
    return textBoxes(cells.data(), width, height, settings);
  }
};

TEST(TextBoxes, ARegionBecomesItsRectangleGrownByTheUnclipRatio) {
  const std::vector<TextBox> boxes = Map(100, 40).fill(10, 10, 70, 20, 0.9f).boxes();
  ASSERT_EQ(boxes.size(), 1u);
  const RotatedRect& r = boxes[0].rect;
  // 60 x 10 cells; grown by area * 1.5 / perimeter = 600 * 1.5 / 140 on every side.
  const double grow = 600 * 1.5 / 140;
  EXPECT_NEAR(r.width, 60 + 2 * grow, 0.01);
  EXPECT_NEAR(r.height, 10 + 2 * grow, 0.01);
  EXPECT_NEAR(r.centerX, 40, 0.01);
  EXPECT_NEAR(r.centerY, 15, 0.01);
  EXPECT_NEAR(r.rotation, 0, 1e-9);
  EXPECT_NEAR(boxes[0].score, 0.9f, 1e-6);
}

TEST(TextBoxes, FaintSpeckledAndEmptyMapsGiveNoBoxes) {
  struct Case {
    const char* name;
    Map map;
  };
  const Case cases[] = {
      {"below the threshold", Map(50, 30).fill(5, 5, 45, 15, 0.25f)},
      {"region too faint on the whole", Map(50, 30).fill(5, 5, 45, 15, 0.5f)},
      {"speck thinner than the least side", Map(50, 30).fill(5, 5, 45, 6, 0.9f)},
      {"nothing", Map(50, 30)},
  };
  for (const Case& c : cases) EXPECT_TRUE(c.map.boxes().empty()) << c.name;
  EXPECT_TRUE(textBoxes(nullptr, 10, 10, {}).empty());
  EXPECT_TRUE(textBoxes(Map(1, 1).cells.data(), 0, 1, {}).empty());
}

TEST(TextBoxes, BoxesComeInReadingOrder) {
  // Two lines; the upper one in two parts, the right part a little lower than the left.
  Map map(200, 80);
  map.fill(120, 12, 180, 22, 0.9f).fill(10, 10, 90, 20, 0.9f).fill(10, 50, 150, 60, 0.9f);
  const std::vector<TextBox> boxes = map.boxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_LT(boxes[0].rect.centerX, boxes[1].rect.centerX);
  EXPECT_NEAR(boxes[0].rect.centerY, 15, 0.5);
  EXPECT_NEAR(boxes[1].rect.centerY, 17, 0.5);
  EXPECT_NEAR(boxes[2].rect.centerY, 55, 0.5);
}

TEST(TextBoxes, ATurnedLineKeepsItsTurnAndATallBoxReadsDownIt) {
  // A line turned by 20 degrees: cells within 4 of the segment from (20, 20) along the turn.
  Map turned(120, 80);
  const double angle = 20 * std::numbers::pi / 180;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 120; ++x) {
      const double u = (x + 0.5 - 20) * std::cos(angle) + (y + 0.5 - 20) * std::sin(angle);
      const double v = -(x + 0.5 - 20) * std::sin(angle) + (y + 0.5 - 20) * std::cos(angle);
      if (u >= 0 && u <= 80 && std::abs(v) <= 4) turned.cells[static_cast<size_t>(y) * 120 + x] = 0.9f;
    }
  std::vector<TextBox> boxes = turned.boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NEAR(boxes[0].rect.rotation, angle, 0.05);
  EXPECT_GT(boxes[0].rect.width, boxes[0].rect.height);

  // Text set down a column: the width runs along it.
  boxes = Map(40, 120).fill(15, 10, 25, 110, 0.9f).boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_GT(boxes[0].rect.width, boxes[0].rect.height);
  EXPECT_NEAR(std::abs(boxes[0].rect.rotation), std::numbers::pi / 2, 1e-6);
}

TEST(TextBoxes, CornersGoRoundAsTheTextReads) {
  const Corners c = cornersOf(RotatedRect{50, 20, 40, 10, 0});
  EXPECT_DOUBLE_EQ(c.points[0].x, 30);  // top-left
  EXPECT_DOUBLE_EQ(c.points[0].y, 15);
  EXPECT_DOUBLE_EQ(c.points[1].x, 70);  // top-right
  EXPECT_DOUBLE_EQ(c.points[2].y, 25);  // bottom-right
  EXPECT_DOUBLE_EQ(c.points[3].x, 30);  // bottom-left
}

}  // namespace
}  // namespace platform::vision
