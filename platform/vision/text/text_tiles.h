// Small print on a large picture. The detector sees the whole picture at most kDetectorSide pixels
// on its longer side, where the print of a tall page or a dense scan shrinks to a few pixels: too
// small to find, though the detector's map still shows it as scattered specks. Where the map
// shows enough of them, the picture is searched again in overlapping tiles at a scale where the
// print is legible, and the lines found in the tiles are merged with those of the whole picture.
// Pure functions; safe from any thread.
#pragma once

#include <vector>

#include "platform/media/image.h"
#include "platform/vision/detection/image_to_tensor.h"

namespace platform::vision {

struct DetectedLine;

// The detector finds lines whose box is at least this many of its pixels high (a line of print
// about 7 pixels high); the lines it finds below that are mostly misread fragments.
inline constexpr double kLegibleBoxHeight = 10;
// A tile's side in the detector's pixels: one of its canvases, so every tile shares one runtime.
inline constexpr int kTileSide = 1024;
// Neighbouring tiles overlap by this many of the detector's pixels, twice the height of the
// tallest line the tiles are for, so that a line cut by one tile's top or bottom edge lies
// whole in its neighbour.
inline constexpr int kTileOverlap = 160;

// A part of the picture, in picture pixels.
struct PictureArea {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// The detector's probability map of the whole picture; each cell covers 1 / scale picture pixels.
struct WholeMap {
  const float* cells = nullptr;
  int width = 0;
  int height = 0;
  double scale = 1;
};

// Where to look again, and at what scale (detector pixels per picture pixel): the tiles over the
// whole picture, and the one to look at first; no tiles when the whole-picture look has no reason
// to doubt it saw all the print.
struct CloserLook {
  double scale = 1;
  std::vector<PictureArea> tiles;
  // The tile with most signs of small print: text on the map that no line explains, or else the
  // busiest pixels.
  size_t probe = 0;
};

// The closer look `image` needs after the whole-picture look (its map and its lines, picture
// pixels). Doubt comes from finding nothing, from lines too small to read,
// from text on the map outside every readable line, or from a "line" that is a whole block of
// print. The closer scale makes print seen a few pixels high legible, at most the picture's own.
CloserLook smallPrintTiles(const media::ImageView& image, const WholeMap& map,
                           const std::vector<DetectedLine>& lines);

// Whether the probe tile's lines (seen at `closerScale`) show print that the whole-picture look
// (at `wholeScale`) was too coarse to read: then every tile is searched.
bool holdsSmallPrint(const std::vector<DetectedLine>& probeLines, double wholeScale, double closerScale);

// The tiles at `scale` over `area` of a picture: kTileSide detector pixels square (or the area's
// side, when smaller), overlapping their neighbours by at least kTileOverlap, rows top to bottom.
std::vector<PictureArea> tilesOver(const PictureArea& area, double scale);

// The lines a tile's detector found (picture pixels).
struct TileLines {
  PictureArea tile;
  double scale = 1;  // the tile's detector pixels per picture pixel
  std::vector<DetectedLine> lines;
};

// The lines of the whole picture: the legible lines of the whole-picture look (but for blocks
// that the tiles found several lines in), and the lines found in the tiles that none of them
// holds; the whole look's small lines where tiles searched stand only where no tile looked. A line is taken from a tile only where it keeps
// clear of that tile's top and bottom edges inside the picture (the overlap holds it whole in a
// neighbour); the pieces of a line that tiles side by side found apart, and a line that two
// tiles both found, become one. In reading order. `wholeScale` is the whole-picture look's.
std::vector<DetectedLine> mergeTileLines(const std::vector<DetectedLine>& whole, double wholeScale,
                                         const std::vector<TileLines>& tiles, int pictureHeight);

// Whether a line of the whole-picture look is legible at `scale`.
bool legibleAt(const RotatedRect& box, double scale);

}  // namespace platform::vision
