// Damaged and oversized JPEG files made from a good one, for the decoders' failure paths.
#pragma once

#include <string>

namespace test_support {

// The small, valid JPEG committed with the tests.
std::string tinyJpeg();

// `jpeg` with the picture size in its frame header changed to width x height: the header claims a
// huge picture while the file stays small.
std::string withDeclaredSize(std::string jpeg, int width, int height);

}  // namespace test_support
