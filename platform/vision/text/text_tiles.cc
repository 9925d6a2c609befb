#include "platform/vision/text/text_tiles.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "platform/vision/text/line_joining.h"
#include "platform/vision/text/neural_text_reader.h"
#include "platform/vision/text/text_boxes.h"

namespace platform::vision {
namespace {

// Print the whole-picture look sees a few pixels high is legible three times larger.
constexpr double kCloserZoom = 3;
// Tiles cover at most this many detector pixels in all (16 tiles): a huge scan is looked at more
// coarsely rather than for ever.
constexpr double kMostTiledArea = 16.0 * kTileSide * kTileSide;
// The whole-picture look doubts it has seen all the print when it found no line it can read, or
// at least this many lines too small to read (and so the tiles must find as many)...
constexpr size_t kLeastTinyLines = 3;
// ... or text cells outside every line it can read over this share of its map...
constexpr double kLeastSpeckShare = 0.001;
// ... or a "line" over this share of the picture: a block of print too small to tell its lines
// apart is one region on the map (a column of it, read as vertical text).
constexpr double kBlockShare = 0.1;
// A tile's line is cut by the tile's edge when its box comes this near it (detector pixels).
constexpr double kEdgeMargin = 2;

struct Bounds {
  double left, top, right, bottom;
  double width() const { return right - left; }
  double height() const { return bottom - top; }
};

Bounds boundsOf(const RotatedRect& r) {
  const Corners corners = cornersOf(r);
  Bounds b{INFINITY, INFINITY, -INFINITY, -INFINITY};
  for (const PicturePoint& p : corners.points) {
    b.left = std::min(b.left, p.x);
    b.top = std::min(b.top, p.y);
    b.right = std::max(b.right, p.x);
    b.bottom = std::max(b.bottom, p.y);
  }
  return b;
}

double overlap(double a0, double a1, double b0, double b1) { return std::min(a1, b1) - std::max(a0, b0); }

// Evenly spaced starts of `count` pieces of `piece` over `length`.
std::vector<int> starts(int length, int piece, int overlapping) {
  if (length <= piece) return {0};
  const int count = static_cast<int>(std::ceil(double(length - overlapping) / (piece - overlapping)));
  std::vector<int> out;
  for (int i = 0; i < count; ++i) out.push_back(static_cast<int>(std::lround(double(length - piece) * i / (count - 1))));
  return out;
}

// Both pieces of one line (or the same line twice): on one row, of like height, overlapping
// along it.
bool sameLine(const Bounds& a, const Bounds& b) {
  const double lower = std::min(a.height(), b.height()), higher = std::max(a.height(), b.height());
  return higher <= 1.6 * lower && overlap(a.top, a.bottom, b.top, b.bottom) >= 0.6 * lower &&
         overlap(a.left, a.right, b.left, b.right) > 0;
}

bool isBlock(const RotatedRect& box, int width, int height) {
  return box.width * box.height >= kBlockShare * width * height;
}

// How busy `area` of the picture is: the mean difference between horizontal neighbours' green
// (or grey) values, on a sparse grid. Print is busier than paper, sky or a wall.
double busyness(const media::ImageView& image, const PictureArea& area) {
  const int bytes = media::bytesPerPixel(image.format);
  const int channel = bytes >= 3 ? 1 : 0;
  const int step = std::max(1, static_cast<int>(std::sqrt(double(area.width) * area.height / 65536.0)));
  double sum = 0;
  size_t count = 0;
  for (int y = area.top; y < area.top + area.height; y += step) {
    const uint8_t* row = image.row(y);
    for (int x = area.left; x + 1 < area.left + area.width; x += step) {
      sum += std::abs(int(row[x * bytes + channel]) - int(row[(x + 1) * bytes + channel]));
      ++count;
    }
  }
  return count > 0 ? sum / count : 0;
}

size_t root(std::vector<size_t>& parent, size_t i) {
  while (parent[i] != i) i = parent[i] = parent[parent[i]];
  return i;
}

}  // namespace

bool legibleAt(const RotatedRect& box, double scale) { return box.height * scale >= kLegibleBoxHeight; }

std::vector<PictureArea> tilesOver(const PictureArea& area, double scale) {
  std::vector<PictureArea> tiles;
  if (area.width <= 0 || area.height <= 0 || !(scale > 0)) return tiles;
  const int side = std::max(1, static_cast<int>(std::floor(kTileSide / scale)));
  const int overlapping = std::min(side / 2, static_cast<int>(std::ceil(kTileOverlap / scale)));
  const int tileWidth = std::min(side, area.width), tileHeight = std::min(side, area.height);
  for (int top : starts(area.height, tileHeight, overlapping)) {
    for (int left : starts(area.width, tileWidth, overlapping)) {
      tiles.push_back(PictureArea{area.left + left, area.top + top, tileWidth, tileHeight});
    }
  }
  return tiles;
}

CloserLook smallPrintTiles(const media::ImageView& image, const WholeMap& map, const std::vector<DetectedLine>& lines) {
  CloserLook look;
  const int width = image.width, height = image.height;
  if (map.cells == nullptr || map.width <= 0 || map.height <= 0 || map.scale >= 1 || width <= 0 || height <= 0) {
    return look;
  }
  // Cells the lines of ordinary print explain; tiny lines and blocks explain nothing.
  std::vector<uint8_t> explained(static_cast<size_t>(map.width) * map.height, 0);
  size_t tiny = 0, readable = 0;
  bool block = false;
  for (const DetectedLine& line : lines) {
    if (!legibleAt(line.box, map.scale)) ++tiny;
    if (isBlock(line.box, width, height)) block = true;
    if (!legibleAt(line.box, map.scale) || isBlock(line.box, width, height)) continue;
    ++readable;
    const Bounds b = boundsOf(line.box);
    const int x0 = std::clamp(static_cast<int>(std::floor(b.left * map.scale)), 0, map.width);
    const int x1 = std::clamp(static_cast<int>(std::ceil(b.right * map.scale)), x0, map.width);
    const int y0 = std::clamp(static_cast<int>(std::floor(b.top * map.scale)), 0, map.height);
    const int y1 = std::clamp(static_cast<int>(std::ceil(b.bottom * map.scale)), y0, map.height);
    for (int y = y0; y < y1; ++y) std::fill_n(explained.begin() + static_cast<ptrdiff_t>(y) * map.width + x0, x1 - x0, 1);
  }
  const float threshold = TextBoxSettings{}.threshold;
  // Unexplained text cells summed over the map, so that any rectangle's count is four look-ups.
  std::vector<int> summed(static_cast<size_t>(map.width + 1) * (map.height + 1), 0);
  auto at = [&](int x, int y) -> int& { return summed[static_cast<size_t>(y) * (map.width + 1) + x]; };
  for (int y = 0; y < map.height; ++y) {
    for (int x = 0; x < map.width; ++x) {
      const size_t cell = static_cast<size_t>(y) * map.width + x;
      const int speck = map.cells[cell] > threshold && !explained[cell] ? 1 : 0;
      at(x + 1, y + 1) = speck + at(x, y + 1) + at(x + 1, y) - at(x, y);
    }
  }
  const int specks = at(map.width, map.height);
  const bool doubtful =
      readable == 0 || block || tiny >= kLeastTinyLines || specks >= kLeastSpeckShare * map.width * map.height;
  if (!doubtful) return look;
  look.scale = std::min({1.0, map.scale * kCloserZoom, std::sqrt(kMostTiledArea / (double(width) * height))});
  if (look.scale <= map.scale) return look;
  look.tiles = tilesOver(PictureArea{0, 0, width, height}, look.scale);
  // The probe: the tile with the most unexplained text, or the busiest when there is none.
  int most = 0;
  for (size_t i = 0; i < look.tiles.size(); ++i) {
    const PictureArea& tile = look.tiles[i];
    const int x0 = std::clamp(static_cast<int>(tile.left * map.scale), 0, map.width);
    const int x1 = std::clamp(static_cast<int>(std::ceil((tile.left + tile.width) * map.scale)), x0, map.width);
    const int y0 = std::clamp(static_cast<int>(tile.top * map.scale), 0, map.height);
    const int y1 = std::clamp(static_cast<int>(std::ceil((tile.top + tile.height) * map.scale)), y0, map.height);
    const int count = at(x1, y1) - at(x0, y1) - at(x1, y0) + at(x0, y0);
    if (count > most) {
      most = count;
      look.probe = i;
    }
  }
  if (most == 0) {
    double busiest = -1;
    for (size_t i = 0; i < look.tiles.size(); ++i) {
      const double busy = busyness(image, look.tiles[i]);
      if (busy > busiest) {
        busiest = busy;
        look.probe = i;
      }
    }
  }
  return look;
}

bool holdsSmallPrint(const std::vector<DetectedLine>& probeLines, double wholeScale, double closerScale) {
  const auto small = std::count_if(probeLines.begin(), probeLines.end(), [&](const DetectedLine& line) {
    return legibleAt(line.box, closerScale) && !legibleAt(line.box, wholeScale);
  });
  return static_cast<size_t>(small) >= kLeastTinyLines;
}

std::vector<DetectedLine> mergeTileLines(const std::vector<DetectedLine>& whole, double wholeScale,
                                         const std::vector<TileLines>& tiles, int pictureHeight) {
  auto searched = [&](const RotatedRect& box) {
    return std::any_of(tiles.begin(), tiles.end(), [&](const TileLines& t) {
      return box.centerX >= t.tile.left && box.centerX < t.tile.left + t.tile.width && box.centerY >= t.tile.top &&
             box.centerY < t.tile.top + t.tile.height;
    });
  };
  // Lines in picture pixels the tiles found, kept clear of any tile's edges across the text.
  std::vector<DetectedLine> found;
  std::vector<Bounds> foundBounds;
  for (const TileLines& t : tiles) {
    const double margin = kEdgeMargin / t.scale;
    for (const DetectedLine& line : t.lines) {
      const Bounds b = boundsOf(line.box);
      const bool cutAtTop = t.tile.top > 0 && b.top < t.tile.top + margin;
      const bool cutAtBottom = t.tile.top + t.tile.height < pictureHeight && b.bottom > t.tile.top + t.tile.height - margin;
      if (cutAtTop || cutAtBottom) continue;
      found.push_back(line);
      foundBounds.push_back(b);
    }
  }
  // The whole-picture look's lines stand, but for small ones where the tiles looked closer, and
  // blocks the tiles found to be several lines of print.
  std::vector<DetectedLine> kept;
  std::vector<Bounds> keptBounds;
  for (const DetectedLine& line : whole) {
    const bool legible = legibleAt(line.box, wholeScale);
    if (!legible && searched(line.box)) continue;
    const Bounds b = boundsOf(line.box);
    const auto inside = std::count_if(foundBounds.begin(), foundBounds.end(), [&](const Bounds& f) {
      const double x = (f.left + f.right) / 2, y = (f.top + f.bottom) / 2;
      return x >= b.left && x < b.right && y >= b.top && y < b.bottom && f.height() < 0.5 * b.height();
    });
    if (legible && inside >= 2) continue;
    kept.push_back(line);
    if (legible) keptBounds.push_back(b);
  }
  // A tile's line that a kept line of the whole look holds is that line.
  std::vector<DetectedLine> tileLines;
  std::vector<Bounds> tileBounds;
  for (size_t i = 0; i < found.size(); ++i) {
    const Bounds& b = foundBounds[i];
    const bool seenWhole = std::any_of(keptBounds.begin(), keptBounds.end(), [&](const Bounds& k) {
      const double common = std::max(0.0, overlap(k.left, k.right, b.left, b.right)) *
                            std::max(0.0, overlap(k.top, k.bottom, b.top, b.bottom));
      return common >= 0.5 * b.width() * b.height();
    });
    if (seenWhole) continue;
    tileLines.push_back(found[i]);
    tileBounds.push_back(b);
  }
  found = std::move(tileLines);
  foundBounds = std::move(tileBounds);
  // Pieces of one line, and one line found twice, joined.
  std::vector<size_t> parent(found.size()), byTop(found.size());
  std::iota(parent.begin(), parent.end(), 0);
  std::iota(byTop.begin(), byTop.end(), 0);
  std::sort(byTop.begin(), byTop.end(), [&](size_t a, size_t b) { return foundBounds[a].top < foundBounds[b].top; });
  for (size_t i = 0; i < byTop.size(); ++i) {
    const Bounds& a = foundBounds[byTop[i]];
    for (size_t j = i + 1; j < byTop.size() && foundBounds[byTop[j]].top < a.bottom; ++j) {
      if (sameLine(a, foundBounds[byTop[j]])) parent[root(parent, byTop[j])] = root(parent, byTop[i]);
    }
  }
  std::vector<std::vector<size_t>> groups(found.size());
  for (size_t i = 0; i < found.size(); ++i) groups[root(parent, i)].push_back(i);
  for (const std::vector<size_t>& group : groups) {
    if (group.empty()) continue;
    std::vector<RotatedRect> parts;
    double weighted = 0, area = 0;
    for (size_t i : group) {
      parts.push_back(found[i].box);
      const double a = found[i].box.width * found[i].box.height;
      weighted += found[i].score * a;
      area += a;
    }
    const float score = area > 0 ? static_cast<float>(weighted / area) : found[group.front()].score;
    kept.push_back(DetectedLine{group.size() == 1 ? parts.front() : boxAround(parts), score});
  }
  std::vector<RotatedRect> boxes;
  for (const DetectedLine& line : kept) boxes.push_back(line.box);
  std::vector<DetectedLine> ordered;
  for (size_t i : readingOrder(boxes)) ordered.push_back(kept[i]);
  return ordered;
}

}  // namespace platform::vision
