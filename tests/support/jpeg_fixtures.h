// Damaged and oversized JPEG files made from a good one, for the decoders' failure paths.
#pragma once

#include <string>

namespace test_support {

// The small, valid JPEG committed with the tests.
std::string tinyJpeg();

// `jpeg` with the picture size in its frame header changed to width x height: the header claims a
// huge picture while the file stays small.
std::string withDeclaredSize(std::string jpeg, int width, int height);

// `jpeg` cut inside its image data, halfway, with an end marker put back after the cut: it ends
// as a whole file does, but rows are missing.
std::string cutWithEndMarker(const std::string& jpeg);

// `jpeg` with one stray byte before its first quantisation table: a harmless fault between two
// header sections that decoders warn about and step over.
std::string withStrayByte(const std::string& jpeg);

}  // namespace test_support
