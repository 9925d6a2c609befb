#include "platform/vision/bodies_and_hands/body_search.h"

#include <algorithm>

#include "platform/vision/bodies_and_hands/body_and_hand_models.h"
#include "platform/vision/detection/tiling.h"

namespace platform::vision {
namespace {

// Two sets of landmarks whose points lie on average closer than this share of their box's
// diagonal are one body found twice (two people side by side, even overlapping, are further apart).
constexpr double kSamePoints = 0.1;
// The body region of a face: its side in face heights, and how far its centre lies below the
// face's centre, in face heights.
constexpr double kRegionSide = 6, kRegionDrop = 1.2;
// Tiles for people whose face is not seen: this share of the picture's shorter side, overlapping
// by this share of theirs.
constexpr double kTileSide = 0.75, kTileOverlap = 0.2;
// The pose landmark model's nose and eyes.
constexpr size_t kHeadPoints[] = {0, 2, 5};

DetectionBox grown(const DetectionBox& box, double factor) {
  const double dx = box.width * (factor - 1) / 2, dy = box.height * (factor - 1) / 2;
  return {box.xMin - dx, box.yMin - dy, box.width * factor, box.height * factor};
}

bool inside(const DetectionBox& box, const ImagePoint& p) {
  return p.x >= box.xMin && p.x <= box.xMax() && p.y >= box.yMin && p.y <= box.yMax();
}

// Whether a body's head lies in `box` (a face's or a pose detection's, which is the face's too).
bool headIn(const Landmarks& body, const DetectionBox& box) {
  const DetectionBox around = grown(box, 1.5);
  return std::any_of(std::begin(kHeadPoints), std::end(kHeadPoints), [&](size_t i) {
    return i < body.points.size() && inside(around, body.points[i].position);
  });
}

bool explained(const DetectionBox& head, const std::vector<Landmarks>& bodies) {
  return std::any_of(bodies.begin(), bodies.end(), [&](const Landmarks& b) { return headIn(b, head); });
}

class Finder {
 public:
  Finder(const SsdDetector& detector, const LandmarkModel& landmarks, const media::ImageView& image)
      : detector_(detector), landmarks_(landmarks), image_(image) {}

  // Adds the body the landmark model finds in the crop of `person`, unless it is none, one
  // already found, or (with `face`) one whose head is not at that face: the crop reached another
  // person, below a head-and-shoulders picture of this one, and the model followed that body.
  Result<void> add(const Detection& person, const DetectionBox* face = nullptr) {
    Result<std::optional<Landmarks>> body = landmarks_.run(image_, bodyCrop(person));
    if (!body) return body.error();
    if (!body.value()) return {};
    if (face && !headIn(*body.value(), *face)) return {};
    const std::vector<LandmarkPoint>& points = body.value()->points;
    if (std::any_of(bodies_.begin(), bodies_.end(),
                    [&](const Landmarks& other) { return samePoints(points, other.points, kSamePoints); })) {
      return {};
    }
    bodies_.push_back(std::move(*body.value()));
    return {};
  }

  const SsdDetector& detector() const { return detector_; }
  const media::ImageView& image() const { return image_; }
  std::vector<Landmarks>& bodies() { return bodies_; }

 private:
  const SsdDetector& detector_;
  const LandmarkModel& landmarks_;
  const media::ImageView& image_;
  std::vector<Landmarks> bodies_;
};

// The body of each face that no body found so far explains, from the detection whose face box
// holds the face's centre.
Result<void> addBodiesOfFaces(Finder& finder, std::span<const DetectionBox> faces) {
  for (const DetectionBox& face : faces) {
    if (explained(face, finder.bodies())) continue;
    Result<SsdFindings> seen =
        finder.detector().detectIn(finder.image(), bodyRegionOfFace(face), finder.detector().settings().minScore);
    if (!seen) return seen.error();
    const ImagePoint centre{face.xMin + face.width / 2, face.yMin + face.height / 2};
    for (const Detection& person : seen.value().found) {  // best first
      if (!inside(grown(person.box, 1.5), centre)) continue;
      if (Result<void> added = finder.add(person, &face); !added) return added;
      break;
    }
  }
  return {};
}

// People the whole picture showed the detector too small, in tiles; a detection whose head a body
// already has, or a face found, is one of those.
Result<void> addBodiesOfTiles(Finder& finder, std::span<const DetectionBox> faces) {
  const media::ImageView& image = finder.image();
  const double side = kTileSide * std::min(image.width, image.height);
  for (const Tile& tile : coveringTiles(image.width, image.height, side, kTileOverlap * side)) {
    Result<SsdFindings> seen = finder.detector().detectIn(image, tile.area(), finder.detector().settings().minScore);
    if (!seen) return seen.error();
    for (const Detection& person : seen.value().found) {
      if (cutByTileEdge(person.box, tile, image.width, image.height, 0)) continue;
      if (explained(person.box, finder.bodies())) continue;
      const DetectionBox head = grown(person.box, 1.5);
      if (std::any_of(faces.begin(), faces.end(), [&](const DetectionBox& f) {
            return inside(head, {f.xMin + f.width / 2, f.yMin + f.height / 2});
          })) {
        continue;
      }
      if (Result<void> added = finder.add(person); !added) return added;
    }
  }
  return {};
}

}  // namespace

RotatedRect bodyRegionOfFace(const DetectionBox& face) {
  const double height = std::max(face.width, face.height);
  return {face.xMin + face.width / 2, face.yMin + face.height / 2 + kRegionDrop * height, kRegionSide * height,
          kRegionSide * height, 0};
}

Result<std::vector<Landmarks>> searchBodies(const SsdDetector& detector, const LandmarkModel& landmarks,
                                            const media::ImageView& image, std::span<const DetectionBox> faces) {
  Finder finder(detector, landmarks, image);
  Result<std::vector<Detection>> first = detector.detect(image);
  if (!first) return first.error();
  for (const Detection& person : first.value()) {
    if (Result<void> added = finder.add(person); !added) return added.error();
  }
  if (Result<void> added = addBodiesOfFaces(finder, faces); !added) return added.error();
  // Only where faces show a group: on pictures with no one in them, tiles gave the detector and the
  // landmark model enough chances to agree on a body in a pattern of noise.
  if (faces.size() >= 2) {
    if (Result<void> added = addBodiesOfTiles(finder, faces); !added) return added.error();
  }
  return std::move(finder.bodies());
}

}  // namespace platform::vision
