// Decoding still pictures from files.
#pragma once

#include <cstdint>
#include <string>

#include "platform/media/image.h"
#include "platform/result.h"

namespace platform::media {

// Pictures with more pixels than this are refused before any pixel memory is taken.
inline constexpr int64_t kMaxStillImagePixels = 100'000'000;

inline constexpr const char* kStillImageErrorDomain = "platform.image";

enum class StillImageError : int64_t {
  noSuchFile = 1,
  isAFolder = 2,
  unreadable = 3,
  emptyFile = 4,
  notAPicture = 5,
  damaged = 6,
  tooLarge = 7,
};

// The first picture of the JPEG file at `path`, as RGB with its rows top first. The orientation
// tag, if any, is not applied. A failure names the file and the reason (see StillImageError).
// The last picture decoded is kept (one, so memory stays flat): decoding the same file again
// while it is unchanged (same device, inode, size, modification and change times) gives a copy
// of it without reading or decoding the file again.
Result<Image> decodeStillImage(const std::string& path);

}  // namespace platform::media
