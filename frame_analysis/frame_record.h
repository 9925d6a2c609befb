// The per-frame step of `vision`: analyse one frame and make its line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "frame_analysis/vision_run.h"
#include "platform/json.h"
#include "platform/result.h"

namespace frame_analysis {

// What one frame leaves on the program's streams, kept until it is its turn to be written.
struct FrameReport {
  std::string messages;             // the description of each failed request, each ending in a line feed
  std::optional<std::string> line;  // the frame record and a line feed; absent when it cannot be written
};

// What the analysis of one frame found: the record's lists, and the description of each failed
// request, each ending in a line feed.
struct FrameFindings {
  platform::JsonArray faces, bodies, hands, errors;
  std::string messages;
};

// The report of a frame at `time` seconds. A record that cannot be written (a number in an
// observation that is not finite) still leaves a line: the frame with empty lists and an error
// entry for its record, "record: vision.output 2".
FrameReport frameReport(double time, FrameFindings findings);

// Decodes the frame's file once, runs the face request on the picture (and in full mode the body
// and hand requests after it) and gives the frame's report: its record, and for each failed
// request an error entry in the record and the failure's description in the messages. A frame
// that cannot be decoded fails every request it would have run, each with the decoder's failure.
// In faces-only mode every face gets a colour sample of that same picture. Writes nothing, so
// frames may be analysed on several threads at once; never ends the run.
FrameReport analyse(const std::string& file, int64_t index, double fps, Analysis analysis);

// Writes the report's messages to standard error, then its line to standard output, through its
// buffer. Fails only when standard output refuses the line.
platform::Result<void> writeReport(const FrameReport& report);

}  // namespace frame_analysis
