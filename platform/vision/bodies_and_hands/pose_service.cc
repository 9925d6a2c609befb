#include "platform/vision/bodies_and_hands/pose_service.h"

#include <algorithm>
#include <cstdint>
#include <span>

#include "platform/vision/bodies_and_hands/body_and_hand_models.h"
#include "platform/vision/bodies_and_hands/pose_observations.h"
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

// The landmarks of each thing the detector finds, best detection first, at most `limit`. Two
// detections can lead the landmark model to the same thing: the first one counts.
Result<std::vector<Landmarks>> findLandmarks(const Stages& stages, const media::ImageView& image, size_t limit) {
  Result<std::vector<Detection>> detections = stages.detector.detect(image);
  if (!detections) return detections.error();
  std::vector<Landmarks> found;
  for (const Detection& detection : detections.value()) {
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

// The landmarks of `stages` in the picture, with every failure reported as the service's own.
Result<std::vector<Landmarks>> serviceLandmarks(const Result<Stages>& stages, const media::ImageView& image,
                                                size_t limit) {
  if (!holdsPixels(image)) return makeError(kBodiesAndHandsDomain, PoseError::noPixels, "the picture holds no pixels");
  if (!stages) return wrapError(kBodiesAndHandsDomain, PoseError::modelUnavailable, stages.error());
  Result<std::vector<Landmarks>> found = findLandmarks(stages.value(), image, limit);
  if (!found) return wrapError(kBodiesAndHandsDomain, PoseError::analysisFailed, found.error());
  return found;
}

}  // namespace

Result<std::vector<BodyObservation>> detectBodies(const media::ImageView& image) {
  Result<std::vector<Landmarks>> bodies = serviceLandmarks(bodyStages(), image, SIZE_MAX);
  if (!bodies) return bodies.error();
  std::vector<BodyObservation> observations;
  for (const Landmarks& body : bodies.value())
    observations.push_back(bodyObservation(body.points, image.width, image.height));
  return observations;
}

Result<std::vector<HandObservation>> detectHands(const media::ImageView& image, int maximumHandCount) {
  std::vector<HandObservation> observations;
  if (maximumHandCount <= 0) return observations;
  Result<std::vector<Landmarks>> hands = serviceLandmarks(handStages(), image, static_cast<size_t>(maximumHandCount));
  if (!hands) return hands.error();
  for (const Landmarks& hand : hands.value()) {
    observations.push_back(handObservation(hand.points, hand.presence, image.width, image.height));
  }
  return observations;
}

}  // namespace platform::vision
