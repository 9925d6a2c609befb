#include "frame_analysis/colour_sample.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace frame_analysis {

using platform::vision::NormalizedRect;

namespace {

constexpr int kSide = 4;

// How much of each source pixel in [begin, end) falls into each of the kSide output cells, so
// that every output pixel is the mean of the area it covers.
struct CellWeights {
  int first = 0;                // first source pixel of the cell
  std::vector<double> weights;  // share of each source pixel, summing to 1
};

std::array<CellWeights, kSide> cellWeights(int begin, int end) {
  std::array<CellWeights, kSide> cells;
  const double span = static_cast<double>(end - begin) / kSide;
  for (int cell = 0; cell < kSide; ++cell) {
    const double from = begin + cell * span;
    const double to = begin + (cell + 1) * span;
    const int first = static_cast<int>(std::floor(from));
    const int last = std::min(end, static_cast<int>(std::ceil(to)));
    cells[cell].first = first;
    for (int p = first; p < last; ++p) {
      const double overlap = std::min<double>(p + 1, to) - std::max<double>(p, from);
      cells[cell].weights.push_back(std::max(0.0, overlap) / span);
    }
  }
  return cells;
}

}  // namespace

NormalizedRect samplingRect(const NormalizedRect& box) {
  const double width = box.standardWidth(), height = box.standardHeight();
  return NormalizedRect{box.minX() + width * (-0.25), box.minY() + height * (-1.2), width * 1.5, height * 2.5};
}

platform::JsonArray colours(const platform::media::Image& image, const NormalizedRect& rect) {
  const double w = image.width, h = image.height;
  // The rectangle in pixels, origin top-left.
  const double px = rect.minX() * w;
  const double py = (1 - rect.maxY()) * h;
  const double pw = rect.standardWidth() * w;
  const double ph = rect.standardHeight() * h;
  // Its overlap with the picture.
  const double qx0 = std::max(px, 0.0), qy0 = std::max(py, 0.0);
  const double qx1 = std::min(px + pw, w), qy1 = std::min(py + ph, h);
  if (!(qx1 > qx0) || !(qy1 > qy0)) return {};
  // The crop widens to whole pixels and stays within the picture.
  const int x0 = std::max(0, static_cast<int>(std::floor(qx0)));
  const int y0 = std::max(0, static_cast<int>(std::floor(qy0)));
  const int x1 = std::min(image.width, static_cast<int>(std::ceil(qx1)));
  const int y1 = std::min(image.height, static_cast<int>(std::ceil(qy1)));
  if (x1 <= x0 || y1 <= y0) return {};

  const std::array<CellWeights, kSide> columns = cellWeights(x0, x1);
  const std::array<CellWeights, kSide> rows = cellWeights(y0, y1);
  const platform::media::ImageView pixels = image.view();
  platform::JsonArray sample;
  sample.reserve(kSide * kSide * 3);
  for (const CellWeights& row : rows) {
    for (const CellWeights& column : columns) {
      double sum[3] = {0, 0, 0};
      for (size_t r = 0; r < row.weights.size(); ++r) {
        const uint8_t* line = pixels.row(row.first + static_cast<int>(r));
        for (size_t c = 0; c < column.weights.size(); ++c) {
          const uint8_t* pixel = line + 3 * (column.first + static_cast<int>(c));
          const double weight = row.weights[r] * column.weights[c];
          for (int channel = 0; channel < 3; ++channel) sum[channel] += weight * pixel[channel];
        }
      }
      for (const double channel : sum) {
        const double byte = std::clamp(std::round(channel), 0.0, 255.0);
        sample.push_back(byte / 255.0);
      }
    }
  }
  return sample;
}

}  // namespace frame_analysis
