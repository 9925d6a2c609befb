// The first steps of every run of `matte`: the arguments, the quality and the two file checks.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "person_cutout/matte_run.h"
#include "platform/result.h"

namespace person_cutout {

// The segmentation quality for a quality word, compared byte for byte: "accurate", "balanced" or
// "fast"; nothing for any other word.
std::optional<platform::vision::MaskQuality> qualityOfWord(std::string_view word);

// The location a path names: a relative path is taken from the current folder, an empty one
// names the current folder itself.
std::string fileLocation(const std::string& path);

// True when something is at `location`: a file, a folder, or a link to something (a link to
// nothing counts as nothing).
bool existsAt(const std::string& location);

// The run the command line asks for, with its `source`, `target` and `quality`; or the failure:
// too few arguments, a quality word that is not one of the three (accurate when there is none),
// no video at the input path, something at the output path, in that order. Arguments after the
// quality word are ignored.
platform::Result<MatteRun> takeArguments(int argc, char** argv);

}  // namespace person_cutout
