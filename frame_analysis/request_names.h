// The names the error entries of a frame's record give the three requests ("NAME: DOMAIN CODE"):
// hosts tell the failures apart by them, so they are output as they stand.
#pragma once

#include <string_view>

namespace frame_analysis {

inline constexpr std::string_view kFaceRequestName = "VNDetectFaceLandmarksRequest";
inline constexpr std::string_view kBodyRequestName = "VNDetectHumanBodyPoseRequest";
inline constexpr std::string_view kHandRequestName = "VNDetectHumanHandPoseRequest";

}  // namespace frame_analysis
