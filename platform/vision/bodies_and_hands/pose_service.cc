#include "platform/vision/bodies_and_hands/pose_service.h"

#include <algorithm>

#include "platform/vision/bodies_and_hands/hand_landmark_model.h"
#include "platform/vision/bodies_and_hands/palm_detector.h"
#include "platform/vision/bodies_and_hands/pose_detector.h"
#include "platform/vision/bodies_and_hands/pose_landmark_model.h"
#include "platform/vision/bodies_and_hands/pose_observations.h"

namespace platform::vision {
namespace {

// The model variants, chosen by measuring accuracy against speed on the test pictures (README).
constexpr char kPoseLandmarkModel[] = "pose_landmark_full.tflite";
constexpr char kPalmModel[] = "palm_detection_lite.tflite";
constexpr char kHandLandmarkModel[] = "hand_landmark_lite.tflite";

// Two sets of landmarks whose points lie on average closer than this share of their box's
// diagonal are one body or hand found twice (two people side by side, even overlapping, are
// much further apart).
constexpr double kSamePoints = 0.1;

struct BodyModels {
  std::unique_ptr<PoseDetector> detector;
  std::unique_ptr<PoseLandmarkModel> landmarks;
};

struct HandModels {
  std::unique_ptr<PalmDetector> detector;
  std::unique_ptr<HandLandmarkModel> landmarks;
};

// Loaded on first use and kept for the life of the process; a failure to load is kept too, and
// every request reports it.
Result<BodyModels>& bodyModels() {
  static Result<BodyModels> models = []() -> Result<BodyModels> {
    Result<std::unique_ptr<PoseDetector>> detector = PoseDetector::load();
    if (!detector) return detector.error();
    Result<std::unique_ptr<PoseLandmarkModel>> landmarks = PoseLandmarkModel::load(kPoseLandmarkModel);
    if (!landmarks) return landmarks.error();
    return BodyModels{std::move(detector.value()), std::move(landmarks.value())};
  }();
  return models;
}

Result<HandModels>& handModels() {
  static Result<HandModels> models = []() -> Result<HandModels> {
    Result<std::unique_ptr<PalmDetector>> detector = PalmDetector::load(kPalmModel);
    if (!detector) return detector.error();
    Result<std::unique_ptr<HandLandmarkModel>> landmarks = HandLandmarkModel::load(kHandLandmarkModel);
    if (!landmarks) return landmarks.error();
    return HandModels{std::move(detector.value()), std::move(landmarks.value())};
  }();
  return models;
}

}  // namespace

Result<std::vector<BodyObservation>> detectBodies(const media::ImageView& image) {
  Result<BodyModels>& models = bodyModels();
  if (!models) return models.error();
  Result<std::vector<Detection>> people = models.value().detector->detect(image);
  if (!people) return people.error();

  // People best first. Two detections can lead the landmark model to the same person: the first
  // one counts.
  std::vector<std::vector<LandmarkPoint>> kept;
  std::vector<BodyObservation> observations;
  for (const Detection& person : people.value()) {
    Result<std::optional<BodyLandmarks>> body = models.value().landmarks->run(image, bodyCrop(person));
    if (!body) return body.error();
    if (!body.value()) continue;
    const std::vector<LandmarkPoint>& points = body.value()->points;
    if (std::any_of(kept.begin(), kept.end(), [&](const auto& other) { return samePoints(points, other, kSamePoints); })) {
      continue;
    }
    kept.push_back(points);
    observations.push_back(bodyObservation(points, image.width, image.height));
  }
  return observations;
}

Result<std::vector<HandObservation>> detectHands(const media::ImageView& image,
                                                                    int maximumHandCount) {
  std::vector<HandObservation> observations;
  if (maximumHandCount <= 0) return observations;
  Result<HandModels>& models = handModels();
  if (!models) return models.error();
  Result<std::vector<Detection>> palms = models.value().detector->detect(image);
  if (!palms) return palms.error();

  // Palms best first; a hand whose points match a hand already kept is the same hand again.
  std::vector<std::vector<LandmarkPoint>> kept;
  for (const Detection& palm : palms.value()) {
    if (observations.size() >= static_cast<size_t>(maximumHandCount)) break;
    Result<std::optional<HandLandmarks>> hand = models.value().landmarks->run(image, handCrop(palm));
    if (!hand) return hand.error();
    if (!hand.value()) continue;
    const std::vector<LandmarkPoint>& points = hand.value()->points;
    if (std::any_of(kept.begin(), kept.end(), [&](const auto& other) { return samePoints(points, other, kSamePoints); })) {
      continue;
    }
    kept.push_back(points);
    observations.push_back(handObservation(hand.value()->points, hand.value()->presence, image.width, image.height));
  }
  return observations;
}

}  // namespace platform::vision
