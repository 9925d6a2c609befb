// The command line of `vision` and the choice of its frames.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace frame_analysis {

inline constexpr const char* kUsage = "Usage: vision FRAME_DIRECTORY FPS [faces]\n";
inline constexpr const char* kFolderUnreadable = "Error: the folder could not be read\n";
// Standard output refused a line (a full disk, a closed stream): the run stops, as every later
// line would be lost too.
inline constexpr const char* kRecordsLost = "Error: the frame records could not be written\n";

// The frame rate given as `text`, or nothing when it is not a number greater than 0.
std::optional<double> readFrameRate(const std::string& text);

// The paths of the frames in `folder`: the entries whose extension is exactly "jpg", in name
// order. Nothing when the folder cannot be listed.
std::optional<std::vector<std::string>> chooseFrames(const std::string& folder);

}  // namespace frame_analysis
