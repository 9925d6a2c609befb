// Pieces of one line joined again. The detector, trained on Chinese and Latin text, sometimes
// finds a line of another script (Arabic, Hangul) as pieces: word by word, or cut inside a word.
// Neighbours on one row that nearly touch are one line when the recogniser could not settle at
// least one of them. Pure functions; safe from any thread.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/vision/detection/image_to_tensor.h"

namespace platform::vision {

// Two boxes of a row are neighbours when the gap between them is at most this share of the
// taller one's height (the space between words is about a quarter of it)...
inline constexpr double kJoiningGap = 0.8;
// ... and each overlaps the other vertically by at least this share of the lower one's height.
inline constexpr double kJoiningOverlap = 0.6;

struct JoinableBox {
  RotatedRect box;  // picture pixels; the width runs along the text
  bool text = false;    // the detector is sure enough that it holds text
  bool unsure = false;  // the recogniser's reading does not settle its script
};

// The lines to read, as runs of `boxes` (in reading order: rows top to bottom, left to right
// within a row): each run one box, or consecutive boxes each a neighbour of the box around those
// before it (on its row, overlapping it or nearly touching), all holding text, at least one of
// them unsure. Every box is in exactly one run, in order.
std::vector<std::vector<size_t>> linesOfBoxes(const std::vector<JoinableBox>& boxes);

// The smallest box around `boxes` in the direction of the widest of them.
RotatedRect boxAround(const std::vector<RotatedRect>& boxes);

}  // namespace platform::vision
