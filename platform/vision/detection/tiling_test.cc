#include "platform/vision/detection/tiling.h"

#include <gtest/gtest.h>

#include <cmath>

namespace platform::vision {
namespace {

// Every pixel is in some tile, neighbours overlap as asked, and no tile leaves the picture along a
// side longer than the tile.
TEST(CoveringTiles, CoverThePictureWithTheOverlapAsked) {
  struct Case {
    int width, height;
    double side, overlap;
    size_t columns, rows;
  } cases[] = {
      {1280, 720, 720, 112, 2, 1},  // a wide frame: two squares its height wide
      {1280, 720, 396, 63, 4, 2},   // half as wide: the finest view of a 720p frame
      {720, 1280, 396, 63, 2, 4},   // the same frame upright
      {396, 396, 396, 10, 1, 1},    // exactly one tile
      {300, 200, 120, 20, 3, 2},    // tiles smaller than the picture on both sides
  };
  for (const Case& c : cases) {
    const std::vector<Tile> tiles = coveringTiles(c.width, c.height, c.side, c.overlap);
    ASSERT_EQ(tiles.size(), c.columns * c.rows) << c.width << "x" << c.height << " by " << c.side;
    EXPECT_DOUBLE_EQ(tiles.front().x, 0);
    EXPECT_DOUBLE_EQ(tiles.front().y, 0);
    EXPECT_DOUBLE_EQ(tiles.back().x + c.side, c.width);
    EXPECT_DOUBLE_EQ(tiles.back().y + c.side, c.height);
    if (c.columns > 1) {
      EXPECT_GE(tiles[0].x + c.side - tiles[1].x, c.overlap);
    }
    if (c.rows > 1) {
      EXPECT_GE(tiles[0].y + c.side - tiles[c.columns].y, c.overlap);
    }
  }
}

TEST(CoveringTiles, ATileLargerThanASideIsCentredOnIt) {
  const std::vector<Tile> tiles = coveringTiles(1280, 300, 400, 50);
  ASSERT_EQ(tiles.size(), 4u);
  for (const Tile& tile : tiles) EXPECT_DOUBLE_EQ(tile.y, -50);
}

TEST(CoveringTiles, NothingForSizesThatCannotBeTiled) {
  EXPECT_TRUE(coveringTiles(0, 720, 100, 10).empty());
  EXPECT_TRUE(coveringTiles(1280, 720, 0, 0).empty());
  EXPECT_TRUE(coveringTiles(1280, 720, 100, 100).empty());
  EXPECT_TRUE(coveringTiles(1280, 720, std::nan(""), 0).empty());
}

// A tile cuts what reaches its inner edges, not what reaches the picture's own edges.
TEST(CutByTileEdge, OnlyEdgesSharedWithNeighboursCut) {
  const Tile left{0, 0, 720}, right{560, 0, 720};
  const DetectionBox nearInnerEdge{650, 300, 68, 68}, atPictureEdge{0, 0, 60, 60}, inMiddle{300, 300, 80, 80};
  EXPECT_TRUE(cutByTileEdge(nearInnerEdge, left, 1280, 720, 14));
  EXPECT_FALSE(cutByTileEdge(nearInnerEdge, right, 1280, 720, 14));
  EXPECT_FALSE(cutByTileEdge(atPictureEdge, left, 1280, 720, 14));
  EXPECT_FALSE(cutByTileEdge(inMiddle, left, 1280, 720, 14));
  EXPECT_TRUE(cutByTileEdge({570, 300, 60, 60}, right, 1280, 720, 14));
}

TEST(AddUnseen, AddsOnlyWhatOverlapsNothingKeptBefore) {
  std::vector<Detection> kept = {{0.9f, {0, 0, 10, 10}, {}}};
  const std::vector<Detection> candidates = {{0.8f, {1, 1, 10, 10}, {}},   // the same face again
                                             {0.7f, {50, 50, 10, 10}, {}},  // a new one
                                             {0.6f, {51, 51, 10, 10}, {}}};  // kept: only earlier views count
  addUnseen(kept, candidates, 0.3);
  ASSERT_EQ(kept.size(), 3u);
  EXPECT_FLOAT_EQ(kept[1].score, 0.7f);
  EXPECT_FLOAT_EQ(kept[2].score, 0.6f);
}

}  // namespace
}  // namespace platform::vision
