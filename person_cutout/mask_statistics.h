// What one frame's mask says: how much of the picture is person, and where the person's top is.
// Measured on the mask's own grid, whatever its size, at fixed sample points.
#pragma once

#include <optional>

#include "platform/media/pixel_buffer.h"

namespace person_cutout {

struct MaskMeasure {
  bool measured = false;     // false for a mask without memory: it adds nothing to the statistics
  double coverage = 0;       // the share of person among the coverage grid's points
  bool personFrame = false;  // coverage above 0.02
  // For a person frame: the first top-search row in which at least one sixteenth of the points
  // are person, as a share of the mask's height; nothing when no row has that many.
  std::optional<double> top;
};

// Measures a gray8 mask (bytes of 129 or more are person). The coverage grid is every 8th column
// of every 8th row; the top search looks at every 8th column of every 4th row, from the top.
MaskMeasure measureMask(const platform::media::PixelBuffer& mask);

}  // namespace person_cutout
