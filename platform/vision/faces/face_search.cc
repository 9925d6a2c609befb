#include "platform/vision/faces/face_search.h"

#include <algorithm>

#include "platform/vision/detection/non_max_suppression.h"
#include "platform/vision/detection/tiling.h"

namespace platform::vision {
namespace {

// The smallest face the detector finds reliably, as a share of the side of what it sees (14 of
// its 192 pixels, measured on faces of the sample pictures pasted at many sizes: 19 of 21 found
// from there up, half of them at 9 pixels).
constexpr double kSmallestSureFace = 14.0 / 192;
// Detections from this score up, below the detector's own, hint at a face seen too small.
constexpr float kDoubtfulFace = 0.1f;
// A finer view is worth its cost only when it shows faces at least this much larger.
constexpr double kMinGain = 1.25;
// Tiles overlap by this much more than the largest face the coarser view may have missed.
constexpr double kOverlapMargin = 1.25;
// Tiles of the finest view are this share of the picture's shorter side.
constexpr double kFinestTile = 0.55;
// A tile's detection this close to an edge it shares with a neighbour (as a share of its side) is
// a face the tile cut; the neighbour sees it whole.
constexpr double kCutMargin = 0.02;
// A doubtful detection of the finest view from this score up is looked at again from close by,
// where its face fills a fifth of the detector's input: faces near the finest view's limit score
// about the detector's threshold there, a little above or below it from one tile to the next.
constexpr float kWorthACloserLook = 0.3f;
constexpr double kCloserLookSide = 5;
// Closer looks per picture at most, the likeliest first: a bound on the cost of a busy picture.
constexpr size_t kMaxCloserLooks = 24;

bool inside(const DetectionBox& box, double x, double y) {
  return x >= box.xMin && x <= box.xMax() && y >= box.yMin && y <= box.yMax();
}

// Whether a doubtful detection lies where no face was found: it hints at another face.
bool unexplained(const Detection& doubtful, const std::vector<Detection>& faces) {
  const double x = doubtful.box.xMin + doubtful.box.width / 2, y = doubtful.box.yMin + doubtful.box.height / 2;
  return std::none_of(faces.begin(), faces.end(), [&](const Detection& f) { return inside(f.box, x, y); });
}

struct View {
  std::vector<Detection> found;
  std::vector<Detection> doubtful;  // those no face found in the same view explains
};

View viewOf(SsdFindings findings) {
  View view{std::move(findings.found), {}};
  for (Detection& d : findings.doubtful) {
    if (unexplained(d, view.found)) view.doubtful.push_back(std::move(d));
  }
  return view;
}

// The detections of every tile of `side`, but those a tile cut, merged.
Result<View> searchTiles(const SsdDetector& detector, const media::ImageView& image, double side, double overlap) {
  SsdFindings all;
  for (const Tile& tile : coveringTiles(image.width, image.height, side, overlap)) {
    Result<SsdFindings> seen = detector.detectIn(image, tile.area(), kDoubtfulFace);
    if (!seen) return seen.error();
    const double margin = kCutMargin * side;
    for (auto [from, to] : {std::pair{&seen.value().found, &all.found}, {&seen.value().doubtful, &all.doubtful}}) {
      for (Detection& d : *from) {
        if (!cutByTileEdge(d.box, tile, image.width, image.height, margin)) to->push_back(std::move(d));
      }
    }
  }
  // Neighbouring tiles both see what lies in their overlap.
  all.found = weightedNonMaxSuppression(std::move(all.found), 0.3);
  all.doubtful = weightedNonMaxSuppression(std::move(all.doubtful), 0.3);
  return viewOf(std::move(all));
}

// Each doubtful detection worth it, looked at from close by; what is found there is added.
Result<void> lookCloser(const SsdDetector& detector, const media::ImageView& image,
                        const std::vector<Detection>& doubtful, std::vector<Detection>& faces) {
  size_t looks = 0;
  for (const Detection& d : doubtful) {  // best first
    if (d.score < kWorthACloserLook || looks == kMaxCloserLooks) break;
    if (!unexplained(d, faces)) continue;
    ++looks;
    const double side = kCloserLookSide * std::max(d.box.width, d.box.height);
    const RotatedRect area{d.box.xMin + d.box.width / 2, d.box.yMin + d.box.height / 2, side, side, 0};
    Result<SsdFindings> seen = detector.detectIn(image, area, detector.settings().minScore);
    if (!seen) return seen.error();
    addUnseen(faces, seen.value().found, 0.3);
  }
  return {};
}

}  // namespace

Result<std::vector<Detection>> searchFaces(const SsdDetector& detector, const media::ImageView& image) {
  const double longSide = std::max(image.width, image.height), shortSide = std::min(image.width, image.height);
  const Letterbox whole = letterbox(image.width, image.height, detector.inputSize(), detector.inputSize());
  Result<SsdFindings> first = detector.detectIn(image, whole.area, kDoubtfulFace);
  if (!first) return first.error();
  View coarse = viewOf(std::move(first).value());
  std::vector<Detection> faces = std::move(coarse.found);
  bool hintsAtMore = !coarse.doubtful.empty();

  double coarser = longSide;
  if (shortSide * kMinGain <= longSide) {
    Result<View> tiles = searchTiles(detector, image, shortSide, kOverlapMargin * kSmallestSureFace * coarser);
    if (!tiles) return tiles.error();
    addUnseen(faces, tiles.value().found, 0.3);
    hintsAtMore = hintsAtMore || !tiles.value().doubtful.empty();
    coarser = shortSide;
  }
  if (hintsAtMore || faces.size() >= 2) {
    Result<View> tiles =
        searchTiles(detector, image, kFinestTile * shortSide, kOverlapMargin * kSmallestSureFace * coarser);
    if (!tiles) return tiles.error();
    addUnseen(faces, tiles.value().found, 0.3);
    if (Result<void> looked = lookCloser(detector, image, tiles.value().doubtful, faces); !looked) {
      return looked.error();
    }
  }
  std::stable_sort(faces.begin(), faces.end(), [](const Detection& a, const Detection& b) { return a.score > b.score; });
  return faces;
}

}  // namespace platform::vision
