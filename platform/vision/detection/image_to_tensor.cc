#include "platform/vision/detection/image_to_tensor.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/vision/detection/detection_errors.h"

namespace platform::vision {
namespace {

// Offsets of the red, green and blue bytes within a pixel of each layout.
struct ChannelOffsets {
  int r = 0, g = 1, b = 2;
};

ChannelOffsets channelOffsets(media::PixelFormat format) {
  if (format == media::PixelFormat::bgra8) return {2, 1, 0};
  if (format == media::PixelFormat::gray8) return {0, 0, 0};
  return {};
}

// The bilinear mix of the four pixels around (x, y), in picture pixels with pixel centres at
// whole numbers; pixels outside the picture count as black, or as the nearest edge pixel.
void samplePixel(const media::ImageView& image, int bpp, ChannelOffsets at, Border border, double x, double y,
                 float sum[3]) {
  sum[0] = sum[1] = sum[2] = 0;
  if (border == Border::replicate) {
    // Clamping the point clamps each of its four neighbours to the edge.
    x = std::clamp(x, 0.0, image.width - 1.0);
    y = std::clamp(y, 0.0, image.height - 1.0);
  }
  const double fx = std::floor(x), fy = std::floor(y);
  if (!(fx >= -1 && fx < image.width && fy >= -1 && fy < image.height)) return;
  const double ax = x - fx, ay = y - fy;
  const int x0 = static_cast<int>(fx), y0 = static_cast<int>(fy);
  for (int k = 0; k < 4; ++k) {
    const int px = x0 + (k & 1), py = y0 + (k >> 1);
    if (px < 0 || px >= image.width || py < 0 || py >= image.height) continue;
    const float weight = static_cast<float>(((k & 1) ? ax : 1 - ax) * ((k >> 1) ? ay : 1 - ay));
    const uint8_t* p = image.row(py) + static_cast<ptrdiff_t>(px) * bpp;
    sum[0] += weight * p[at.r];
    sum[1] += weight * p[at.g];
    sum[2] += weight * p[at.b];
  }
}

// The mix of a pixel pair on `top` and the pair below it on `bottom`, weighted by how near the
// point lies to the left and right column and to the upper and lower row, with the weights and
// sums formed as samplePixel forms them.
inline void mixFour(const uint8_t* top, const uint8_t* bottom, int bpp, ChannelOffsets at, double left,
                    double right, double upper, double lower, float sum[3]) {
  const float w00 = static_cast<float>(left * upper), w10 = static_cast<float>(right * upper);
  const float w01 = static_cast<float>(left * lower), w11 = static_cast<float>(right * lower);
  const int offsets[3] = {at.r, at.g, at.b};
  for (int c = 0; c < 3; ++c) {
    const int o = offsets[c];
    float s = w00 * top[o];
    s += w10 * top[bpp + o];
    s += w01 * bottom[o];
    s += w11 * bottom[bpp + o];
    sum[c] = s;
  }
}

// The same mix as samplePixel for a point whose four neighbours lie inside the picture, as nearly
// every sample of a crop does, and for any point of a picture at least 2 x 2 with Border::replicate
// (clamped to the edge first): no test per neighbour. On the last column or row the pair of
// neighbours moves one pixel in, the outer one weighing 0 and the inner one what the edge pixel
// weighs in samplePixel. Weights and sums are formed as samplePixel forms them, so both give the
// same values to the bit. False, with nothing written, for any other point.
inline bool sampleInside(const media::ImageView& image, int bpp, ChannelOffsets at, Border border, double x,
                         double y, float sum[3]) {
  if (image.width < 2 || image.height < 2) return false;
  if (border == Border::replicate) {
    x = std::clamp(x, 0.0, image.width - 1.0);
    y = std::clamp(y, 0.0, image.height - 1.0);
  } else if (!(x >= 0 && y >= 0 && x <= image.width - 1.0 && y <= image.height - 1.0)) {
    return false;
  }
  const int x0 = std::min(static_cast<int>(x), image.width - 2), y0 = std::min(static_cast<int>(y), image.height - 2);
  const double ax = x - x0, ay = y - y0;
  const uint8_t* top = image.row(y0) + static_cast<ptrdiff_t>(x0) * bpp;
  mixFour(top, top + image.bytesPerRow, bpp, at, 1 - ax, ax, 1 - ay, ay, sum);
  return true;
}

// Where one tensor column (or row) samples the picture along one axis of an upright area: the
// coordinate as the general loop forms it, and the pair of neighbours and weights sampleInside
// takes there; `inside` false where sampleInside would refuse the coordinate.
struct AxisSample {
  double at = 0;
  int first = 0;
  double far = 0, near = 0;  // the weight of the second neighbour (a) and of the first (1 - a)
  bool inside = false;
};

// The samples along one axis of `length` pixels, from `start` in steps of `step` (less the half
// pixel to the pixel centres), as sampleInside forms them for each coordinate.
void axisSamples(double start, double step, int count, int length, Border border, std::vector<AxisSample>& samples) {
  samples.resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    AxisSample& s = samples[static_cast<size_t>(i)];
    // The per-pixel loop also adds the other axis's step (zero here) times its index, which leaves
    // the sum as it is.
    s.at = start + i * step - 0.5;
    double v = s.at;
    if (border == Border::replicate) {
      v = std::clamp(v, 0.0, length - 1.0);
      s.inside = true;
    } else {
      s.inside = v >= 0 && v <= length - 1.0;
    }
    if (!s.inside || length < 2) {
      s.inside = false;
      continue;
    }
    s.first = std::min(static_cast<int>(v), length - 2);
    s.far = v - s.first;
    s.near = 1 - s.far;
  }
}

// imageToTensor for an area that is not turned: every column samples the same picture column on
// every row, so the coordinates, neighbours and weights are worked out once per column and row.
// Writes the same values, to the bit, as the general loop: weights and sums are formed in the same
// order from the same doubles.
void fillUpright(const media::ImageView& image, int bpp, ChannelOffsets at, Border border, double startX, double stepX,
                 double startY, double stepY, int width, int height, float low, float scale, float* out) {
  thread_local std::vector<AxisSample> columns, rows;
  axisSamples(startX, stepX, width, image.width, border, columns);
  axisSamples(startY, stepY, height, image.height, border, rows);
  for (const AxisSample& r : rows) {
    const uint8_t* top = r.inside ? image.row(r.first) : nullptr;
    for (const AxisSample& c : columns) {
      float sum[3];
      if (r.inside && c.inside) {
        const uint8_t* t = top + static_cast<ptrdiff_t>(c.first) * bpp;
        mixFour(t, t + image.bytesPerRow, bpp, at, c.near, c.far, r.near, r.far, sum);
      } else {
        samplePixel(image, bpp, at, border, c.at, r.at, sum);
      }
      out[0] = low + scale * sum[0];
      out[1] = low + scale * sum[1];
      out[2] = low + scale * sum[2];
      out += 3;
    }
  }
}

// imageToTensor; with `perPixel`, every tensor pixel's picture point is worked out on its own.
Result<void> fillTensor(const media::ImageView& image, const RotatedRect& area, int width, int height, float low,
                        float high, float* tensor, Border border, bool perPixel);

bool isFinite(const RotatedRect& area) {
  return std::isfinite(area.centerX) && std::isfinite(area.centerY) && std::isfinite(area.width) &&
         std::isfinite(area.height) && std::isfinite(area.rotation);
}

}  // namespace

PicturePoint pictureFromTensor(const RotatedRect& area, double u, double v) {
  double c = std::cos(area.rotation), s = std::sin(area.rotation);
  double dx = (u - 0.5) * area.width, dy = (v - 0.5) * area.height;
  return {area.centerX + dx * c - dy * s, area.centerY + dx * s + dy * c};
}

Result<void> imageToTensor(const media::ImageView& image, const RotatedRect& area, int width, int height, float low,
                           float high, float* tensor, Border border) {
  return fillTensor(image, area, width, height, low, high, tensor, border, false);
}

Result<void> imageToTensorPerPixel(const media::ImageView& image, const RotatedRect& area, int width, int height,
                                   float low, float high, float* tensor, Border border) {
  return fillTensor(image, area, width, height, low, high, tensor, border, true);
}

namespace {

Result<void> fillTensor(const media::ImageView& image, const RotatedRect& area, int width, int height, float low,
                        float high, float* tensor, Border border, bool perPixel) {
  if (!holdsPixels(image)) {
    return detectionError(DetectionError::noPixels, "the picture is empty or its rows are shorter than its width");
  }
  if (width <= 0 || height <= 0 || tensor == nullptr)
    return detectionError(DetectionError::badCrop, "the tensor has no pixels");
  if (!isFinite(area)) return detectionError(DetectionError::badCrop, "the area is not a finite rectangle");
  const int bpp = media::bytesPerPixel(image.format);
  const ChannelOffsets channels = channelOffsets(image.format);
  const float scale = (high - low) / 255.0f;

  // The picture point under the centre of tensor pixel (0, 0), and its steps per tensor column and
  // row; pixel centres sit at half-integer coordinates, so sample at (x - 0.5, y - 0.5).
  PicturePoint origin = pictureFromTensor(area, 0.5 / width, 0.5 / height);
  PicturePoint right = pictureFromTensor(area, 1.5 / width, 0.5 / height);
  PicturePoint down = pictureFromTensor(area, 0.5 / width, 1.5 / height);
  const double stepXx = right.x - origin.x, stepXy = right.y - origin.y;
  const double stepYx = down.x - origin.x, stepYy = down.y - origin.y;

  if (stepXy == 0 && stepYx == 0 && !perPixel) {
    fillUpright(image, bpp, channels, border, origin.x, stepXx, origin.y, stepYy, width,
                height, low, scale, tensor);
    return {};
  }
  float* out = tensor;
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column, out += 3) {
      const double x = origin.x + column * stepXx + row * stepYx - 0.5;
      const double y = origin.y + column * stepXy + row * stepYy - 0.5;
      float sum[3];
      if (!sampleInside(image, bpp, channels, border, x, y, sum)) samplePixel(image, bpp, channels, border, x, y, sum);
      out[0] = low + scale * sum[0];
      out[1] = low + scale * sum[1];
      out[2] = low + scale * sum[2];
    }
  }
  return {};
}

}  // namespace

Letterbox letterbox(int pictureWidth, int pictureHeight, int tensorWidth, int tensorHeight) {
  Letterbox box;
  box.area = {pictureWidth / 2.0, pictureHeight / 2.0, double(pictureWidth), double(pictureHeight), 0};
  if (pictureWidth <= 0 || pictureHeight <= 0 || tensorWidth <= 0 || tensorHeight <= 0) return box;
  double tensorAspect = double(tensorHeight) / tensorWidth;
  double pictureAspect = double(pictureHeight) / pictureWidth;
  if (pictureAspect > tensorAspect) {
    // Taller than the tensor: pad left and right.
    box.area.width = pictureHeight / tensorAspect;
    box.padLeft = box.padRight = (1.0 - pictureWidth / box.area.width) / 2;
  } else {
    box.area.height = pictureWidth * tensorAspect;
    box.padTop = box.padBottom = (1.0 - pictureHeight / box.area.height) / 2;
  }
  return box;
}

}  // namespace platform::vision
