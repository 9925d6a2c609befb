#include "platform/vision/faces/face_service.h"

#include <cmath>
#include <memory>

#include "platform/nn/model_files.h"
#include "platform/vision/faces/canonical_face.h"
#include "platform/vision/faces/face_crop.h"
#include "platform/vision/faces/face_detector.h"
#include "platform/vision/faces/face_errors.h"
#include "platform/vision/faces/face_mesh.h"
#include "platform/vision/faces/face_regions.h"
#include "platform/vision/faces/head_pose.h"

namespace platform::vision {

namespace {

// A face whose mesh model is less sure than this that it sees a face is dropped.
constexpr float kMinFacePresence = 0.5f;

// The models run on the calling thread alone, like the other detectors'. On this two-core machine
// shared with other work, bench/face_stages measured the mesh at 2.0 ms on one thread against 1.6
// ms on the pool when the machine was quiet but 7-54 ms on the pool when it was busy: the pool's
// gain is small and its loss under load large.
constexpr nn::Threads kThreads = nn::Threads::one;

// The models load on first use and stay loaded for the life of the process; a failure to load is
// kept too, so every request reports it without trying again.
Result<SsdDetector*> detector() {
  static const Result<std::unique_ptr<SsdDetector>> loaded = SsdDetector::load(faceDetectorSettings());
  if (!loaded) return faceModelError("the face detector", loaded.error().description);
  return loaded.value().get();
}

struct LandmarkModels {
  std::unique_ptr<FaceMesh> mesh;
  CanonicalFace canonical;
};

Result<LandmarkModels*> landmarkModels() {
  static Result<LandmarkModels> loaded = []() -> Result<LandmarkModels> {
    Result<std::unique_ptr<FaceMesh>> mesh = FaceMesh::load(nn::modelPath("face_landmark.tflite"), kThreads);
    if (!mesh) return mesh.error();
    Result<CanonicalFace> canonical = loadCanonicalFace(nn::modelPath("geometry_pipeline_metadata_landmarks.binarypb"));
    if (!canonical) return faceModelError("the canonical face", canonical.error().description);
    if (canonical.value().vertices.size() != kFaceMeshPointCount) {
      return faceModelError("the canonical face", "it does not have one vertex per mesh point");
    }
    return LandmarkModels{std::move(mesh.value()), std::move(canonical.value())};
  }();
  if (!loaded) return loaded.error();
  return &loaded.value();
}

// The detector's box (picture pixels) in the normalised frame of the observations (origin
// bottom-left, y up).
NormalizedRect faceBox(const Detection& face, const media::ImageView& image) {
  const double w = image.width, h = image.height;
  return NormalizedRect{face.box.xMin / w, 1.0 - face.box.yMax() / h, face.box.width / w, face.box.height / h};
}

}  // namespace

Result<std::vector<FaceObservation>> detectFaceLandmarks(const media::ImageView& image) {
  Result<SsdDetector*> faces = detector();
  if (!faces) return faces.error();
  Result<LandmarkModels*> models = landmarkModels();
  if (!models) return models.error();
  Result<std::vector<Detection>> detections = faces.value()->detect(image);
  if (!detections) return detections.error();

  std::vector<FaceObservation> observations;
  const double w = image.width, h = image.height;
  for (const Detection& detection : detections.value()) {
    RotatedRect crop = faceMeshCrop(detection);
    Result<FaceMeshResult> mesh = models.value()->mesh->run(image, crop);
    if (!mesh) return mesh.error();
    if (const std::optional<RotatedRect> better = levelledCrop(crop, mesh.value().points)) {
      Result<FaceMeshResult> again = models.value()->mesh->run(image, *better);
      if (!again) return again.error();
      mesh = std::move(again);
    }
    if (!(mesh.value().presence >= kMinFacePresence)) continue;

    FaceObservation observation;
    observation.confidence = detection.score;
    observation.boundingBox = faceBox(detection, image);
    std::vector<Point> points;
    points.reserve(mesh.value().points.size());
    for (const Vec3& p : mesh.value().points) points.push_back({p.x / w, 1.0 - p.y / h});
    observation.landmarks = faceRegions(points, observation.boundingBox);
    if (const std::optional<HeadAngles> angles = headAngles(mesh.value().points, image.width, image.height, models.value()->canonical)) {
      observation.yaw = angles->yaw;
      observation.pitch = angles->pitch;
      observation.roll = angles->roll;
    }
    observations.push_back(std::move(observation));
  }
  return observations;
}

Result<std::vector<FaceObservation>> detectFaceRectangles(const media::ImageView& image) {
  Result<SsdDetector*> faces = detector();
  if (!faces) return faces.error();
  Result<std::vector<Detection>> detections = faces.value()->detect(image);
  if (!detections) return detections.error();
  std::vector<FaceObservation> observations;
  for (const Detection& detection : detections.value()) {
    FaceObservation observation;
    observation.confidence = detection.score;
    observation.boundingBox = faceBox(detection, image);
    observations.push_back(std::move(observation));
  }
  return observations;
}

}  // namespace platform::vision
