// JPEG through libjpeg-turbo's libjpeg interface: it tells each warning apart by its code, so that
// image data that ends early can stop the decoding at once while a stray byte between header
// sections is let through.
#include <csetjmp>
#include <cstdio>
#include <memory>

#include <jerror.h>
#include <jpeglib.h>

#include "platform/errors.h"
#include "platform/media/picture_decoders.h"

namespace platform::media {

namespace {

// How a decoding stopped early.
enum class Stop { none, fatal, endedEarly };

struct ErrorManager {
  jpeg_error_mgr standard;  // first: libjpeg hands back a pointer to it
  std::jmp_buf escape;
  Stop stop = Stop::none;
  char message[JMSG_LENGTH_MAX] = {};
};

ErrorManager& errorsOf(j_common_ptr info) { return *reinterpret_cast<ErrorManager*>(info->err); }

[[noreturn]] void leave(j_common_ptr info, Stop stop) {
  ErrorManager& errors = errorsOf(info);
  errors.stop = stop;
  (*info->err->format_message)(info, errors.message);
  std::longjmp(errors.escape, 1);
}

void onError(j_common_ptr info) { leave(info, Stop::fatal); }

// Only warnings that the image data ends early count: the rows after that point would be made up,
// and decoding on would spend time and memory on a picture the file does not hold. Every other
// warning (extra bytes between sections, for one) leaves the pixels as the data gives them.
void onMessage(j_common_ptr info, int level) {
  if (level >= 0) return;
  const int code = info->err->msg_code;
  if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER) leave(info, Stop::endedEarly);
}

// CMYK pictures are written almost only by Adobe software, which stores the inks inverted: each
// byte is already the share of light that passes.
void cmykToRgb(const JSAMPLE* cmyk, uint8_t* rgb, int pixels) {
  for (int i = 0; i < pixels; ++i) {
    const int c = cmyk[4 * i], m = cmyk[4 * i + 1], y = cmyk[4 * i + 2], k = cmyk[4 * i + 3];
    rgb[3 * i] = static_cast<uint8_t>((c * k + 127) / 255);
    rgb[3 * i + 1] = static_cast<uint8_t>((m * k + 127) / 255);
    rgb[3 * i + 2] = static_cast<uint8_t>((y * k + 127) / 255);
  }
}

// The steps that libjpeg may leave through its error handlers. A longjmp lands back here, past
// libjpeg's own frames only: nothing with a destructor lies between. `info` is destroyed by the
// caller, whether or not it was created.
Result<void> decodeInto(jpeg_decompress_struct& info, ErrorManager& errors, const std::vector<unsigned char>& bytes,
                        const std::string& path, Image& image, std::vector<JSAMPLE>& cmykRow) {
  volatile bool headerRead = false;
  if (setjmp(errors.escape) != 0) {
    const std::string reason = errors.message;
    if (!headerRead) return stillImageFailure(StillImageError::damaged, path, "its header is damaged (" + reason + ")");
    return stillImageFailure(StillImageError::damaged, path, "it is damaged (" + reason + ")");
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  headerRead = true;

  const int64_t width = info.image_width, height = info.image_height;
  if (width <= 0 || height <= 0) return stillImageFailure(StillImageError::damaged, path, "it has no pixels");
  if (width * height > kMaxStillImagePixels) {
    return stillImageFailure(
        StillImageError::tooLarge, path,
        "it is " + std::to_string(width) + " x " + std::to_string(height) + " pixels, more than can be decoded safely");
  }
  const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  info.dct_method = JDCT_ISLOW;
  jpeg_start_decompress(&info);

  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  // Memory is taken as rows arrive, so a header that claims far more rows than the data holds
  // costs only the rows decoded before the data ran out.
  image.rgb.reserve(rowBytes * static_cast<size_t>(height));
  if (cmyk) cmykRow.resize(static_cast<size_t>(width) * 4);
  while (info.output_scanline < info.output_height) {
    const size_t y = info.output_scanline;
    image.rgb.resize(rowBytes * (y + 1));
    JSAMPROW row = cmyk ? cmykRow.data() : image.rgb.data() + rowBytes * y;
    if (jpeg_read_scanlines(&info, &row, 1) != 1)
      return stillImageFailure(StillImageError::damaged, path, "it is damaged");
    if (cmyk) cmykToRgb(cmykRow.data(), image.rgb.data() + rowBytes * y, image.width);
  }
  // What follows the last row (the end marker, trailing data) plays no part in the picture.
  jpeg_abort_decompress(&info);
  return {};
}

}  // namespace

Error stillImageFailure(StillImageError code, const std::string& path, const std::string& reason) {
  return makeError(kImageDomain, code, "The picture \"" + path + "\" could not be read: " + reason + ".");
}

bool isJpeg(const std::vector<unsigned char>& bytes) {
  return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

Result<Image> decodeJpeg(const std::vector<unsigned char>& bytes, const std::string& path) {
  ErrorManager errors;
  jpeg_decompress_struct info{};
  info.err = jpeg_std_error(&errors.standard);
  errors.standard.error_exit = onError;
  errors.standard.emit_message = onMessage;
  Image image;
  std::vector<JSAMPLE> cmykRow;
  Result<void> decoded = decodeInto(info, errors, bytes, path, image, cmykRow);
  jpeg_destroy_decompress(&info);
  if (!decoded) return decoded.error();
  return image;
}

}  // namespace platform::media
