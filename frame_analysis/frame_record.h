// The per-frame step of `vision`: analyse one frame and write its line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace frame_analysis {

// The names that error entries give the three requests.
inline constexpr std::string_view kFaceRequestName = "VNDetectFaceLandmarksRequest";
inline constexpr std::string_view kBodyRequestName = "VNDetectHumanBodyPoseRequest";
inline constexpr std::string_view kHandRequestName = "VNDetectHumanHandPoseRequest";

// Runs the face request (and, unless faces only, the body and hand requests) on the frame's file
// one at a time, and writes the frame record as one JSON line to standard output, through its
// buffer. A failed request becomes an error entry, with its description on standard error. Fails
// only when standard output refuses the line.
platform::Result<void> analyse(const std::string& file, int64_t index, double fps);

// "<request name>: <domain> <code>", the entry a failed request leaves in "errors".
std::string errorEntry(std::string_view requestName, const platform::Error& error);

}  // namespace frame_analysis
