#include "platform/vision/bodies_and_hands/pose_service.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/vision/bodies_and_hands/body_and_hand_models.h"
#include "platform/vision/bodies_and_hands/body_search.h"
#include "platform/vision/bodies_and_hands/pose_observations.h"
#include "platform/vision/detection/tiling.h"
#include "platform/vision/pixels.h"

namespace platform::vision {
namespace {

// The model variants, chosen by measuring accuracy against speed on the test pictures and against
// the publisher's own pipelines (README). The lite palm detector took a cat's face and soldiers'
// sleeves for palms, and put the palm of a hand at the picture's edge off the picture; the full
// hand landmark model's points are the publisher's pipeline's to the pixel.
constexpr char kPoseLandmarkModel[] = "pose_landmark_full.tflite";
constexpr char kPalmModel[] = "palm_detection_full.tflite";
constexpr char kHandLandmarkModel[] = "hand_landmark_full.tflite";

// Two sets of landmarks whose points lie on average closer than this share of their box's
// diagonal are one body or hand found twice (two people side by side, even overlapping, are
// much further apart).
constexpr double kSamePoints = 0.1;

// A detector, the landmark model that looks into each of its detections, and the crop between.
// `reframe`, when set, gives a second crop around the points the model placed in a crop where it
// doubted what it saw.
struct Stages {
  SsdDetector detector;
  LandmarkModel landmarks;
  RotatedRect (*crop)(const Detection&);
  RotatedRect (*reframe)(std::span<const LandmarkPoint>) = nullptr;
};

Result<Stages> loadStages(const SsdDetectorSettings& detector, const LandmarkModelSettings& landmarks,
                          RotatedRect (*crop)(const Detection&),
                          RotatedRect (*reframe)(std::span<const LandmarkPoint>) = nullptr) {
  Result<SsdDetector> loadedDetector = SsdDetector::load(detector);
  if (!loadedDetector) return loadedDetector.error();
  Result<LandmarkModel> loadedLandmarks = LandmarkModel::load(landmarks);
  if (!loadedLandmarks) return loadedLandmarks.error();
  return Stages{std::move(loadedDetector).value(), std::move(loadedLandmarks).value(), crop, reframe};
}

// Loaded on first use and kept for the life of the process; a failure to load is kept too, and
// every call reports it.
const Result<Stages>& bodyStages() {
  static const Result<Stages> stages =
      loadStages(poseDetectorSettings(), poseLandmarkSettings(kPoseLandmarkModel), bodyCrop);
  return stages;
}

const Result<Stages>& handStages() {
  static const Result<Stages> stages = loadStages(
      palmDetectorSettings(kPalmModel), handLandmarkSettings(kHandLandmarkModel), handCrop, handCropFromLandmarks);
  return stages;
}

// A palm search's regions beyond the whole picture: around each body, the box of its joints grown
// by this much (a hand reaches past the wrist), when that is smaller than this share of the
// picture's longer side (a larger one the whole picture already shows the detector as large).
constexpr double kBodyRegionGrowth = 1.5, kLargestBodyRegion = 0.6;
// A body whose shoulders are this share of the picture's longer side apart or more has palms of
// about 0.4 of that, which the detector sees in the whole picture at 15 of its 192 pixels and
// more: as surely as it would closer by. The joints' box of a person before the camera is small
// when the frame cuts the body at the chest, so the shoulders tell first.
constexpr double kShouldersSeenWhole = 0.2;

// The square around the body's joints where its hands are, in picture pixels; empty when the body
// is so large in the picture that the detector sees its hands as well in the whole picture.
RotatedRect palmRegion(const BodyObservation& body, const media::ImageView& image) {
  if (body.points.empty()) return {};
  const double longSide = std::max(image.width, image.height);
  const std::optional<JointPoint> left = body.point(BodyJoint::leftShoulder);
  const std::optional<JointPoint> right = body.point(BodyJoint::rightShoulder);
  if (left && right &&
      std::hypot((left->location.x - right->location.x) * image.width,
                 (left->location.y - right->location.y) * image.height) >= kShouldersSeenWhole * longSide) {
    return {};
  }
  double minX = 1, minY = 1, maxX = 0, maxY = 0;
  for (const auto& [joint, point] : body.points) {
    minX = std::min(minX, point.location.x), maxX = std::max(maxX, point.location.x);
    minY = std::min(minY, point.location.y), maxY = std::max(maxY, point.location.y);
  }
  const double side = kBodyRegionGrowth * std::max((maxX - minX) * image.width, (maxY - minY) * image.height);
  if (!(side > 0) || side > kLargestBodyRegion * longSide) return {};
  return {(minX + maxX) / 2 * image.width, (1 - (minY + maxY) / 2) * image.height, side, side, 0};
}

// The palms in the whole picture and those found closer around the bodies that no earlier view
// found, best first.
Result<std::vector<Detection>> palmsNear(const SsdDetector& detector, const media::ImageView& image,
                                         std::span<const BodyObservation> bodies) {
  Result<std::vector<Detection>> palms = detector.detect(image);
  if (!palms) return palms.error();
  const size_t whole = palms.value().size();
  for (const BodyObservation& body : bodies) {
    const RotatedRect region = palmRegion(body, image);
    if (region.width <= 0) continue;
    Result<SsdFindings> seen = detector.detectIn(image, region, detector.settings().minScore);
    if (!seen) return seen.error();
    addUnseen(palms.value(), seen.value().found, detector.settings().suppressionThreshold);
  }
  if (palms.value().size() > whole) {
    std::stable_sort(palms.value().begin(), palms.value().end(),
                     [](const Detection& a, const Detection& b) { return a.score > b.score; });
  }
  return palms;
}

// The landmarks of each of `detections`, best detection first, at most `limit`. Two detections can
// lead the landmark model to the same thing: the first one counts.
Result<std::vector<Landmarks>> findLandmarks(const Stages& stages, const media::ImageView& image,
                                             const std::vector<Detection>& detections, size_t limit) {
  std::vector<Landmarks> found;
  for (const Detection& detection : detections) {
    if (found.size() >= limit) break;
    Result<Landmarks> landmarks = stages.landmarks.look(image, stages.crop(detection));
    if (!landmarks) return landmarks.error();
    // A small palm's box can sit a little off the hand, and the model then doubts a hand it
    // places well; around its points, the crop the publisher's pipeline gives the next frame of a
    // video frames the hand as the model was trained (a hand in a group photo: presence 0.30,
    // then 0.89).
    if (landmarks.value().presence < kMinLandmarkPresence && stages.reframe) {
      const RotatedRect again = stages.reframe(landmarks.value().points);
      if (again.width > 0) landmarks = stages.landmarks.look(image, again);
      if (!landmarks) return landmarks.error();
    }
    if (!(landmarks.value().presence >= kMinLandmarkPresence)) continue;
    const std::vector<LandmarkPoint>& points = landmarks.value().points;
    if (std::any_of(found.begin(), found.end(),
                    [&](const Landmarks& other) { return samePoints(points, other.points, kSamePoints); })) {
      continue;
    }
    found.push_back(std::move(landmarks).value());
  }
  return found;
}

// The failure to report, if any, before a picture is searched with `stages`.
std::optional<Error> unsearchable(const Result<Stages>& stages, const media::ImageView& image) {
  if (!holdsPixels(image)) return makeError(kBodiesAndHandsDomain, PoseError::noPixels, "the picture holds no pixels");
  if (!stages) return wrapError(kBodiesAndHandsDomain, PoseError::modelUnavailable, stages.error());
  return std::nullopt;
}

// The faces' boxes, normalised (origin bottom-left), in picture pixels (origin top-left).
std::vector<DetectionBox> facesInPixels(std::span<const FaceObservation> faces, const media::ImageView& image) {
  std::vector<DetectionBox> boxes;
  for (const FaceObservation& face : faces) {
    const NormalizedRect& f = face.boundingBox;
    boxes.push_back({f.minX() * image.width, (1 - f.maxY()) * image.height, f.standardWidth() * image.width,
                     f.standardHeight() * image.height});
  }
  return boxes;
}

}  // namespace

Result<std::vector<BodyObservation>> detectBodies(const media::ImageView& image,
                                                  std::span<const FaceObservation> faces) {
  const Result<Stages>& stages = bodyStages();
  if (std::optional<Error> refused = unsearchable(stages, image)) return *refused;
  const std::vector<DetectionBox> faceBoxes = facesInPixels(faces, image);
  Result<std::vector<Landmarks>> bodies =
      searchBodies(stages.value().detector, stages.value().landmarks, image, faceBoxes);
  if (!bodies) return wrapError(kBodiesAndHandsDomain, PoseError::analysisFailed, bodies.error());
  std::vector<BodyObservation> observations;
  for (const Landmarks& body : bodies.value())
    observations.push_back(bodyObservation(body.points, image.width, image.height));
  return observations;
}

Result<std::vector<HandObservation>> detectHands(const media::ImageView& image, std::span<const BodyObservation> bodies,
                                                 int maximumHandCount) {
  std::vector<HandObservation> observations;
  if (maximumHandCount <= 0) return observations;
  const Result<Stages>& stages = handStages();
  if (std::optional<Error> refused = unsearchable(stages, image)) return *refused;
  Result<std::vector<Detection>> palms = palmsNear(stages.value().detector, image, bodies);
  if (!palms) return wrapError(kBodiesAndHandsDomain, PoseError::analysisFailed, palms.error());
  Result<std::vector<Landmarks>> hands =
      findLandmarks(stages.value(), image, palms.value(), static_cast<size_t>(maximumHandCount));
  if (!hands) return wrapError(kBodiesAndHandsDomain, PoseError::analysisFailed, hands.error());
  for (const Landmarks& hand : hands.value()) {
    observations.push_back(handObservation(hand.points, hand.presence, image.width, image.height));
  }
  return observations;
}

Result<std::vector<HandObservation>> detectHands(const media::ImageView& image, int maximumHandCount) {
  return detectHands(image, {}, maximumHandCount);
}

}  // namespace platform::vision
