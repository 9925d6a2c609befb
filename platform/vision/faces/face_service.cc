#include "platform/vision/faces/face_service.h"

#include <cmath>
#include <memory>
#include <span>

#include "platform/nn/model_files.h"
#include "platform/vision/faces/canonical_face.h"
#include "platform/vision/faces/face_crop.h"
#include "platform/vision/faces/face_detector.h"
#include "platform/vision/faces/face_mesh.h"
#include "platform/vision/faces/face_regions.h"
#include "platform/vision/faces/face_search.h"
#include "platform/vision/faces/head_pose.h"
#include "platform/vision/pixels.h"

namespace platform::vision {

namespace {

// A face whose mesh model is less sure than this that it sees a face keeps only its box. The
// attention mesh is less sure of faces in full profile than the plain mesh was (one on the sample
// pictures fell from 0.64 to 0.08), so such a face is reported without landmarks or angles.
constexpr float kMinFacePresence = 0.5f;

// The models load on first use and stay loaded for the life of the process; a failure to load is
// kept too, so every call reports it without trying again. They run on the calling thread
// alone, like the other detectors'. On this two-core machine shared with other work,
// bench/face_stages measured the mesh at 2.0 ms on one thread against 1.6 ms on the pool when the
// machine was quiet but 7-54 ms on the pool when it was busy: the pool's gain is small and its
// loss under load large.
const Result<SsdDetector>& detector() {
  static const Result<SsdDetector> loaded = SsdDetector::load(faceDetectorSettings());
  return loaded;
}

struct LandmarkModels {
  FaceMesh mesh;
  CanonicalFace canonical;
};

Result<LandmarkModels> loadLandmarkModels() {
  Result<FaceMesh> mesh = FaceMesh::load();
  if (!mesh) return mesh.error();
  Result<CanonicalFace> canonical = loadCanonicalFace(nn::modelPath("geometry_pipeline_metadata_landmarks.binarypb"));
  if (!canonical) return canonical.error();
  if (canonical.value().vertices.size() != kFaceMeshPointCount) {
    return faceError(FaceError::modelUnavailable, "The canonical face does not have one vertex per mesh point.");
  }
  return LandmarkModels{std::move(mesh).value(), std::move(canonical).value()};
}

const Result<LandmarkModels>& landmarkModels() {
  static const Result<LandmarkModels> loaded = loadLandmarkModels();
  return loaded;
}

// The detector's box (picture pixels) in the normalised frame of the observations (origin
// bottom-left, y up).
NormalizedRect faceBox(const Detection& face, const media::ImageView& image) {
  const double w = image.width, h = image.height;
  return NormalizedRect{face.box.xMin / w, 1.0 - face.box.yMax() / h, face.box.width / w, face.box.height / h};
}

// The face as the detector alone sees it: its box and confidence.
FaceObservation detectedFace(const Detection& detection, const media::ImageView& image) {
  FaceObservation observation;
  observation.confidence = detection.score;
  observation.boundingBox = faceBox(detection, image);
  return observation;
}

// A crop that moves less than this share of its side, and grows and turns less than these, gives
// the mesh model the same picture to within its noise.
constexpr double kSameCropShift = 0.05, kSameCropScale = 0.1, kSameCropTurn = 0.1;
// The detector's crop is followed by at most this many crops around the mesh's own points; one
// is enough on every face but a head turned far aside (test pictures).
constexpr int kMaxReframings = 2;

bool sameCrop(const RotatedRect& a, const RotatedRect& b) {
  return std::hypot(a.centerX - b.centerX, a.centerY - b.centerY) < kSameCropShift * a.width &&
         std::abs(std::log(b.width / a.width)) < kSameCropScale &&
         std::abs(normalizeRadians(b.rotation - a.rotation)) < kSameCropTurn;
}

// The mesh of the face `detection` found. The detector's box frames a face differently from the
// crops the mesh model was trained on (a tenth larger or smaller, off-centre, and on a head turned
// aside so badly that the model doubts the face), so the mesh runs again on the crop its
// own points give, until that crop stays put: the publisher's pipelines frame each following
// frame of a video that way. A levelled crop comes first when the first run shows the face
// turned in the picture.
Result<FaceMeshResult> meshOf(const FaceMesh& mesh, const media::ImageView& image, const Detection& detection) {
  RotatedRect crop = faceMeshCrop(detection);
  Result<FaceMeshResult> found = mesh.run(image, crop);
  if (!found) return found;
  if (const std::optional<RotatedRect> levelled = levelledCrop(crop, found.value().points)) {
    crop = *levelled;
    found = mesh.run(image, crop);
    if (!found) return found;
  }
  for (int reframing = 0; reframing < kMaxReframings; ++reframing) {
    const std::optional<RotatedRect> around = faceMeshCropAround(found.value().points);
    if (!around || sameCrop(crop, *around)) break;
    Result<FaceMeshResult> again = mesh.run(image, *around);
    if (!again) return again;
    // A crop on which the model sees the face less surely than before is a step away from it.
    if (again.value().presence < kMinFacePresence && again.value().presence <= found.value().presence) break;
    found = std::move(again);
    crop = *around;
  }
  return found;
}

// The face's box, regions (from the mesh points) and head angles.
FaceObservation landmarkedFace(const Detection& detection, const FaceMeshResult& mesh, const CanonicalFace& canonical,
                               const media::ImageView& image) {
  FaceObservation observation = detectedFace(detection, image);
  const double w = image.width, h = image.height;
  std::vector<Point> points;
  points.reserve(mesh.points.size());
  for (const Vec3& p : mesh.points) points.push_back({p.x / w, 1.0 - p.y / h});
  observation.landmarks = faceRegions(points, observation.boundingBox);
  // The canonical face has the plain mesh's points, without the irises.
  const std::span<const Vec3> plain = std::span<const Vec3>(mesh.points).first(kFaceMeshPointCount);
  if (const std::optional<HeadAngles> angles = headAngles(plain, image.width, image.height, canonical)) {
    observation.yaw = angles->yaw;
    observation.pitch = angles->pitch;
    observation.roll = angles->roll;
  }
  return observation;
}

Result<std::vector<FaceObservation>> landmarkedFaces(const LandmarkModels& models,
                                                     const std::vector<Detection>& detections,
                                                     const media::ImageView& image) {
  std::vector<FaceObservation> observations;
  for (const Detection& detection : detections) {
    Result<FaceMeshResult> mesh = meshOf(models.mesh, image, detection);
    if (!mesh) return mesh.error();
    // The mesh model misjudges small shaded faces that the detector finds plainly: soldiers' faces
    // of 20 pixels under helmet brims got presences near 0. The detector decides whether a face
    // is there; the mesh only whether its points can be trusted.
    if (!(mesh.value().presence >= kMinFacePresence)) {
      observations.push_back(detectedFace(detection, image));
      continue;
    }
    observations.push_back(landmarkedFace(detection, mesh.value(), models.canonical, image));
  }
  return observations;
}

Error noPixels() { return faceError(FaceError::noPixels, "the picture holds no pixels"); }

// The faces of the picture: with `everySize`, at every scale the picture holds (face_search.h);
// otherwise those the detector finds in the whole picture alone.
Result<std::vector<Detection>> detectedFaces(const media::ImageView& image, bool everySize) {
  const Result<SsdDetector>& faces = detector();
  if (!faces) return wrapError(kFacesDomain, FaceError::modelUnavailable, faces.error());
  Result<std::vector<Detection>> detections =
      everySize ? searchFaces(faces.value(), image) : faces.value().detect(image);
  if (!detections) return wrapError(kFacesDomain, FaceError::analysisFailed, detections.error());
  return detections;
}

}  // namespace

Result<std::vector<FaceObservation>> detectFaceLandmarks(const media::ImageView& image) {
  if (!holdsPixels(image)) return noPixels();
  const Result<LandmarkModels>& models = landmarkModels();
  if (!models) return wrapError(kFacesDomain, FaceError::modelUnavailable, models.error());
  Result<std::vector<Detection>> detections = detectedFaces(image, true);
  if (!detections) return detections.error();
  Result<std::vector<FaceObservation>> faces = landmarkedFaces(models.value(), detections.value(), image);
  if (!faces) return wrapError(kFacesDomain, FaceError::analysisFailed, faces.error());
  return faces;
}

Result<std::vector<FaceObservation>> detectFaceRectangles(const media::ImageView& image) {
  if (!holdsPixels(image)) return noPixels();
  Result<std::vector<Detection>> detections = detectedFaces(image, false);
  if (!detections) return detections.error();
  std::vector<FaceObservation> observations;
  for (const Detection& detection : detections.value()) observations.push_back(detectedFace(detection, image));
  return observations;
}

}  // namespace platform::vision
