#include "platform/vision/text/text_model_inputs.h"

#include <algorithm>
#include <array>
#include <limits>
#include <cmath>
#include <cstring>
#include <vector>

namespace platform::vision {
namespace {

// Reads pixels as blue, green, red whatever the layout.
struct Pixels {
  const media::ImageView& image;
  int bpp = media::bytesPerPixel(image.format);
  int r = image.format == media::PixelFormat::bgra8 ? 2 : 0;
  int g = image.format == media::PixelFormat::gray8 ? 0 : 1;
  int b = image.format == media::PixelFormat::bgra8 ? 0 : image.format == media::PixelFormat::gray8 ? 0 : 2;

  // Bilinear at (x, y) in pixel-centre coordinates, clamped to the picture; bgr in 0-255.
  void sample(double x, double y, float bgr[3]) const {
    x = std::clamp(x, 0.0, image.width - 1.0);
    y = std::clamp(y, 0.0, image.height - 1.0);
    int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
    int x1 = std::min(x0 + 1, image.width - 1), y1 = std::min(y0 + 1, image.height - 1);
    float ax = static_cast<float>(x - x0), ay = static_cast<float>(y - y0);
    const uint8_t* p00 = image.row(y0) + static_cast<ptrdiff_t>(x0) * bpp;
    const uint8_t* p01 = image.row(y0) + static_cast<ptrdiff_t>(x1) * bpp;
    const uint8_t* p10 = image.row(y1) + static_cast<ptrdiff_t>(x0) * bpp;
    const uint8_t* p11 = image.row(y1) + static_cast<ptrdiff_t>(x1) * bpp;
    const int offsets[3] = {b, g, r};
    for (int c = 0; c < 3; ++c) {
      int o = offsets[c];
      float top = p00[o] + (p01[o] - p00[o]) * ax;
      float bottom = p10[o] + (p11[o] - p10[o]) * ax;
      bgr[c] = top + (bottom - top) * ay;
    }
  }
};

// The picture shrunk by a whole factor, each pixel the mean of a factor x factor block.
media::Image shrunk(const media::ImageView& image, int factor) {
  Pixels pixels{image};
  media::Image out;
  out.width = std::max(1, image.width / factor);
  out.height = std::max(1, image.height / factor);
  out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
  std::vector<uint32_t> sums(static_cast<size_t>(out.width) * 3);
  for (int y = 0; y < out.height; ++y) {
    std::fill(sums.begin(), sums.end(), 0);
    for (int dy = 0; dy < factor; ++dy) {
      const uint8_t* row = image.row(std::min(y * factor + dy, image.height - 1));
      for (int x = 0; x < out.width; ++x)
        for (int dx = 0; dx < factor; ++dx) {
          const uint8_t* p = row + static_cast<ptrdiff_t>(std::min(x * factor + dx, image.width - 1)) * pixels.bpp;
          sums[3 * x] += p[pixels.r];
          sums[3 * x + 1] += p[pixels.g];
          sums[3 * x + 2] += p[pixels.b];
        }
    }
    uint8_t* out_row = out.rgb.data() + static_cast<size_t>(y) * out.width * 3;
    const uint32_t area = static_cast<uint32_t>(factor * factor);
    for (size_t i = 0; i < sums.size(); ++i) out_row[i] = static_cast<uint8_t>((sums[i] + area / 2) / area);
  }
  return out;
}

// Calls write(x, y, bgr) for each cell of a `width` x `height` grid laid over `line` (picture
// pixels), bgr the mean colour under the cell: several samples per cell when the line is shrunk,
// so that thin strokes survive.
template <typename Write>
void sampleLine(const media::ImageView& image, const RotatedRect& line, int width, int height, Write write) {
  Pixels pixels{image};
  const double c = std::cos(line.rotation), s = std::sin(line.rotation);
  const double stepU = line.width / width, stepV = line.height / height;
  const int samples = std::clamp(static_cast<int>(std::ceil(std::max(stepU, stepV))), 1, 4);
  const float scale = 1.0f / static_cast<float>(samples * samples);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      float sum[3] = {0, 0, 0};
      for (int j = 0; j < samples; ++j)
        for (int i = 0; i < samples; ++i) {
          double u = (x + (i + 0.5) / samples) * stepU - line.width / 2;
          double v = (y + (j + 0.5) / samples) * stepV - line.height / 2;
          float bgr[3];
          pixels.sample(line.centerX + u * c - v * s - 0.5, line.centerY + u * s + v * c - 0.5, bgr);
          for (int k = 0; k < 3; ++k) sum[k] += bgr[k];
        }
      for (float& value : sum) value *= scale;
      write(x, y, sum);
    }
  }
}

}  // namespace

void fillDetectorInput(const media::ImageView& image, int width, int height, int canvasWidth, int canvasHeight,
                       float* tensor) {
  std::memset(tensor, 0, sizeof(float) * 3 * static_cast<size_t>(canvasWidth) * canvasHeight);
  // Averaging first: bilinear sampling alone would skip most pixels of a large photo.
  int factor = std::max(1, std::min(image.width / width, image.height / height));
  media::Image small;
  media::ImageView source = image;
  if (factor >= 2) {
    small = shrunk(image, factor);
    source = small.view();
  }
  Pixels pixels{source};
  const float mean[3] = {0.485f, 0.456f, 0.406f}, deviation[3] = {0.229f, 0.224f, 0.225f};
  const double sx = double(source.width) / width, sy = double(source.height) / height;
  for (int y = 0; y < height; ++y) {
    float* out = tensor + static_cast<size_t>(y) * canvasWidth * 3;
    for (int x = 0; x < width; ++x, out += 3) {
      float bgr[3];
      pixels.sample((x + 0.5) * sx - 0.5, (y + 0.5) * sy - 0.5, bgr);
      for (int c = 0; c < 3; ++c) out[c] = (bgr[c] / 255.0f - mean[c]) / deviation[c];
    }
  }
}

void fillLineInput(const media::ImageView& image, const RotatedRect& line, int width, int height, int canvasWidth,
                   float* tensor) {
  std::memset(tensor, 0, sizeof(float) * 3 * static_cast<size_t>(canvasWidth) * height);
  sampleLine(image, line, width, height, [&](int x, int y, const float bgr[3]) {
    float* out = tensor + (static_cast<size_t>(y) * canvasWidth + x) * 3;
    for (int k = 0; k < 3; ++k) out[k] = bgr[k] / 127.5f - 1.0f;
  });
}

media::Image straightenedLine(const media::ImageView& image, const RotatedRect& line, int height, int maxWidth) {
  media::Image out;
  out.height = std::max(1, height);
  const double ratio = line.height > 0 ? line.width / line.height : 1.0;
  out.width = std::clamp(static_cast<int>(std::lround(out.height * ratio)), 1, std::max(1, maxWidth));
  out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
  sampleLine(image, line, out.width, out.height, [&](int x, int y, const float bgr[3]) {
    uint8_t* rgb = out.rgb.data() + (static_cast<size_t>(y) * out.width + x) * 3;
    for (int k = 0; k < 3; ++k) rgb[k] = static_cast<uint8_t>(std::lround(std::clamp(bgr[2 - k], 0.0f, 255.0f)));
  });
  return out;
}

namespace {

// How far from (x, y) one can go in the direction (dx, dy) without leaving the picture.
double roomTowards(double x, double y, double dx, double dy, int width, int height) {
  double room = std::numeric_limits<double>::max();
  if (dx > 1e-9) room = std::min(room, (width - x) / dx);
  if (dx < -1e-9) room = std::min(room, -x / dx);
  if (dy > 1e-9) room = std::min(room, (height - y) / dy);
  if (dy < -1e-9) room = std::min(room, -y / dy);
  return std::max(0.0, room);
}

}  // namespace

RotatedRect withMargins(const RotatedRect& line, double across, double along, int width, int height) {
  const double c = std::cos(line.rotation), s = std::sin(line.rotation);
  // The room beyond each end of the line's middle, and beyond its top and bottom edges' middles.
  const double wanted = along * line.height, wantedAcross = across * line.height;
  const double halfWidth = line.width / 2, halfHeight = line.height / 2;
  auto room = [&](double fromX, double fromY, double dx, double dy, double want) {
    return std::min(want, roomTowards(fromX, fromY, dx, dy, width, height));
  };
  const double right = room(line.centerX + halfWidth * c, line.centerY + halfWidth * s, c, s, wanted);
  const double left = room(line.centerX - halfWidth * c, line.centerY - halfWidth * s, -c, -s, wanted);
  const double below = room(line.centerX - halfHeight * s, line.centerY + halfHeight * c, -s, c, wantedAcross);
  const double above = room(line.centerX + halfHeight * s, line.centerY - halfHeight * c, s, -c, wantedAcross);
  RotatedRect out = line;
  out.width = line.width + left + right;
  out.height = line.height + above + below;
  const double shiftAlong = (right - left) / 2, shiftAcross = (below - above) / 2;
  out.centerX += shiftAlong * c - shiftAcross * s;
  out.centerY += shiftAlong * s + shiftAcross * c;
  return out;
}

namespace {

// The grey level that best splits the histogram in two (Otsu's method).
int otsuThreshold(const std::vector<uint8_t>& pixels) {
  std::array<double, 256> histogram{};
  for (uint8_t value : pixels) ++histogram[value];
  double total = 0, sum = 0;
  for (int i = 0; i < 256; ++i) {
    total += histogram[i];
    sum += i * histogram[i];
  }
  double below = 0, belowSum = 0, bestSpread = -1;
  int threshold = 127;
  for (int i = 0; i < 255; ++i) {
    below += histogram[i];
    belowSum += i * histogram[i];
    const double above = total - below;
    if (below == 0 || above == 0) continue;
    const double difference = belowSum / below - (sum - belowSum) / above;
    const double spread = below * above * difference * difference;
    if (spread > bestSpread) {
      bestSpread = spread;
      threshold = i;
    }
  }
  return threshold;
}

}  // namespace

GreyImage darkTextOnLight(const media::Image& line) {
  GreyImage grey{line.width, line.height, std::vector<uint8_t>(static_cast<size_t>(line.width) * line.height)};
  for (size_t i = 0; i < grey.pixels.size(); ++i) {
    const uint8_t* rgb = &line.rgb[3 * i];
    grey.pixels[i] = static_cast<uint8_t>((299 * rgb[0] + 587 * rgb[1] + 114 * rgb[2] + 500) / 1000);
  }
  if (grey.pixels.empty()) return grey;
  const int threshold = otsuThreshold(grey.pixels);
  // The margins: a tenth of the rows at the top and at the bottom, one row at least.
  const int band = std::max(1, line.height / 10);
  size_t light = 0, dark = 0;
  for (int y = 0; y < line.height; ++y) {
    if (y >= band && y < line.height - band) continue;
    for (int x = 0; x < line.width; ++x) {
      (grey.pixels[static_cast<size_t>(y) * line.width + x] > threshold ? light : dark) += 1;
    }
  }
  if (dark > light) {
    for (uint8_t& value : grey.pixels) value = static_cast<uint8_t>(255 - value);
  }
  return grey;
}

}  // namespace platform::vision
