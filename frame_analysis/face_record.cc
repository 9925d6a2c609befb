#include "frame_analysis/face_record.h"

#include "frame_analysis/colour_sample.h"

namespace frame_analysis {

using platform::JsonArray;
using platform::JsonObject;
using platform::vision::FaceLandmarks;
using platform::vision::LandmarkRegion;
using platform::vision::NormalizedRect;

namespace {

constexpr double kPi = 3.141592653589793;

double degrees(double radians) { return (radians * 180) / kPi; }

}  // namespace

JsonArray region(const std::optional<LandmarkRegion>& landmarkRegion, const NormalizedRect& box) {
  JsonArray points;
  if (!landmarkRegion) return points;
  for (const platform::vision::Point& p : landmarkRegion->normalizedPoints) {
    const double x = box.minX() + p.x * box.standardWidth();
    const double y = box.minY() + p.y * box.standardHeight();
    points.emplace_back(platform::jsonNumbers({x, y}));
  }
  return points;
}

JsonObject faceRecord(const platform::vision::FaceObservation& face, const platform::media::Image* image) {
  const NormalizedRect& b = face.boundingBox;
  const std::optional<FaceLandmarks>& l = face.landmarks;
  const auto part = [&](std::optional<LandmarkRegion> FaceLandmarks::*member) {
    return region(l ? (*l).*member : std::nullopt, b);
  };

  JsonObject record;
  record["confidence"] = static_cast<double>(face.confidence);
  record["box"] = platform::jsonNumbers({b.minX(), b.minY(), b.standardWidth(), b.standardHeight()});
  JsonObject landmarks;
  landmarks["leftEye"] = part(&FaceLandmarks::leftEye);
  landmarks["rightEye"] = part(&FaceLandmarks::rightEye);
  landmarks["leftPupil"] = part(&FaceLandmarks::leftPupil);
  landmarks["rightPupil"] = part(&FaceLandmarks::rightPupil);
  landmarks["leftEyebrow"] = part(&FaceLandmarks::leftEyebrow);
  landmarks["rightEyebrow"] = part(&FaceLandmarks::rightEyebrow);
  landmarks["outerLips"] = part(&FaceLandmarks::outerLips);
  landmarks["innerLips"] = part(&FaceLandmarks::innerLips);
  landmarks["nose"] = part(&FaceLandmarks::nose);
  record["landmarks"] = std::move(landmarks);
  if (face.yaw) record["yaw_degrees"] = degrees(*face.yaw);
  if (face.pitch) record["pitch_degrees"] = degrees(*face.pitch);
  if (face.roll) record["roll_degrees"] = degrees(*face.roll);
  if (image != nullptr) record["colours"] = colours(*image, samplingRect(b));
  return record;
}

}  // namespace frame_analysis
