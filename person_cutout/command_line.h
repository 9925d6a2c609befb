// The first steps of every run of `matte`: the arguments, the quality and the two file checks.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace person_cutout {

// The segmentation quality for a quality word, compared byte for byte: "accurate" 0, "balanced"
// 1, "fast" 2; nothing for any other word.
std::optional<unsigned> qualityOfWord(std::string_view word);

// The location a path names: a relative path is taken from the current folder, an empty one
// names the current folder itself.
std::string fileLocation(const std::string& path);

// True when something is at `location`: a file, a folder, or a link to something (a link to
// nothing counts as nothing).
bool existsAt(const std::string& location);

// Sets `args`, `quality`, `source` and `target`, or fails: too few arguments, a quality word that
// is not one of the three, no video at the input path, something at the output path, in that
// order. Arguments after the quality word are ignored.
platform::Result<void> takeArguments(int argc, char** argv);

}  // namespace person_cutout
