// Lines of text from the probability map of a DB text detector (differentiable binarisation): the
// map is thresholded, each connected region becomes a rotated rectangle (the smallest around it),
// regions whose mean probability is low are dropped, and the rest are grown back by the unclip
// ratio, since the detector is trained to mark a shrunken core of each line. Pure functions; safe
// from any thread.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/vision/detection/image_to_tensor.h"

namespace platform::vision {

struct TextBoxSettings {
  float threshold = 0.3f;     // a map cell is text above this
  float boxThreshold = 0.6f;  // a region is kept when its mean probability reaches this
  float unclipRatio = 1.5f;   // the region grows by area * ratio / perimeter on every side
  double minSide = 3;         // map cells; thinner regions are specks
  size_t maxBoxes = 1000;     // the largest regions are kept beyond this
};

struct TextBox {
  // In map cells (x right, y down, (0, 0) the top-left corner of the top-left cell). The width
  // runs along the line: the rotation is the one nearest to level, unless the box stands at least
  // 1.5 times higher than wide, when it is turned a quarter so that the text reads along it.
  RotatedRect rect;
  float score = 0;  // mean probability of the region
};

// The boxes of the `width` x `height` map (row-major probabilities), in reading order: top to
// bottom, and left to right within a row of boxes that overlap in height.
std::vector<TextBox> textBoxes(const float* probabilities, int width, int height, const TextBoxSettings& settings);

// The order in which `rects` read: rows top to bottom (boxes whose heights overlap by half the
// smaller one's form a row), left to right within a row. Indices into `rects`.
std::vector<size_t> readingOrder(const std::vector<RotatedRect>& rects);

// The four corners of `rect`: top-left, top-right, bottom-right, bottom-left as the text reads.
struct Corners {
  PicturePoint points[4];
};
Corners cornersOf(const RotatedRect& rect);

}  // namespace platform::vision
