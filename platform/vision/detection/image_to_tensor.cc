#include "platform/vision/detection/image_to_tensor.h"

#include <cmath>
#include <cstdint>

namespace platform::vision {
namespace {

Error fail(const std::string& what) { return Error{"vision.image_to_tensor", 1, what}; }

}  // namespace

PicturePoint pictureFromTensor(const RotatedRect& area, double u, double v) {
  double c = std::cos(area.rotation), s = std::sin(area.rotation);
  double dx = (u - 0.5) * area.width, dy = (v - 0.5) * area.height;
  return {area.centerX + dx * c - dy * s, area.centerY + dx * s + dy * c};
}

std::optional<Error> imageToTensor(const media::ImageView& image, const RotatedRect& area,
                                   int width, int height, float low, float high, float* tensor) {
  const int bpp = media::bytesPerPixel(image.format);
  if (image.data == nullptr || image.width <= 0 || image.height <= 0 ||
      image.bytesPerRow < static_cast<ptrdiff_t>(image.width) * bpp) {
    return fail("the picture is empty or its rows are shorter than its width");
  }
  if (width <= 0 || height <= 0 || tensor == nullptr) return fail("the tensor has no pixels");
  if (!std::isfinite(area.centerX) || !std::isfinite(area.centerY) || !std::isfinite(area.width) ||
      !std::isfinite(area.height) || !std::isfinite(area.rotation)) {
    return fail("the area is not a finite rectangle");
  }
  // Offsets of the RGB bytes within a pixel.
  const int r = image.format == media::PixelFormat::bgra8 ? 2 : 0;
  const int g = image.format == media::PixelFormat::gray8 ? 0 : 1;
  const int b = image.format == media::PixelFormat::bgra8 ? 0 : image.format == media::PixelFormat::gray8 ? 0 : 2;
  const float scale = (high - low) / 255.0f;

  // The picture point under the centre of tensor pixel (0, 0), and its steps per tensor column and
  // row; pixel centres sit at half-integer coordinates, so sample at (x - 0.5, y - 0.5).
  PicturePoint origin = pictureFromTensor(area, 0.5 / width, 0.5 / height);
  PicturePoint right = pictureFromTensor(area, 1.5 / width, 0.5 / height);
  PicturePoint down = pictureFromTensor(area, 0.5 / width, 1.5 / height);
  const double stepXx = right.x - origin.x, stepXy = right.y - origin.y;
  const double stepYx = down.x - origin.x, stepYy = down.y - origin.y;

  float* out = tensor;
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column, out += 3) {
      double x = origin.x + column * stepXx + row * stepYx - 0.5;
      double y = origin.y + column * stepXy + row * stepYy - 0.5;
      double fx = std::floor(x), fy = std::floor(y);
      double ax = x - fx, ay = y - fy;
      float sum[3] = {0, 0, 0};
      // The four neighbours; those outside the picture count as black.
      if (fx >= -1 && fx < image.width && fy >= -1 && fy < image.height) {
        int x0 = static_cast<int>(fx), y0 = static_cast<int>(fy);
        for (int k = 0; k < 4; ++k) {
          int px = x0 + (k & 1), py = y0 + (k >> 1);
          if (px < 0 || px >= image.width || py < 0 || py >= image.height) continue;
          float weight = static_cast<float>(((k & 1) ? ax : 1 - ax) * ((k >> 1) ? ay : 1 - ay));
          const uint8_t* p = image.row(py) + static_cast<ptrdiff_t>(px) * bpp;
          sum[0] += weight * p[r];
          sum[1] += weight * p[g];
          sum[2] += weight * p[b];
        }
      }
      out[0] = low + scale * sum[0];
      out[1] = low + scale * sum[1];
      out[2] = low + scale * sum[2];
    }
  }
  return std::nullopt;
}

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
