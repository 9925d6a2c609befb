#include "platform/vision/segmentation/guided_filter.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform::vision {

void stretchBilinear(const FloatPlane& from, FloatPlane& to) {
  const float scaleX = static_cast<float>(from.width) / static_cast<float>(to.width);
  const float scaleY = static_cast<float>(from.height) / static_cast<float>(to.height);
  for (int y = 0; y < to.height; ++y) {
    const float sy = std::clamp((y + 0.5f) * scaleY - 0.5f, 0.0f, static_cast<float>(from.height - 1));
    const int y0 = static_cast<int>(sy);
    const int y1 = std::min(y0 + 1, from.height - 1);
    const float wy = sy - static_cast<float>(y0);
    const float* top = from.row(y0);
    const float* bottom = from.row(y1);
    float* out = to.row(y);
    for (int x = 0; x < to.width; ++x) {
      const float sx = std::clamp((x + 0.5f) * scaleX - 0.5f, 0.0f, static_cast<float>(from.width - 1));
      const int x0 = static_cast<int>(sx);
      const int x1 = std::min(x0 + 1, from.width - 1);
      const float wx = sx - static_cast<float>(x0);
      const float upper = top[x0] + (top[x1] - top[x0]) * wx;
      const float lower = bottom[x0] + (bottom[x1] - bottom[x0]) * wx;
      out[x] = upper + (lower - upper) * wy;
    }
  }
}

namespace {

// Row `y` of `to` from `sums`, the window's column sums of that row: each point the sum of its
// (2 radius + 1) columns, moved right one column at a time, over the number of cells inside.
// Takes kRows rows at once: their sums are chains of additions of their own, which a processor
// runs side by side where one row alone waits for each addition before the next.
template <int kRows>
void sumAcross(const float* sums, int y, int radius, int height, FloatPlane& to) {
  const int width = to.width;
  float sum[kRows] = {};
  int rows[kRows];
  const float* in[kRows];
  float* out[kRows];
  for (int k = 0; k < kRows; ++k) {
    rows[k] = std::min(y + k + radius, height - 1) - std::max(y + k - radius, 0) + 1;
    in[k] = sums + static_cast<size_t>(y + k) * static_cast<size_t>(width);
    out[k] = to.row(y + k);
  }
  for (int x = 0; x < std::min(radius, width); ++x) {
    for (int k = 0; k < kRows; ++k) sum[k] += in[k][x];
  }
  for (int x = 0; x < width; ++x) {
    const bool entering = x + radius < width, leaving = x - radius - 1 >= 0;
    const int columns = std::min(x + radius, width - 1) - std::max(x - radius, 0) + 1;
    for (int k = 0; k < kRows; ++k) {
      if (entering) sum[k] += in[k][x + radius];
      if (leaving) sum[k] -= in[k][x - radius - 1];
      out[k][x] = sum[k] / static_cast<float>(rows[k] * columns);
    }
  }
}

}  // namespace

void boxMean(const FloatPlane& from, int radius, FloatPlane& to, std::vector<float>& columns) {
  const int width = from.width, height = from.height;
  to.resize(width, height);
  // Column sums over the rows of the window, moved down one row at a time and kept for every row
  // (after a running row of them); then each output row sums its window of column sums.
  const size_t rowLength = static_cast<size_t>(width);
  columns.assign(rowLength * (static_cast<size_t>(height) + 1), 0.0f);
  float* running = columns.data() + rowLength * static_cast<size_t>(height);
  for (int y = 0; y < std::min(radius, height); ++y) {
    const float* row = from.row(y);
    for (int x = 0; x < width; ++x) running[x] += row[x];
  }
  for (int y = 0; y < height; ++y) {
    if (y + radius < height) {
      const float* entering = from.row(y + radius);
      for (int x = 0; x < width; ++x) running[x] += entering[x];
    }
    if (y - radius - 1 >= 0) {
      const float* leaving = from.row(y - radius - 1);
      for (int x = 0; x < width; ++x) running[x] -= leaving[x];
    }
    std::copy(running, running + width, columns.data() + rowLength * static_cast<size_t>(y));
  }
  int y = 0;
  for (; y + 4 <= height; y += 4) sumAcross<4>(columns.data(), y, radius, height, to);
  for (; y < height; ++y) sumAcross<1>(columns.data(), y, radius, height, to);
}

namespace {

// The picture's colours (R, G, B, 0 to 1) averaged over blocks of factor x factor pixels; the
// last row and column of blocks average what is left.
void shrinkColours(const BgraPlane& picture, int factor, FloatPlane (&colour)[3]) {
  const int width = (picture.width + factor - 1) / factor, height = (picture.height + factor - 1) / factor;
  for (FloatPlane& plane : colour) plane.resize(width, height);
  for (int y = 0; y < height; ++y) {
    const int firstRow = y * factor, rows = std::min(factor, picture.height - firstRow);
    for (int x = 0; x < width; ++x) {
      const int firstColumn = x * factor, columns = std::min(factor, picture.width - firstColumn);
      uint32_t r = 0, g = 0, b = 0;
      for (int j = firstRow; j < firstRow + rows; ++j) {
        const uint8_t* p = picture.bytes.data() + (static_cast<size_t>(j) * picture.width + firstColumn) * 4;
        for (int i = 0; i < columns; ++i, p += 4) r += p[2], g += p[1], b += p[0];
      }
      const float scale = 1.0f / (255.0f * static_cast<float>(rows * columns));
      colour[0].row(y)[x] = static_cast<float>(r) * scale;
      colour[1].row(y)[x] = static_cast<float>(g) * scale;
      colour[2].row(y)[x] = static_cast<float>(b) * scale;
    }
  }
}

// Where column x of a picture `to` wide falls on a grid `from` wide: the left neighbour and the
// weight of the right one (pixel centres aligned, edges repeated).
void columnsOf(int from, int to, std::vector<int>& left, std::vector<float>& weight) {
  left.resize(static_cast<size_t>(to));
  weight.resize(static_cast<size_t>(to));
  const float scale = static_cast<float>(from) / static_cast<float>(to);
  for (int x = 0; x < to; ++x) {
    const float at = std::clamp((x + 0.5f) * scale - 0.5f, 0.0f, static_cast<float>(from - 1));
    left[x] = std::min(static_cast<int>(at), std::max(from - 2, 0));
    weight[x] = from > 1 ? at - static_cast<float>(left[x]) : 0.0f;
  }
}

// `plane` stretched across to `to` columns (rows kept), with the columns' taps from columnsOf.
void stretchAcross(const FloatPlane& plane, int to, const std::vector<int>& left, const std::vector<float>& weight,
                   FloatPlane& out) {
  out.resize(to, plane.height);
  const int last = plane.width - 1;
  for (int y = 0; y < plane.height; ++y) {
    const float* in = plane.row(y);
    float* wide = out.row(y);
    for (int x = 0; x < to; ++x) {
      const float low = in[left[x]], high = in[std::min(left[x] + 1, last)];
      wide[x] = low + (high - low) * weight[x];
    }
  }
}

// The loop at the end of applyToPicture on four pixels at a time, as far as whole fours go; gives
// how many pixels it did. The same operations in the same order on each pixel as the loop, so
// the same bytes.
int applyFourAtATime(const float* a0, const float* a1, const float* a2, const float* b, const uint8_t* bgra,
                     int width, float steepness, uint8_t* out) {
  int x = 0;
#if defined(__SSE2__)
  const __m128 toUnit = _mm_set1_ps(1.0f / 255.0f), half = _mm_set1_ps(0.5f), steep = _mm_set1_ps(steepness);
  const __m128 one = _mm_set1_ps(1.0f), zero = _mm_setzero_ps(), full = _mm_set1_ps(255.0f);
  const __m128i lowByte = _mm_set1_epi32(0xFF), white = _mm_set1_epi32(255);
  for (; x + 4 <= width; x += 4) {
    __m128i pixels;
    std::memcpy(&pixels, bgra + 4 * x, sizeof pixels);
    const __m128 blue = _mm_cvtepi32_ps(_mm_and_si128(pixels, lowByte));
    const __m128 green = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(pixels, 8), lowByte));
    const __m128 red = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(pixels, 16), lowByte));
    const __m128 fitted = _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_loadu_ps(a0 + x), red), _mm_mul_ps(_mm_loadu_ps(a1 + x), green)),
                                     _mm_mul_ps(_mm_loadu_ps(a2 + x), blue));
    const __m128 q = _mm_add_ps(_mm_loadu_ps(b + x), _mm_mul_ps(fitted, toUnit));
    const __m128 value = _mm_add_ps(half, _mm_mul_ps(_mm_sub_ps(q, half), steep));
    const __m128i rounded = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(value, full), half));
    // 255 from 1 up, the rounded value above 0, and 0 elsewhere (a value that is not a number too).
    const __m128i atLeastOne = _mm_castps_si128(_mm_cmpge_ps(value, one));
    const __m128i aboveZero = _mm_castps_si128(_mm_cmpgt_ps(value, zero));
    const __m128i inside = _mm_and_si128(_mm_andnot_si128(atLeastOne, aboveZero), rounded);
    const __m128i bytes = _mm_or_si128(inside, _mm_and_si128(atLeastOne, white));
    const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(bytes, bytes), _mm_setzero_si128());
    const int four = _mm_cvtsi128_si32(packed);
    std::memcpy(out + x, &four, 4);
  }
#else
  (void)a0, (void)a1, (void)a2, (void)b, (void)bgra, (void)width, (void)steepness, (void)out;
#endif
  return x;
}

}  // namespace

void GuidedFilter::refine(const FloatPlane& coarse, const BgraPlane& picture, const GuidedFilterSettings& settings,
                          media::PixelBuffer& mask) {
  const int factor = std::max(settings.subsample, 1);
  const int radius = std::max(settings.radius, 1);

  // The fit, on the coarser grid: colours I (three planes) and the mask p stretched to it.
  shrinkColours(picture, factor, colour_);
  mask_.resize(colour_[0].width, colour_[0].height);
  stretchBilinear(coarse, mask_);
  windowMeans(radius);
  fitWindows(settings.epsilon);
  // Every point lies in many windows: it takes the mean of their a and b.
  for (int c = 0; c < 3; ++c) boxMean(a_[c], radius, mean_[c], columns_);
  boxMean(b_, radius, meanMask_, columns_);
  applyToPicture(picture, settings.steepness, mask);
}

void GuidedFilter::windowMeans(int radius) {
  // Window means of I, p, I·p (three) and I·Iᵀ (six).
  const size_t count = colour_[0].values.size();
  for (int c = 0; c < 3; ++c) boxMean(colour_[c], radius, mean_[c], columns_);
  boxMean(mask_, radius, meanMask_, columns_);
  work_.resize(colour_[0].width, colour_[0].height);
  int k = 0;
  for (int c = 0; c < 3; ++c, ++k) {
    for (size_t i = 0; i < count; ++i) work_.values[i] = colour_[c].values[i] * mask_.values[i];
    boxMean(work_, radius, products_[k], columns_);
  }
  for (int c = 0; c < 3; ++c) {
    for (int d = c; d < 3; ++d, ++k) {
      for (size_t i = 0; i < count; ++i) work_.values[i] = colour_[c].values[i] * colour_[d].values[i];
      boxMean(work_, radius, products_[k], columns_);
    }
  }
}

void GuidedFilter::fitWindows(float epsilon) {
  // Per window, p ≈ a·I + b by least squares with a ridge of epsilon on a:
  // a = (Σ + εU)⁻¹ cov(I, p), b = mean p - a·mean I.
  const size_t count = colour_[0].values.size();
  for (FloatPlane& plane : a_) plane.resize(colour_[0].width, colour_[0].height);
  b_.resize(colour_[0].width, colour_[0].height);
  for (size_t i = 0; i < count; ++i) {
    const float m0 = mean_[0].values[i], m1 = mean_[1].values[i], m2 = mean_[2].values[i], mp = meanMask_.values[i];
    const float c0 = products_[0].values[i] - m0 * mp;
    const float c1 = products_[1].values[i] - m1 * mp;
    const float c2 = products_[2].values[i] - m2 * mp;
    const float s00 = products_[3].values[i] - m0 * m0 + epsilon, s01 = products_[4].values[i] - m0 * m1;
    const float s02 = products_[5].values[i] - m0 * m2, s11 = products_[6].values[i] - m1 * m1 + epsilon;
    const float s12 = products_[7].values[i] - m1 * m2, s22 = products_[8].values[i] - m2 * m2 + epsilon;
    // The inverse of the symmetric 3 x 3 matrix through its adjugate.
    const float i00 = s11 * s22 - s12 * s12, i01 = s02 * s12 - s01 * s22, i02 = s01 * s12 - s02 * s11;
    const float i11 = s00 * s22 - s02 * s02, i12 = s01 * s02 - s00 * s12, i22 = s00 * s11 - s01 * s01;
    const float determinant = s00 * i00 + s01 * i01 + s02 * i02;
    const float inverse = determinant > 0.0f ? 1.0f / determinant : 0.0f;
    const float a0 = (i00 * c0 + i01 * c1 + i02 * c2) * inverse;
    const float a1 = (i01 * c0 + i11 * c1 + i12 * c2) * inverse;
    const float a2 = (i02 * c0 + i12 * c1 + i22 * c2) * inverse;
    a_[0].values[i] = a0;
    a_[1].values[i] = a1;
    a_[2].values[i] = a2;
    b_.values[i] = mp - a0 * m0 - a1 * m1 - a2 * m2;
  }
}

void GuidedFilter::applyToPicture(const BgraPlane& picture, float steepness, media::PixelBuffer& mask) {
  // At the picture's size: a and b interpolated, applied to the pixel's own colours, then
  // pushed away from 0.5 so that the edge the colours draw becomes a sharp one. The coarse rows
  // are stretched across once; each picture row then blends two of them.
  const int width = mean_[0].width, height = mean_[0].height;
  columnsOf(width, picture.width, x0_, weightX_);
  for (int c = 0; c < 3; ++c) stretchAcross(mean_[c], picture.width, x0_, weightX_, wide_[c]);
  stretchAcross(meanMask_, picture.width, x0_, weightX_, wide_[3]);
  for (std::vector<float>& row : rows_) row.resize(static_cast<size_t>(picture.width));
  for (int y = 0; y < picture.height; ++y) {
    const float at = std::clamp((y + 0.5f) * height / static_cast<float>(picture.height) - 0.5f, 0.0f,
                                static_cast<float>(height - 1));
    const int top = static_cast<int>(at);
    const int bottom = std::min(top + 1, height - 1);
    const float down = at - static_cast<float>(top);
    for (int k = 0; k < 4; ++k) {
      const float* upper = wide_[k].row(top);
      const float* lower = wide_[k].row(bottom);
      float* row = rows_[k].data();
      for (int x = 0; x < picture.width; ++x) row[x] = upper[x] + (lower[x] - upper[x]) * down;
    }
    const float* a0 = rows_[0].data();
    const float* a1 = rows_[1].data();
    const float* a2 = rows_[2].data();
    const float* b = rows_[3].data();
    const uint8_t* p = picture.bytes.data() + static_cast<size_t>(y) * picture.width * 4;
    uint8_t* out = mask.row(y);
    const int done = applyFourAtATime(a0, a1, a2, b, p, picture.width, steepness, out);
    for (int x = done; x < picture.width; ++x) {
      const float q = b[x] + (a0[x] * p[4 * x + 2] + a1[x] * p[4 * x + 1] + a2[x] * p[4 * x]) * (1.0f / 255.0f);
      // Written so that a value that is not a number (never expected) becomes 0, not a wild byte.
      const float value = 0.5f + (q - 0.5f) * steepness;
      out[x] = value >= 1.0f ? 255 : value > 0.0f ? static_cast<uint8_t>(value * 255.0f + 0.5f) : 0;
    }
  }
}

}  // namespace platform::vision
