// Every message of `matte`, and the two routines through which they leave the program.
//
// A step that fails gives back a failure() carrying its message; main ends the run with fail().
#pragma once

#include <string>
#include <string_view>

#include "platform/media/video_writer.h"
#include "platform/result.h"

namespace person_cutout {

// Failures, in the order a run can reach them. Each is written as "Error: " + message.
inline constexpr std::string_view kUsage = "usage: matte <video> <out.mp4> [fast|balanced|accurate]";
inline constexpr std::string_view kBadQuality = "quality is fast, balanced or accurate";
inline constexpr std::string_view kNoVideo = "the video does not exist";
inline constexpr std::string_view kOutputExists = "the output file already exists";
inline constexpr std::string_view kNoPicture = "this file has no picture";
inline constexpr std::string_view kCannotOpen = "the video could not be opened";
inline constexpr std::string_view kCannotRead = "the video could not be read";
inline constexpr std::string_view kCannotWrite = "the cut-out could not be written";      // alone, or + ": " + reason
inline constexpr std::string_view kNoPerson = "the person could not be found in frame ";  // + frame + ": " + reason
inline constexpr std::string_view kNoMask = "no cut-out came back for frame ";            // + frame
inline constexpr std::string_view kOutOfMemory = "out of memory writing the cut-out";
inline constexpr std::string_view kReadBrokeOff = "the video could not be read to its end";
inline constexpr std::string_view kNoFrames = "the video has no frames";
inline constexpr std::string_view kCannotFinish = "the cut-out could not be finished: ";  // + reason
inline constexpr std::string_view kSummaryLost = "the summary could not be written";
inline constexpr std::string_view kStopped = "stopped by ";  // + "SIGINT", "SIGTERM" or "SIGHUP"
// Stands for a reason when the platform gives none.
inline constexpr std::string_view kUnknown = "unknown";

// Ends a failed run: removes the cut-out file `writer` created (none when it is null) unless it
// is complete, or even a complete one when a stop signal called the run off (a file left behind
// would block a retry with the same path, and a file the run did not create is never touched),
// writes "Error: " + message + a line feed to standard error in one write, and gives the exit
// status, 1, for main to return.
int fail(std::string_view message, platform::media::VideoWriter* writer);

// The failure of one of matte's own steps: its description is the message for fail().
platform::Error failure(std::string_view message);

// Writes text + a line feed to standard error in one write.
void note(std::string_view text);

// The platform's reason for a failure, as the messages show it: its description, or kUnknown
// when it gives none.
std::string reasonOf(const platform::Error& error);

}  // namespace person_cutout
