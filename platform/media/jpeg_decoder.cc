#include <turbojpeg.h>

#include <memory>

#include "platform/errors.h"
#include "platform/media/picture_decoders.h"

namespace platform::media {

namespace {

using Decompressor = std::unique_ptr<void, int (*)(tjhandle)>;

// CMYK pictures are written almost only by Adobe software, which stores the inks inverted: each
// byte is already the share of light that passes.
void cmykToRgb(const std::vector<unsigned char>& cmyk, std::vector<uint8_t>& rgb) {
  const size_t pixels = cmyk.size() / 4;
  for (size_t i = 0; i < pixels; ++i) {
    const int c = cmyk[4 * i], m = cmyk[4 * i + 1], y = cmyk[4 * i + 2], k = cmyk[4 * i + 3];
    rgb[3 * i] = static_cast<uint8_t>((c * k + 127) / 255);
    rgb[3 * i + 1] = static_cast<uint8_t>((m * k + 127) / 255);
    rgb[3 * i + 2] = static_cast<uint8_t>((y * k + 127) / 255);
  }
}

}  // namespace

Error stillImageFailure(StillImageError code, const std::string& path, const std::string& reason) {
  return makeError(kImageDomain, code, "The picture \"" + path + "\" could not be read: " + reason + ".");
}

bool isJpeg(const std::vector<unsigned char>& bytes) {
  return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

Result<Image> decodeJpeg(const std::vector<unsigned char>& bytes, const std::string& path) {
  Decompressor decompressor(tjInitDecompress(), tjDestroy);
  if (!decompressor) return stillImageFailure(StillImageError::unreadable, path, "the decoder could not be started");
  int width = 0, height = 0, subsampling = 0, colourspace = 0;
  if (tjDecompressHeader3(decompressor.get(), bytes.data(), static_cast<unsigned long>(bytes.size()), &width, &height,
                          &subsampling, &colourspace) != 0) {
    return stillImageFailure(StillImageError::damaged, path,
                             std::string("its header is damaged (") + tjGetErrorStr2(decompressor.get()) + ")");
  }
  if (width <= 0 || height <= 0) return stillImageFailure(StillImageError::damaged, path, "it has no pixels");
  if (static_cast<int64_t>(width) * height > kMaxStillImagePixels) {
    return stillImageFailure(
        StillImageError::tooLarge, path,
        "it is " + std::to_string(width) + " x " + std::to_string(height) + " pixels, more than can be decoded safely");
  }

  Image image;
  image.width = width;
  image.height = height;
  image.rgb.resize(static_cast<size_t>(width) * height * 3);
  const bool cmyk = colourspace == TJCS_CMYK || colourspace == TJCS_YCCK;
  std::vector<unsigned char> cmykPixels;
  if (cmyk) cmykPixels.resize(static_cast<size_t>(width) * height * 4);
  unsigned char* target = cmyk ? cmykPixels.data() : image.rgb.data();
  const int status = tjDecompress2(decompressor.get(), bytes.data(), static_cast<unsigned long>(bytes.size()), target,
                                   width, 0, height, cmyk ? TJPF_CMYK : TJPF_RGB, TJFLAG_ACCURATEDCT);
  if (status != 0) {
    const std::string reason = tjGetErrorStr2(decompressor.get());
    // Warnings about stray bytes are harmless, but a picture that ends early is missing pixels.
    if (tjGetErrorCode(decompressor.get()) == TJERR_FATAL || reason.find("Premature end") != std::string::npos) {
      return stillImageFailure(StillImageError::damaged, path, "it is damaged (" + reason + ")");
    }
  }
  if (cmyk) cmykToRgb(cmykPixels, image.rgb);
  return image;
}

}  // namespace platform::media
