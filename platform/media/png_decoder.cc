#include <png.h>

#include <memory>

#include "platform/media/picture_decoders.h"

namespace platform::media {

bool isPng(const std::vector<unsigned char>& bytes) {
  return bytes.size() >= 8 && png_sig_cmp(bytes.data(), 0, 8) == 0;
}

Result<Image> decodePng(const std::vector<unsigned char>& bytes, const std::string& path) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  const std::unique_ptr<png_image, void (*)(png_imagep)> release(&png, png_image_free);
  if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) {
    return stillImageFailure(StillImageError::damaged, path,
                             std::string("its header is damaged (") + png.message + ")");
  }
  if (png.width == 0 || png.height == 0) return stillImageFailure(StillImageError::damaged, path, "it has no pixels");
  if (static_cast<int64_t>(png.width) * png.height > kMaxStillImagePixels) {
    return stillImageFailure(StillImageError::tooLarge, path,
                             "it is " + std::to_string(png.width) + " x " + std::to_string(png.height) +
                                 " pixels, more than can be decoded safely");
  }
  png.format = PNG_FORMAT_RGB;
  Image image;
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  image.rgb.resize(PNG_IMAGE_SIZE(png));
  const png_color white{255, 255, 255};
  if (!png_image_finish_read(&png, &white, image.rgb.data(), 0, nullptr)) {
    return stillImageFailure(StillImageError::damaged, path, std::string("it is damaged (") + png.message + ")");
  }
  return image;
}

}  // namespace platform::media
