// The messages of `look` and the choice of its images.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace text_reading {

inline constexpr const char* kUsage = "Usage: look <folder>";
inline constexpr const char* kFolderUnreadable = "Error: the folder could not be read";
// Standard output refused a line (a full disk, a closed stream): the run stops, as every later
// line would be lost too.
inline constexpr const char* kRecordsLost = "Error: the image records could not be written";

// True when the part of `name` after its last full stop, lowercased (Unicode simple case
// mapping), is exactly "jpg". Names that are not UTF-8 are lowercased byte by byte in ASCII.
bool isImageName(const std::string& name);

// The paths of the images directly inside `folder`: every entry, of any kind and hidden ones
// included, whose name passes isImageName, in name order (see platform/name_order.h). Nothing
// when the folder cannot be listed.
std::optional<std::vector<std::string>> chooseImages(const std::string& folder);

}  // namespace text_reading
