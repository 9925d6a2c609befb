// The per-frame step of `vision`: analyse one frame and write its line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "frame_analysis/vision_run.h"
#include "platform/result.h"

namespace frame_analysis {

// The names that error entries give the three requests.
inline constexpr std::string_view kFaceRequestName = "VNDetectFaceLandmarksRequest";
inline constexpr std::string_view kBodyRequestName = "VNDetectHumanBodyPoseRequest";
inline constexpr std::string_view kHandRequestName = "VNDetectHumanHandPoseRequest";

// What one frame leaves on the program's streams, kept until it is its turn to be written.
struct FrameReport {
  std::string messages;             // the description of each failed request, each ending in a line feed
  std::optional<std::string> line;  // the frame record and a line feed; absent when it cannot be written
};

// Runs the face request (and in full mode the body and hand requests) on the frame's file one at
// a time and gives the frame's report: its record, and for a failed request an error entry in
// the record and the request's description in the messages. In faces-only mode every face gets a
// colour sample of the frame. Writes nothing, so frames may be analysed on several threads at
// once; never ends the run.
FrameReport analyse(const std::string& file, int64_t index, double fps, Analysis analysis);

// Writes the report's messages to standard error, then its line to standard output, through its
// buffer. Fails only when standard output refuses the line.
platform::Result<void> writeReport(const FrameReport& report);

// "<request name>: <domain> <code>", the entry a failed request leaves in "errors".
std::string errorEntry(std::string_view requestName, const platform::Error& error);

}  // namespace frame_analysis
