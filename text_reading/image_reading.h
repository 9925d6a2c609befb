// The per-image step of `look`.
#pragma once

#include <string>

#include "platform/json.h"
#include "platform/result.h"

namespace text_reading {

// The record of the image at `path`: the picture decoded once, then its lines of text (the
// accurate level, Tesseract's word lists guiding the lines it reads) and its face boxes; or,
// when the picture cannot be decoded or either analysis fails, that failure as its "error".
platform::JsonObject analyseImage(const std::string& path);

// Writes the record of the image at `path` (analyseImage) as one JSON line on standard output,
// flushed at once. Writes nothing to standard error. Fails only when standard output refuses the
// line.
platform::Result<void> readImage(const std::string& path);

}  // namespace text_reading
