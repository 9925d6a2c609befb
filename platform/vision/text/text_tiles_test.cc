#include "platform/vision/text/text_tiles.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/vision/text/neural_text_reader.h"

namespace platform::vision {
namespace {

DetectedLine line(double left, double top, double width, double height, float score = 0.8f) {
  return DetectedLine{RotatedRect{left + width / 2, top + height / 2, width, height, 0}, score};
}

struct Box {
  double left, top, right, bottom;
};

Box boxOf(const DetectedLine& l) {
  return Box{l.box.centerX - l.box.width / 2, l.box.centerY - l.box.height / 2, l.box.centerX + l.box.width / 2,
             l.box.centerY + l.box.height / 2};
}

TEST(TextTiles, TilesCoverTheAreaOverlappingAndWithinTheDetectorsSide) {
  struct Case {
    PictureArea area;
    double scale;
    size_t tiles;
  };
  for (const Case& c : {Case{{0, 0, 1400, 4040}, 0.71, 4}, Case{{0, 0, 1400, 2000}, 1.0, 6},
                        Case{{0, 0, 500, 400}, 0.5, 1}, Case{{100, 50, 3000, 1000}, 1.0, 4}}) {
    const std::vector<PictureArea> tiles = tilesOver(c.area, c.scale);
    ASSERT_EQ(tiles.size(), c.tiles) << c.area.width << "x" << c.area.height;
    for (const PictureArea& t : tiles) {
      EXPECT_LE(t.width * c.scale, kTileSide + 1);
      EXPECT_LE(t.height * c.scale, kTileSide + 1);
      EXPECT_GE(t.left, c.area.left);
      EXPECT_GE(t.top, c.area.top);
      EXPECT_LE(t.left + t.width, c.area.left + c.area.width);
      EXPECT_LE(t.top + t.height, c.area.top + c.area.height);
    }
    // Every pixel lies in a tile, and neighbours share at least the overlap.
    for (int y = c.area.top; y < c.area.top + c.area.height; y += 7) {
      for (int x = c.area.left; x < c.area.left + c.area.width; x += 7) {
        bool inside = false;
        for (const PictureArea& t : tiles) {
          inside = inside || (x >= t.left && x < t.left + t.width && y >= t.top && y < t.top + t.height);
        }
        ASSERT_TRUE(inside) << x << "," << y;
      }
    }
    for (size_t i = 1; i < tiles.size(); ++i) {
      if (tiles[i].top == tiles[i - 1].top) {
        EXPECT_GE(tiles[i - 1].left + tiles[i - 1].width - tiles[i].left, kTileOverlap / c.scale - 1);
      }
    }
  }
  EXPECT_TRUE(tilesOver(PictureArea{0, 0, 0, 10}, 1.0).empty());
  EXPECT_TRUE(tilesOver(PictureArea{0, 0, 10, 10}, 0.0).empty());
}

// A picture of `width` x `height` grey pixels with its whole-picture map (at `scale`).
struct Look {
  std::vector<uint8_t> pixels;
  media::ImageView image;
  std::vector<float> cells;
  WholeMap map;
  Look(int width, int height, double scale) : pixels(static_cast<size_t>(width) * height, 200) {
    image = media::ImageView{pixels.data(), width, height, width, media::PixelFormat::gray8};
    const int mapWidth = static_cast<int>(width * scale), mapHeight = static_cast<int>(height * scale);
    cells.assign(static_cast<size_t>(mapWidth) * mapHeight, 0.0f);
    map = WholeMap{cells.data(), mapWidth, mapHeight, scale};
  }
  void ink(int left, int top, int width, int height) {
    for (int y = top; y < top + height; ++y) {
      for (int x = left; x < left + width; x += 2) pixels[static_cast<size_t>(y) * image.width + x] = 20;
    }
  }
  void text(int left, int top, int width, int height) {  // map cells
    for (int y = top; y < top + height; ++y) {
      for (int x = left; x < left + width; ++x) cells[static_cast<size_t>(y) * map.width + x] = 0.9f;
    }
  }
};

TEST(TextTiles, AWholeLookThatSawItsPrintLooksNoCloser) {
  Look sign(2000, 1500, 0.48);
  sign.text(100, 100, 500, 40);
  const std::vector<DetectedLine> read = {line(180, 180, 1100, 120)};
  EXPECT_TRUE(smallPrintTiles(sign.image, sign.map, read).tiles.empty());
  // The detector saw the picture at its own size: nothing could be closer.
  Look small(800, 600, 1.0);
  EXPECT_TRUE(smallPrintTiles(small.image, small.map, {}).tiles.empty());
}

TEST(TextTiles, DoubtsSendAProbeWhereThePrintLikelyIs) {
  // Nothing read: the probe goes to the busiest tile, here the print at the page's foot.
  Look page(1400, 4040, 960.0 / 4040);
  page.ink(100, 3500, 1200, 400);
  CloserLook closer = smallPrintTiles(page.image, page.map, {});
  ASSERT_GT(closer.tiles.size(), 1u);
  EXPECT_GT(closer.scale, page.map.scale);
  EXPECT_LE(closer.scale, 1.0);
  const PictureArea& probe = closer.tiles[closer.probe];
  EXPECT_GE(probe.top + probe.height, 3900);

  // A block of print seen as one tall region: the probe goes where its text is on the map.
  Look block(1400, 4040, 960.0 / 4040);
  block.text(50, 20, 230, 900);
  closer = smallPrintTiles(block.image, block.map, {DetectedLine{RotatedRect{700, 2000, 3800, 960, -1.57}, 0.9f}});
  EXPECT_FALSE(closer.tiles.empty());

  // Specks on the map outside any line read: the probe goes to them.
  Look specks(1400, 2000, 0.48);
  specks.text(40, 800, 300, 100);
  closer = smallPrintTiles(specks.image, specks.map, {line(100, 100, 600, 60)});
  ASSERT_FALSE(closer.tiles.empty());
  const PictureArea& near = closer.tiles[closer.probe];
  EXPECT_LE(near.top, 800 / 0.48);
  EXPECT_GE(near.top + near.height, 900 / 0.48);
}

TEST(TextTiles, AProbeShowsSmallPrintOnlyWhenItFindsSeveralLinesTheWholeLookCouldNotRead) {
  const double whole = 0.24, closer = 0.72;
  const std::vector<DetectedLine> print = {line(0, 0, 900, 20), line(0, 20, 900, 20), line(0, 40, 900, 20)};
  EXPECT_TRUE(holdsSmallPrint(print, whole, closer));
  EXPECT_FALSE(holdsSmallPrint({print[0], print[1]}, whole, closer));
  // A sign's letters, legible to the whole look too.
  EXPECT_FALSE(holdsSmallPrint({line(0, 0, 900, 80), line(0, 90, 900, 80), line(0, 180, 900, 80)}, whole, closer));
  // Specks too small even for the closer look.
  EXPECT_FALSE(holdsSmallPrint({line(0, 0, 9, 9), line(0, 20, 9, 9), line(0, 40, 9, 9)}, whole, closer));
}

TEST(TextTiles, MergedLinesAreWholeOnceEachAndInReadingOrder) {
  const int height = 2000;
  const double scale = 1.0;
  // Two rows of two tiles: rows overlap in 800..1100, columns in 800..1100.
  TileLines topLeft{{0, 0, 1100, 1100}, scale, {}}, topRight{{800, 0, 1100, 1100}, scale, {}};
  TileLines bottomLeft{{0, 800, 1100, 1200}, scale, {}}, bottomRight{{800, 800, 1100, 1200}, scale, {}};
  // A line crossing the seam between the columns, found in two pieces.
  topLeft.lines.push_back(line(100, 100, 1000, 20));
  topRight.lines.push_back(line(900, 101, 800, 20));
  // A line inside the rows' overlap, found whole by both rows (and twice, side by side).
  topLeft.lines.push_back(line(100, 900, 500, 20));
  bottomLeft.lines.push_back(line(101, 901, 500, 20));
  // A line cut by the top row's bottom edge: a sliver there, whole in the row below.
  topLeft.lines.push_back(line(100, 1090, 600, 12));
  bottomLeft.lines.push_back(line(100, 1090, 600, 20));
  // An ordinary line of the lower row.
  bottomRight.lines.push_back(line(900, 1500, 700, 20));
  const std::vector<DetectedLine> merged =
      mergeTileLines({}, 0.48, {topLeft, topRight, bottomLeft, bottomRight}, height);
  ASSERT_EQ(merged.size(), 4u);
  const Box seam = boxOf(merged[0]);
  EXPECT_NEAR(seam.left, 100, 1);
  EXPECT_NEAR(seam.right, 1700, 1);
  EXPECT_NEAR(boxOf(merged[1]).top, 900, 2);
  const Box cut = boxOf(merged[2]);
  EXPECT_NEAR(cut.top, 1090, 1);
  EXPECT_NEAR(cut.bottom, 1110, 1);
  EXPECT_NEAR(boxOf(merged[3]).top, 1500, 1);
}

TEST(TextTiles, TheWholeLooksReadableLinesStandAndItsBlocksAndSpecksGive) {
  TileLines tile{{0, 0, 1400, 1400}, 0.7, {}};
  tile.lines = {line(100, 100, 800, 20), line(100, 130, 800, 20), line(100, 700, 300, 20),
                line(110, 1202, 280, 30)};
  const std::vector<DetectedLine> whole = {
      DetectedLine{RotatedRect{500, 125, 60, 820, -1.5707963}, 0.9f},  // the block of the first two lines
      line(100, 702, 300, 18),                                         // a speck where tiles looked: gives way
      line(100, 1200, 300, 60),                                        // a heading, read well already
      line(3000, 3000, 40, 18)};                                       // a speck where no tile looked: stays
  const std::vector<DetectedLine> merged = mergeTileLines(whole, 0.3, {tile}, 4000);
  ASSERT_EQ(merged.size(), 5u);
  EXPECT_NEAR(boxOf(merged[0]).top, 100, 1);
  EXPECT_NEAR(boxOf(merged[1]).top, 130, 1);
  EXPECT_NEAR(boxOf(merged[2]).top, 700, 1);
  EXPECT_NEAR(boxOf(merged[3]).bottom, 1260, 1);  // the heading, not the tile's piece of it
  EXPECT_NEAR(boxOf(merged[4]).left, 3000, 1);
}

}  // namespace
}  // namespace platform::vision
