#include "frame_analysis/face_record.h"

#include "frame_analysis/colour_sample.h"

namespace frame_analysis {

using platform::JsonArray;
using platform::JsonObject;
using platform::vision::NormalizedRect;
using platform::vision::VNFaceLandmarkRegion2D;
using platform::vision::VNFaceLandmarks2D;

namespace {

constexpr double kPi = 3.141592653589793;

double degrees(double radians) { return (radians * 180) / kPi; }

}  // namespace

JsonArray region(const std::optional<VNFaceLandmarkRegion2D>& landmarkRegion, const NormalizedRect& box) {
  JsonArray points;
  if (!landmarkRegion) return points;
  for (const platform::vision::Point& p : landmarkRegion->normalizedPoints) {
    const double x = box.minX() + p.x * box.standardWidth();
    const double y = box.minY() + p.y * box.standardHeight();
    points.emplace_back(platform::jsonNumbers({x, y}));
  }
  return points;
}

JsonObject faceRecord(const platform::vision::VNFaceObservation& face, const platform::media::Image* image) {
  const NormalizedRect& b = face.boundingBox;
  const std::optional<VNFaceLandmarks2D>& l = face.landmarks;
  const auto part = [&](std::optional<VNFaceLandmarkRegion2D> VNFaceLandmarks2D::*member) {
    return region(l ? (*l).*member : std::nullopt, b);
  };

  JsonObject record;
  record["confidence"] = static_cast<double>(face.confidence);
  record["box"] = platform::jsonNumbers({b.minX(), b.minY(), b.standardWidth(), b.standardHeight()});
  JsonObject landmarks;
  landmarks["leftEye"] = part(&VNFaceLandmarks2D::leftEye);
  landmarks["rightEye"] = part(&VNFaceLandmarks2D::rightEye);
  landmarks["leftPupil"] = part(&VNFaceLandmarks2D::leftPupil);
  landmarks["rightPupil"] = part(&VNFaceLandmarks2D::rightPupil);
  landmarks["leftEyebrow"] = part(&VNFaceLandmarks2D::leftEyebrow);
  landmarks["rightEyebrow"] = part(&VNFaceLandmarks2D::rightEyebrow);
  landmarks["outerLips"] = part(&VNFaceLandmarks2D::outerLips);
  landmarks["innerLips"] = part(&VNFaceLandmarks2D::innerLips);
  landmarks["nose"] = part(&VNFaceLandmarks2D::nose);
  record["landmarks"] = std::move(landmarks);
  if (face.yaw) record["yaw_degrees"] = degrees(*face.yaw);
  if (face.pitch) record["pitch_degrees"] = degrees(*face.pitch);
  if (face.roll) record["roll_degrees"] = degrees(*face.roll);
  if (image != nullptr) record["colours"] = colours(*image, samplingRect(b));
  return record;
}

}  // namespace frame_analysis
