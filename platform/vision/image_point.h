// Points in picture coordinates as the models see them: origin at the top-left corner, x to the
// right, y downwards. Whether the unit is pixels or a fraction of the width and height is stated
// where a point is used. (The normalised frame the programs see, y upwards, is geometry.h's.)
#pragma once

namespace platform::vision {

struct ImagePoint {
  double x = 0;
  double y = 0;
};

}  // namespace platform::vision
