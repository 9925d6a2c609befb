#include "platform/vision/bodies_and_hands/body_search.h"

#include <algorithm>
#include <optional>

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
// Around a face, pose detections from this score up may be its person's.
constexpr float kAnyPerson = 0.1f;
// An upright person's pose detection, in face heights from the face's centre: the middle of the
// hips below it, and the top of the circle around the body above it (medians over the sample
// pictures of one person: 3.7 and 0.9, the circle's radius 4.6).
constexpr double kHipsBelowFace = 3.7, kHeadAboveFace = 0.9;
// Tiles for people whose face is not seen: this share of the picture's shorter side, overlapping
// by this share of theirs.
constexpr double kTileSide = 0.75, kTileOverlap = 0.2;
// A body's nose lies in its face's box grown by this much.
constexpr double kFaceSlack = 1.0;
// The column below a face where its body is: this many face widths to each side of it.
constexpr double kColumnWidth = 1.5;
// A face's box leaves out the hair or a cap above it, and a picture of the person leaves some room
// above the head: in face heights, the person starts this far above the box (measured on
// galleries of the sample pictures: 0.5 and 1 each did worse).
constexpr double kHairAboveFace = 0.75;
// The pose landmark model's nose and eyes.
constexpr size_t kHeadPoints[] = {0, 2, 5};

DetectionBox grown(const DetectionBox& box, double factor) {
  const double dx = box.width * (factor - 1) / 2, dy = box.height * (factor - 1) / 2;
  return {box.xMin - dx, box.yMin - dy, box.width * factor, box.height * factor};
}

bool inside(const DetectionBox& box, const ImagePoint& p) {
  return p.x >= box.xMin && p.x <= box.xMax() && p.y >= box.yMin && p.y <= box.yMax();
}

// A rectangle of picture pixels: columns [left, right), rows [top, bottom).
struct Area {
  int left, top, right, bottom;
  bool cutBelow = false;  // by a face below, not by the picture's edge
};

// Whether a body's head lies in `box` (a face's or a pose detection's, which is the face's too).
bool headIn(const Landmarks& body, const DetectionBox& box) {
  const DetectionBox around = grown(box, 1.5);
  return std::any_of(std::begin(kHeadPoints), std::end(kHeadPoints), [&](size_t i) {
    return i < body.points.size() && inside(around, body.points[i].position);
  });
}

// Whether the body is the person whose face is `face`: its nose on the face. A body whose head is
// only near the face is another person's, or this one's placed wrongly (the nose on a cap's badge).
bool faceOf(const Landmarks& body, const DetectionBox& face) {
  return !body.points.empty() && inside(grown(face, kFaceSlack), body.points[0].position);
}

// Whether the body's head lies on the person of one of `faces`: on the face, beside it or below it
// by up to a face's width and three heights. That person's body is the one found around the face;
// another head there is that body found again, aligned differently, or someone the person hides.
bool onThePersonOfAFace(const Landmarks& body, std::span<const DetectionBox> faces) {
  if (body.points.empty()) return false;
  return std::any_of(faces.begin(), faces.end(), [&](const DetectionBox& f) {
    const DetectionBox person{f.xMin - f.width, f.yMin - f.height / 2, 3 * f.width, 4.5 * f.height};
    return inside(person, body.points[0].position);
  });
}

bool explained(const DetectionBox& face, const std::vector<Landmarks>& bodies) {
  return std::any_of(bodies.begin(), bodies.end(), [&](const Landmarks& b) { return faceOf(b, face); });
}

// The part of the picture that shows the person of `face` and no one else, as far as the other
// faces (`faces`, picture pixels) tell: it stops above the head of the nearest face below in the
// column of its body, and halfway to the nearest faces beside it. Further is another person, whom
// the landmark model could follow instead. Nothing when no other face bounds it.
std::optional<Area> areaOfPersonOf(const DetectionBox& face, std::span<const DetectionBox> faces, int width,
                                   int height) {
  Area area{0, 0, width, height};
  bool bounded = false;
  const double left = face.xMin - kColumnWidth * face.width, right = face.xMax() + kColumnWidth * face.width;
  const double centre = face.xMin + face.width / 2;
  for (const DetectionBox& other : faces) {
    const double otherCentre = other.xMin + other.width / 2;
    if (other.yMin > face.yMax() + face.height && other.xMax() >= left && other.xMin <= right) {
      // Below, in the column of the body, past the neck.
      const double top = std::max(other.yMin - kHairAboveFace * other.height, face.yMax() + face.height);
      area.bottom = std::min(area.bottom, static_cast<int>(top));
      bounded = area.cutBelow = true;
    } else if (other.yMax() >= face.yMin && other.yMin <= face.yMax() && otherCentre != centre) {
      // Beside, in the same row.
      const int halfway = static_cast<int>((centre + otherCentre) / 2);
      if (otherCentre > centre && halfway < area.right) area.right = halfway, bounded = true;
      if (otherCentre < centre && halfway > area.left) area.left = halfway, bounded = true;
    }
  }
  if (!bounded || area.right - area.left < 2 || area.bottom - area.top < 2) return std::nullopt;
  return area;
}

class Finder {
 public:
  Finder(const SsdDetector& detector, const LandmarkModel& landmarks, const media::ImageView& image)
      : detector_(detector), landmarks_(landmarks), image_(image) {}

  // Adds the body the landmark model finds in the crop of `person`, unless it is none or one
  // already found. With `face`, only the body whose nose is on that face counts, and it takes the
  // place of bodies placed wrongly around that head; without, a body whose head lies on the person
  // of one of `faces` is dropped: the search around that face finds that person. The crop of a person whose picture is cut at
  // the chest (a gallery of head-and-shoulders pictures) reaches the person below, and the model
  // follows that body: where other faces bound the person, the crop also looks at the picture
  // cut there, so that it ends as at a frame's edge; first when a face lies below. With
  // `aloneOnly`, only that cut picture is looked at. Whether a body was added.
  Result<bool> add(const Detection& person, const DetectionBox* face = nullptr,
                   std::span<const DetectionBox> faces = {}, bool aloneOnly = false) {
    const RotatedRect crop = bodyCrop(person);
    const std::optional<Area> alone =
        face ? areaOfPersonOf(*face, faces, image_.width, image_.height) : std::nullopt;
    // The crops to try in turn: within the person's area or across the whole picture.
    std::vector<bool> tries = {false};
    if (aloneOnly) tries.clear();
    if (alone) tries.insert(alone->cutBelow ? tries.begin() : tries.end(), true);
    std::optional<Landmarks> body;
    for (const bool within : tries) {
      if (body) break;
      Result<std::optional<Landmarks>> seen = within ? runWithin(*alone, crop) : landmarks_.run(image_, crop);
      if (!seen) return seen.error();
      if (seen.value() && (face ? faceOf(*seen.value(), *face) : !onThePersonOfAFace(*seen.value(), faces))) {
        body = std::move(seen).value();
      }
    }
    if (!body) return false;
    const std::vector<LandmarkPoint>& points = body->points;
    if (face) {
      // This body is the face's person's: one found before around that head, or one this body
      // repeats whose nose is off the face (Grace Hopper's on her cap), is that person placed
      // wrongly. A body whose nose is on another face is that face's person's, however near this
      // head its eyes are (people in a row, shoulder to shoulder).
      std::erase_if(bodies_, [&](const Landmarks& other) {
        if (samePoints(points, other.points, kSamePoints)) return true;
        const bool anothers = std::any_of(faces.begin(), faces.end(), [&](const DetectionBox& f) {
          const bool same = f.xMin == face->xMin && f.yMin == face->yMin && f.width == face->width;
          return !same && faceOf(other, f);
        });
        return headIn(other, *face) && !anothers;
      });
    }
    if (std::any_of(bodies_.begin(), bodies_.end(),
                    [&](const Landmarks& other) { return samePoints(points, other.points, kSamePoints); })) {
      return false;
    }
    bodies_.push_back(std::move(*body));
    return true;
  }

  // The landmark model on `crop` of the picture cut to `area`: beyond it the crop reads the
  // area's edge pixels, as beyond a frame's edge. Points in picture pixels.
  Result<std::optional<Landmarks>> runWithin(const Area& area, RotatedRect crop) const {
    const int bpp = media::bytesPerPixel(image_.format);
    media::ImageView part = image_;
    part.data = image_.row(area.top) + static_cast<ptrdiff_t>(area.left) * bpp;
    part.width = area.right - area.left;
    part.height = area.bottom - area.top;
    crop.centerX -= area.left;
    crop.centerY -= area.top;
    Result<std::optional<Landmarks>> body = landmarks_.run(part, crop);
    if (!body || !body.value()) return body;
    for (LandmarkPoint& p : body.value()->points) {
      p.position.x += area.left;
      p.position.y += area.top;
    }
    return body;
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

// The pose detection of the person whose face is `face`: of those the detector finds around it,
// down to a score well below its own (the face already tells that someone is there; the detection
// only aligns the body), the best whose box holds the face's centre. Where none does (people in a
// row, overlapping), the detection an upright person of that face would give.
Result<Detection> personOfFace(const SsdDetector& detector, const media::ImageView& image, const DetectionBox& face) {
  Result<SsdFindings> seen = detector.detectIn(image, bodyRegionOfFace(face), kAnyPerson);
  if (!seen) return seen.error();
  const ImagePoint centre{face.xMin + face.width / 2, face.yMin + face.height / 2};
  for (const std::vector<Detection>* group : {&seen.value().found, &seen.value().doubtful}) {
    for (const Detection& person : *group) {  // best first
      if (inside(grown(person.box, 1.5), centre)) return person;
    }
  }
  return uprightPersonOfFace(face);
}

// The body of each face that no body found so far explains.
Result<void> addBodiesOfFaces(Finder& finder, std::span<const DetectionBox> faces) {
  std::vector<std::optional<Detection>> aligned(faces.size());
  for (size_t i = 0; i < faces.size(); ++i) {
    const DetectionBox& face = faces[i];
    if (explained(face, finder.bodies())) continue;
    Result<Detection> person = personOfFace(finder.detector(), finder.image(), face);
    if (!person) return person.error();
    aligned[i] = person.value();
    Result<bool> added = finder.add(person.value(), &face, faces);
    if (!added) return added.error();
    // Among people in a row the detection can align the crop on a neighbour, whom the model then
    // follows; the alignment of an upright person of this face is tried too.
    if (!added.value() && person.value().score > 0) {
      if (Result<bool> again = finder.add(uprightPersonOfFace(face), &face, faces); !again) return again.error();
    }
  }
  // A person half hidden behind a neighbour can have been given the neighbour's body, nose aside,
  // which that neighbour's own body then replaced. The picture cut around such a person shows the
  // model their own body only.
  for (size_t i = 0; i < faces.size(); ++i) {
    if (!aligned[i] || explained(faces[i], finder.bodies())) continue;
    if (Result<bool> again = finder.add(*aligned[i], &faces[i], faces, true); !again) return again.error();
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
      if (Result<bool> added = finder.add(person, nullptr, faces); !added) return added.error();
    }
  }
  return {};
}

}  // namespace

Detection uprightPersonOfFace(const DetectionBox& face) {
  const double x = face.xMin + face.width / 2, y = face.yMin + face.height / 2, h = face.height;
  return {0, face, {{x, y + kHipsBelowFace * h}, {x, y - kHeadAboveFace * h}}};
}

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
    if (Result<bool> added = finder.add(person); !added) return added.error();
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
