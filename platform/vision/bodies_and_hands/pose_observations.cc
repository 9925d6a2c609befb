#include "platform/vision/bodies_and_hands/pose_observations.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace platform::vision {
namespace {

using Body = BodyJoint;
using Hand = HandJoint;

// Where the body joints stand in the pose landmark model's 33 points. Left and right are the
// person's own in both.
constexpr std::pair<Body, size_t> kBodyPoints[] = {
    {Body::nose, 0},        {Body::leftEye, 2},       {Body::rightEye, 5},       {Body::leftEar, 7},
    {Body::rightEar, 8},    {Body::leftShoulder, 11}, {Body::rightShoulder, 12}, {Body::leftElbow, 13},
    {Body::rightElbow, 14}, {Body::leftWrist, 15},    {Body::rightWrist, 16},    {Body::leftHip, 23},
    {Body::rightHip, 24},   {Body::leftKnee, 25},     {Body::rightKnee, 26},     {Body::leftAnkle, 27},
    {Body::rightAnkle, 28},
};

// The hand landmark model's 21 points are in the order of the hand joint names: the wrist, then
// four points per finger from the base to the tip, thumb first.
constexpr size_t kHandPointCount = 21;
static_assert(static_cast<size_t>(Hand::littleTip) == kHandPointCount - 1);

class Placement {
 public:
  Placement(int width, int height) : width_(width), height_(height) {}

  // The point in the normalised frame, or nothing when it is not in the picture grown by
  // `margin` pixels on every side.
  std::optional<JointPoint> place(const LandmarkPoint& point, double margin = 0) const {
    const double x = point.position.x, y = point.position.y;
    if (!(x >= -margin && x <= width_ + margin && y >= -margin && y <= height_ + margin) ||
        !std::isfinite(point.confidence)) {
      return std::nullopt;
    }
    return JointPoint{{x / width_, 1 - y / height_}, std::clamp(point.confidence, 0.0f, 1.0f)};
  }

 private:
  double width_;
  double height_;
};

template <typename JointName>
void addMidpoint(PoseObservation<JointName>& observation, JointName joint, JointName a, JointName b) {
  const auto pa = observation.point(a), pb = observation.point(b);
  if (!pa || !pb) return;
  observation.points[joint] = {{(pa->location.x + pb->location.x) / 2, (pa->location.y + pb->location.y) / 2},
                               std::min(pa->confidence, pb->confidence)};
}

}  // namespace

BodyObservation bodyObservation(std::span<const LandmarkPoint> points, int pictureWidth, int pictureHeight) {
  BodyObservation body;
  if (pictureWidth <= 0 || pictureHeight <= 0) return body;
  const Placement placement(pictureWidth, pictureHeight);
  for (const auto& [joint, index] : kBodyPoints) {
    if (index >= points.size()) continue;
    if (const auto point = placement.place(points[index])) body.points[joint] = *point;
  }
  addMidpoint(body, Body::neck, Body::leftShoulder, Body::rightShoulder);
  addMidpoint(body, Body::root, Body::leftHip, Body::rightHip);
  return body;
}

HandObservation handObservation(std::span<const LandmarkPoint> points, float presence, int pictureWidth,
                                int pictureHeight) {
  HandObservation hand;
  if (pictureWidth <= 0 || pictureHeight <= 0) return hand;
  const Placement placement(pictureWidth, pictureHeight);
  // The hand model places a point to within about a tenth of the palm's length (wrist to the
  // middle finger's base): a wrist it puts that close beyond the picture's edge may well be on the
  // picture, as on a hand raised from the bottom edge of a webcam frame.
  constexpr size_t kMiddleFingerBase = 9;
  const double margin = points.size() > kMiddleFingerBase
                            ? 0.1 * std::hypot(points[kMiddleFingerBase].position.x - points[0].position.x,
                                               points[kMiddleFingerBase].position.y - points[0].position.y)
                            : 0;
  for (size_t index = 0; index < points.size() && index < kHandPointCount; ++index) {
    if (const auto point = placement.place({points[index].position, presence}, std::isfinite(margin) ? margin : 0)) {
      hand.points[static_cast<Hand>(index)] = *point;
    }
  }
  return hand;
}

}  // namespace platform::vision
