// Anchor centres of an SSD-style detector: the fixed grid against which the detector's raw box
// and keypoint values are decoded. A plain function of its options: safe to call from any thread.
#pragma once

#include <vector>

namespace platform::vision {

struct SsdAnchorOptions {
  int inputWidth = 0;
  int inputHeight = 0;
  // One entry per output layer, in the model's order. Layers that share a stride share a grid:
  // each cell of that grid gets the anchors of all those layers, one after another.
  std::vector<int> strides;
  // Each layer has one anchor per cell at its own scale and, when this is on, a second one at a
  // scale between its own and the next layer's.
  bool interpolatedScale = true;
};

// An anchor's centre in the detector input, normalised to 0..1, origin top-left, y down. The
// detectors here use anchors of fixed size 1, so the centre is all that decoding needs.
struct AnchorCentre {
  double x = 0;
  double y = 0;
};

// The anchors in the order of the detector's outputs: grid by grid (strides in order), row by
// row, cell by cell, then the anchors of one cell.
std::vector<AnchorCentre> ssdAnchors(const SsdAnchorOptions& options);

}  // namespace platform::vision
