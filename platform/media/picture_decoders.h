// The picture formats behind decodeStillImage. Internal to platform/media.
#pragma once

#include <string>
#include <vector>

#include "platform/media/image.h"
#include "platform/media/still_image.h"
#include "platform/result.h"

namespace platform::media {

// The failure of reading the picture at `path`, in the words every decoder uses.
Error stillImageFailure(StillImageError code, const std::string& path, const std::string& reason);

bool isJpeg(const std::vector<unsigned char>& bytes);
bool isPng(const std::vector<unsigned char>& bytes);

// Both refuse pictures above kMaxStillImagePixels before taking their pixel memory, and report a
// picture that ends early as damaged. `path` only names the file in failures.
Result<Image> decodeJpeg(const std::vector<unsigned char>& bytes, const std::string& path);
// Transparent parts are laid over white, where dark text and drawings stay legible.
Result<Image> decodePng(const std::vector<unsigned char>& bytes, const std::string& path);

}  // namespace platform::media
