#include "platform/nn/kernels/landmark_transforms.h"

#include <algorithm>
#include <cmath>

namespace platform::nn {

void LandmarksToTransformMatrix::run() const {
  auto x = [&](int i) { return landmarks_[size_t(i) * valuesPerLandmark_]; };
  auto y = [&](int i) { return landmarks_[size_t(i) * valuesPerLandmark_ + 1]; };
  // The rotation that brings the left-to-right line to the target angle.
  const float rotation = crop_.targetRotation -
                         std::atan2(y(crop_.rightIndex) - y(crop_.leftIndex), x(crop_.rightIndex) - x(crop_.leftIndex));
  const float c = std::cos(rotation), s = std::sin(rotation);

  // The subset's bounding box in the turned frame.
  float minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
  for (int i : crop_.subset) {
    const float tx = c * x(i) - s * y(i);
    const float ty = s * x(i) + c * y(i);
    minX = std::min(minX, tx), maxX = std::max(maxX, tx);
    minY = std::min(minY, ty), maxY = std::max(maxY, ty);
  }
  const float midX = (minX + maxX) / 2, midY = (minY + maxY) / 2;
  // The box's centre turned back into the landmarks' frame.
  const float centreX = c * midX + s * midY;
  const float centreY = -s * midX + c * midY;
  const float scaleX = crop_.scaleX * (maxX - minX) / float(crop_.outputWidth);
  const float scaleY = crop_.scaleY * (maxY - minY) / float(crop_.outputHeight);
  const float halfW = float(crop_.outputWidth) / 2, halfH = float(crop_.outputHeight) / 2;

  // A grid point (u, v): centred on the grid, scaled, turned back and moved to the box's centre.
  float* m = matrix_;
  m[0] = c * scaleX, m[1] = s * scaleY, m[2] = 0;
  m[3] = centreX - c * scaleX * halfW - s * scaleY * halfH;
  m[4] = -s * scaleX, m[5] = c * scaleY, m[6] = 0;
  m[7] = centreY + s * scaleX * halfW - c * scaleY * halfH;
  m[8] = 0, m[9] = 0, m[10] = 1, m[11] = 0;
  m[12] = 0, m[13] = 0, m[14] = 0, m[15] = 1;
}

void TransformTensorBilinear::run() const {
  const float* m = matrix_;
  // Cell centres: the grid point (u + 0.5, v + 0.5), then back by half a cell of the map.
  const float offsetX = m[3] + 0.5f * (m[0] + m[1]) - 0.5f;
  const float offsetY = m[7] + 0.5f * (m[4] + m[5]) - 0.5f;
  const size_t rowStride = size_t(width_) * channels_;
  float* out = output_;
  for (int v = 0; v < outputHeight_; ++v) {
    for (int u = 0; u < outputWidth_; ++u, out += channels_) {
      const float x = m[0] * float(u) + m[1] * float(v) + offsetX;
      const float y = m[4] * float(u) + m[5] * float(v) + offsetY;
      // Written so that a NaN coordinate also counts as outside.
      if (!(x >= 0 && y >= 0 && x <= float(width_ - 1) && y <= float(height_ - 1))) {
        std::fill(out, out + channels_, 0.0f);
        continue;
      }
      const int x0 = int(x), y0 = int(y);
      const float fx = x - float(x0), fy = y - float(y0);
      // On the last row or column the far neighbour has no weight; read the near one instead.
      const size_t right = x0 + 1 < width_ ? channels_ : 0;
      const size_t down = y0 + 1 < height_ ? rowStride : 0;
      const float* p = map_ + size_t(y0) * rowStride + size_t(x0) * channels_;
      const float w00 = (1 - fx) * (1 - fy), w01 = fx * (1 - fy), w10 = (1 - fx) * fy, w11 = fx * fy;
      for (int ch = 0; ch < channels_; ++ch) {
        out[ch] = w00 * p[ch] + w01 * p[right + ch] + w10 * p[down + ch] + w11 * p[down + right + ch];
      }
    }
  }
}

void TransformLandmarks::run() const {
  const float* m = matrix_;
  for (int i = 0; i < count_; ++i) {
    const float* in = landmarks_ + size_t(i) * valuesPerLandmark_;
    float* out = output_ + size_t(i) * valuesPerLandmark_;
    const float x = in[0], y = in[1];
    out[0] = m[0] * x + m[1] * y + m[3];
    out[1] = m[4] * x + m[5] * y + m[7];
    if (valuesPerLandmark_ == 3) out[2] = in[2];
  }
}

}  // namespace platform::nn
