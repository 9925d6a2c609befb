// Body and hand observations as frame-record entries.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/json.h"
#include "platform/vision/observations.h"

namespace frame_analysis {

template <typename JointName>
using JointTable = std::vector<std::pair<std::string, JointName>>;

// The ten body joints that are written, under their keys, in this order.
extern const JointTable<platform::vision::VNHumanBodyPoseObservationJointName> bodyJoints;
// The six hand joints that are written: the wrist and the five finger tips.
extern const JointTable<platform::vision::VNHumanHandPoseObservationJointName> handJoints;

// {"points": {key: [x, y, confidence]}} for every joint of `joints` that the observation places.
template <typename JointName>
platform::JsonObject poseRecord(const platform::vision::VNPoseObservation<JointName>& observation,
                                const JointTable<JointName>& joints) {
  platform::JsonObject points;
  for (const auto& [key, joint] : joints) {
    if (const auto point = observation.recognizedPoint(joint)) {
      points[key] = platform::jsonNumbers({point->location.x, point->location.y, static_cast<double>(point->confidence)});
    }
  }
  platform::JsonObject record;
  record["points"] = std::move(points);
  return record;
}

}  // namespace frame_analysis
