// Body and hand observations as frame-record entries.
#pragma once

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "platform/json.h"
#include "platform/vision/observations.h"

namespace frame_analysis {

template <typename JointName>
using JointTable = std::vector<std::pair<std::string, JointName>>;

// The ten body joints that are written, under their keys, in this order.
extern const JointTable<platform::vision::BodyJoint> bodyJoints;
// The six hand joints that are written: the wrist and the five finger tips.
extern const JointTable<platform::vision::HandJoint> handJoints;

// {"points": {key: [x, y, confidence]}} for every joint of `joints` that the observation places.
// A point with a number that is not finite is left out like a joint without a point: JSON cannot
// hold it, and written it would cost the frame its whole line.
template <typename JointName>
platform::JsonObject poseRecord(const platform::vision::PoseObservation<JointName>& observation,
                                const JointTable<JointName>& joints) {
  platform::JsonObject points;
  for (const auto& [key, joint] : joints) {
    const auto point = observation.point(joint);
    if (!point || !std::isfinite(point->location.x) || !std::isfinite(point->location.y) ||
        !std::isfinite(point->confidence)) {
      continue;
    }
    points[key] = platform::jsonNumbers({point->location.x, point->location.y, static_cast<double>(point->confidence)});
  }
  platform::JsonObject record;
  record["points"] = std::move(points);
  return record;
}

}  // namespace frame_analysis
