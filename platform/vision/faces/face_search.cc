#include "platform/vision/faces/face_search.h"

#include <algorithm>

#include "platform/vision/detection/non_max_suppression.h"
#include "platform/vision/detection/tiling.h"

namespace platform::vision {
namespace {

// The smallest face the detector finds reliably, as a share of the side of what it sees (14 of
// its 192 pixels, measured on faces of the sample pictures pasted at many sizes: 18 of 21 found
// from there up, half of them at 9 pixels).
constexpr double kSmallestSureFace = 14.0 / 192;
// Fine tiles are this share of the picture's shorter side. There the detector sees a face box of
// 30 pixels of a 720-pixel frame at 16 of its pixels and one of 37 at 20: the scores of faces
// that size swing with where the face falls on the detector's grid (one gallery face scored 0.08
// to 0.66 as the tile moved by 10 pixels with tiles 0.585 of the side, 0.44 to 0.88 with these).
constexpr double kFineTile = 0.5;
// Detections from this score up, below the detector's own, hint at a face seen too small.
constexpr float kDoubtfulFace = 0.1f;
// Fine tiles are worth their cost only when they show faces at least this much larger.
constexpr double kMinGain = 1.25;
// Fine tiles overlap by this much more than the largest face the whole picture may have missed,
// so that each such face lies whole in one of them.
constexpr double kOverlapMargin = 1.25;
// A tile's detection this close to an edge it shares with a neighbour (as a share of its side) is
// a face the tile cut; the neighbour sees it whole.
constexpr double kCutMargin = 0.02;
// A hint is looked at again from close by, where its face would fill a fifth of the detector's
// input; faces near a view's limit score about the detector's threshold there, a little above or
// below it from one view to the next.
constexpr double kCloserLookSide = 5;
// Closer looks at the hints of the whole picture, and of the fine tiles: a bound on the cost of a
// picture full of things that look a little like faces. Those of the whole picture are few because
// most pictures show one face or none, and every closer look costs as much as the whole picture.
constexpr size_t kMaxFirstLooks = 2, kMaxCloserLooks = 24;
// Hints from the fine tiles are worth a closer look from this score up: there a face of the sizes
// sought scores about the detector's threshold, while weaker detections were mostly not faces.
constexpr float kWorthACloserLook = 0.3f;
// A doubtful detection up to this many times the size a view sees surely may be a face it saw too
// small: the size is only where most faces are found (14 model pixels), some score low up to twice
// that.
constexpr double kLargestHint = 2;
// A face found from close by is the hinted one when its size is within this factor of the hint's.
constexpr double kHintSizeSpread = 2;
// A hint beside or below a face at least this much larger lies on that person (a hand, a print on
// a shirt): a small face there would be one far behind, which the near person hides.
constexpr double kHiddenBehind = 2;

double centreX(const DetectionBox& b) { return b.xMin + b.width / 2; }
double centreY(const DetectionBox& b) { return b.yMin + b.height / 2; }

bool inside(const DetectionBox& box, double x, double y) {
  return x >= box.xMin && x <= box.xMax() && y >= box.yMin && y <= box.yMax();
}

// A face found in a finer view that lies for the most part (this share of its box) inside a face
// found before is that face again: a part of a turned head, say, that the closer view took for a
// face of its own. Two people's faces do not overlap that much and both show.
constexpr double kSameFaceShare = 0.5;

// Adds each of `found` (best first) that is no face of `faces` seen again.
void addNewFaces(std::vector<Detection>& faces, const std::vector<Detection>& found) {
  std::vector<Detection> fresh;
  for (const Detection& f : found) {
    const bool within = std::any_of(faces.begin(), faces.end(), [&](const Detection& k) {
      const double w = std::min(k.box.xMax(), f.box.xMax()) - std::max(k.box.xMin, f.box.xMin);
      const double h = std::min(k.box.yMax(), f.box.yMax()) - std::max(k.box.yMin, f.box.yMin);
      return w > 0 && h > 0 && w * h > kSameFaceShare * f.box.width * f.box.height;
    });
    if (!within) fresh.push_back(f);
  }
  addUnseen(faces, fresh, 0.3);
}

// Where a face's own person is in front of anything farther away: the head, and the shoulders and
// chest below it.
bool onPersonOf(const DetectionBox& face, double x, double y) {
  const DetectionBox person{face.xMin - face.width, face.yMin, 3 * face.width, 4 * face.height};
  return inside(person, x, y);
}

// Whether a doubtful detection may be a face too small for the view that saw it (`sureSize`
// pixels and more it sees surely): not where a face was found, not much larger than a face the
// view would have been sure of, and not on the person of a much larger face.
bool hintsAtAFace(const Detection& doubtful, const std::vector<Detection>& faces, double sureSize) {
  if (std::max(doubtful.box.width, doubtful.box.height) >= kLargestHint * sureSize) return false;
  const double x = centreX(doubtful.box), y = centreY(doubtful.box);
  return std::none_of(faces.begin(), faces.end(), [&](const Detection& f) {
    return inside(f.box, x, y) || (f.box.height >= kHiddenBehind * doubtful.box.height && onPersonOf(f.box, x, y));
  });
}

// Whether a face found from close by is the one `hint` hinted at: about where it was and about as
// large. Anything else the closer look shows (a pattern far smaller than the hint, beside it) is
// seen no better there than in the view before, where nothing hinted at it.
bool confirms(const Detection& face, const Detection& hint) {
  const double size = std::max(face.box.width, face.box.height), hinted = std::max(hint.box.width, hint.box.height);
  const DetectionBox near{hint.box.xMin - hint.box.width / 2, hint.box.yMin - hint.box.height / 2, 2 * hint.box.width,
                          2 * hint.box.height};
  return size >= hinted / kHintSizeSpread && size <= hinted * kHintSizeSpread &&
         inside(near, centreX(face.box), centreY(face.box));
}

// Each of `doubtful` (best first) from `minScore` up that still hints at a face, looked at from
// close by, `maxLooks` at most; the faces found there are added.
Result<void> lookCloser(const SsdDetector& detector, const media::ImageView& image,
                        const std::vector<Detection>& doubtful, double sureSize, float minScore, size_t maxLooks,
                        std::vector<Detection>& faces) {
  size_t looks = 0;
  for (const Detection& d : doubtful) {
    if (d.score < minScore || looks == maxLooks) break;
    if (!hintsAtAFace(d, faces, sureSize)) continue;
    ++looks;
    const double side = kCloserLookSide * std::max(d.box.width, d.box.height);
    const RotatedRect area{centreX(d.box), centreY(d.box), side, side, 0};
    Result<SsdFindings> seen = detector.detectIn(image, area, detector.settings().minScore);
    if (!seen) return seen.error();
    std::vector<Detection> confirmed;
    for (const Detection& f : seen.value().found) {
      if (confirms(f, d)) confirmed.push_back(f);
    }
    addNewFaces(faces, confirmed);
  }
  return {};
}

// The detections of every tile of `side`, but those a tile cut, merged.
Result<SsdFindings> searchTiles(const SsdDetector& detector, const media::ImageView& image, double side,
                                double overlap) {
  SsdFindings all;
  const double margin = kCutMargin * side;
  for (const Tile& tile : coveringTiles(image.width, image.height, side, overlap)) {
    Result<SsdFindings> seen = detector.detectIn(image, tile.area(), kDoubtfulFace);
    if (!seen) return seen.error();
    for (auto [from, to] : {std::pair{&seen.value().found, &all.found}, {&seen.value().doubtful, &all.doubtful}}) {
      for (Detection& d : *from) {
        if (!cutByTileEdge(d.box, tile, image.width, image.height, margin)) to->push_back(std::move(d));
      }
    }
  }
  // Neighbouring tiles both see what lies in their overlap.
  all.found = weightedNonMaxSuppression(std::move(all.found), 0.3);
  all.doubtful = weightedNonMaxSuppression(std::move(all.doubtful), 0.3);
  return all;
}

}  // namespace

Result<std::vector<Detection>> searchFaces(const SsdDetector& detector, const media::ImageView& image) {
  const double longSide = std::max(image.width, image.height), shortSide = std::min(image.width, image.height);
  const Letterbox whole = letterbox(image.width, image.height, detector.inputSize(), detector.inputSize());
  Result<SsdFindings> first = detector.detectIn(image, whole.area, kDoubtfulFace);
  if (!first) return first.error();
  std::vector<Detection> faces = std::move(first.value().found);
  const double wholeSure = kSmallestSureFace * longSide;
  if (Result<void> looked =
          lookCloser(detector, image, first.value().doubtful, wholeSure, kDoubtfulFace, kMaxFirstLooks, faces);
      !looked) {
    return looked.error();
  }

  // Where there are two faces or more, or one too small for the whole picture to show surely,
  // others may be smaller still: fine tiles look for them. A lone face that the whole picture shows
  // surely (one person before the camera) costs nothing more.
  const bool mayHoldMore =
      faces.size() >= 2 || std::any_of(faces.begin(), faces.end(), [&](const Detection& f) {
        return std::max(f.box.width, f.box.height) < wholeSure;
      });
  const double fineSide = std::max(kFineTile * shortSide, 1.0 * detector.inputSize());
  if (mayHoldMore && fineSide * kMinGain <= longSide) {
    const double overlap = kOverlapMargin * wholeSure;
    Result<SsdFindings> tiles = searchTiles(detector, image, fineSide, overlap);
    if (!tiles) return tiles.error();
    // The tiles look for the faces the whole picture may have missed, no larger than their overlap;
    // a larger one the whole picture would have shown surely. A tile that cuts a person can make a
    // face of what is left (an astronaut's collar and helmet in a gallery: 213 pixels, 0.67).
    std::erase_if(tiles.value().found,
                  [&](const Detection& f) { return std::max(f.box.width, f.box.height) > overlap; });
    addNewFaces(faces, tiles.value().found);
    if (Result<void> looked = lookCloser(detector, image, tiles.value().doubtful, kSmallestSureFace * fineSide,
                                         kWorthACloserLook, kMaxCloserLooks, faces);
        !looked) {
      return looked.error();
    }
  }
  std::stable_sort(faces.begin(), faces.end(), [](const Detection& a, const Detection& b) { return a.score > b.score; });
  return faces;
}

}  // namespace platform::vision
