// The per-image step of `look`.
#pragma once

#include <string>

#include "platform/result.h"

namespace text_reading {

// Performs text recognition (accurate, language correction, automatic language) and face
// rectangles in one call on one handler for the image at `path`, and writes its record as one
// JSON line on standard output, flushed at once. A failed analysis becomes the record's "error".
// Writes nothing to standard error. Fails only when standard output refuses the line.
platform::Result<void> readImage(const std::string& path);

}  // namespace text_reading
