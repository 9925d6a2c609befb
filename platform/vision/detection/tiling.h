// Looking at a picture piece by piece: square tiles that cover it with overlap, so that a detector
// whose input is small sees small things larger, and the detections of several views merged into
// one list. Plain functions of their arguments: safe to call from any thread.
#pragma once

#include <vector>

#include "platform/vision/detection/detection_decoding.h"
#include "platform/vision/detection/image_to_tensor.h"

namespace platform::vision {

// An upright square in picture pixels (origin top-left).
struct Tile {
  double x = 0;
  double y = 0;
  double side = 0;

  RotatedRect area() const { return {x + side / 2, y + side / 2, side, side, 0}; }
};

// Squares of `side` pixels laid evenly over a width x height picture, in rows from the top, so that
// they cover all of it and neighbours share at least `minOverlap` pixels: anything no larger than
// that lies wholly inside one of them. Along a side of the picture shorter than `side` there is one
// square, centred on it. Nothing when a size is not positive or the overlap is not below `side`.
std::vector<Tile> coveringTiles(int width, int height, double side, double minOverlap);

// Whether a detection in `tile` of a width x height picture reaches to within `margin` pixels of
// an edge that the tile shares with its neighbours rather than with the picture: the tile then saw
// only part of it, and a neighbour, whose overlap holds it whole, reports it whole.
bool cutByTileEdge(const DetectionBox& box, const Tile& tile, int width, int height, double margin);

// Adds to `kept` each of `candidates` (best first) that overlaps none of `kept` by more than
// `iouThreshold`: a view of the picture adds only what the views before it did not find.
void addUnseen(std::vector<Detection>& kept, const std::vector<Detection>& candidates, double iouThreshold);

}  // namespace platform::vision
