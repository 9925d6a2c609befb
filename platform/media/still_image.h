// Decoding still pictures from files.
//
// Needs: a path to a JPEG or PNG file. Gives: its pixels as RGB, or a failure of the image domain
// (platform/errors.h) that names the file and the reason. Safe to call from any number of
// threads at once; each call gives its own picture.
#pragma once

#include <cstdint>
#include <string>

#include "platform/media/image.h"
#include "platform/result.h"

namespace platform::media {

// Pictures with more pixels than this are refused before any pixel memory is taken.
inline constexpr int64_t kMaxStillImagePixels = 100'000'000;

enum class StillImageError : int64_t {
  noSuchFile = 1,
  isAFolder = 2,
  unreadable = 3,
  emptyFile = 4,
  notAPicture = 5,
  damaged = 6,
  tooLarge = 7,
};

// The first picture of the JPEG or PNG file at `path`, as RGB with its rows top first. The
// orientation tag, if any, is not applied. A failure names the file and the reason (see
// StillImageError). Every call reads and decodes the file afresh and keeps nothing.
Result<Image> decodeStillImage(const std::string& path);

}  // namespace platform::media
