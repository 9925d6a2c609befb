// Refines a coarse person mask to a picture's edges with the guided filter (He, Sun and Tang,
// "Guided Image Filtering", 2010), fitted on a coarser grid and applied at the picture's size
// ("Fast Guided Filter", He and Sun, 2015): within every small window the refined mask is a
// linear function of the picture's three colours, fitted to the coarse mask, so that where the
// coarse mask changes, the refined one changes where the picture does.
#pragma once

#include <vector>

#include "platform/media/pixel_buffer.h"
#include "platform/vision/segmentation/picture_scaling.h"
#include "platform/vision/segmentation/selfie_segmentation.h"

namespace platform::vision {

struct GuidedFilterSettings {
  int subsample = 4;       // the fit runs on a grid this many times coarser than the picture
  int radius = 1;          // the window is (2 radius + 1) points square on that grid
  float epsilon = 1e-4f;   // on colours 0-1: colour differences below about its square root count as flat
  float steepness = 3.0f;  // the refined values are pushed from 0.5 by this factor (1: as fitted)
};

// Work memory that stays with a sequence, so that its frames allocate nothing after the first.
class GuidedFilter {
 public:
  // Refines `coarse` (values 0 to 1, any size of at least 1 x 1) to the edges of `picture` (BGRA,
  // at least 1 x 1) and writes it into `mask`, a gray8 buffer of the picture's size with memory,
  // as bytes: 0 to 255 for 0 to 1.
  void refine(const FloatPlane& coarse, const BgraPlane& picture, const GuidedFilterSettings& settings,
              media::PixelBuffer& mask);

 private:
  // The steps of refine: the window means of the colours, the mask and their products; the
  // linear fit of the mask to the colours in every window; the fit applied at the picture's size.
  void windowMeans(int radius);
  void fitWindows(float epsilon);
  void applyToPicture(const BgraPlane& picture, float steepness, media::PixelBuffer& mask);

  FloatPlane colour_[3], mask_, mean_[3], meanMask_, work_, products_[9], a_[3], b_, wide_[4];
  std::vector<float> columns_, rows_[4];
  std::vector<int> x0_;
  std::vector<float> weightX_;
};

// Stretches `from` bilinearly over `to`'s current size (pixel centres aligned, edges repeated).
void stretchBilinear(const FloatPlane& from, FloatPlane& to);

// The mean of `from` over the (2 radius + 1)-point square around every point; near the borders
// over the part of the square inside the plane. `columns` is work memory.
void boxMean(const FloatPlane& from, int radius, FloatPlane& to, std::vector<float>& columns);

}  // namespace platform::vision
