#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "platform/media/still_image.h"
#include "tests/support/files.h"

namespace platform::media {
namespace {

using test_support::TemporaryFolder;
using test_support::writeFile;

// A 16 x 16 PNG in `format`: the top half transparent (or white where there is no alpha), the
// bottom half opaque black.
std::string transparentOverBlack(png_uint_32 format) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = 16;
  png.height = 16;
  png.format = format;
  const size_t channels = PNG_IMAGE_PIXEL_CHANNELS(format);
  const bool wide = (format & PNG_FORMAT_FLAG_LINEAR) != 0;
  const bool alpha = (format & PNG_FORMAT_FLAG_ALPHA) != 0;
  std::vector<uint16_t> wideSamples(16 * 16 * channels);
  for (size_t y = 0; y < 16; ++y) {
    for (size_t x = 0; x < 16; ++x) {
      for (size_t c = 0; c < channels; ++c) {
        const bool isAlpha = alpha && c == channels - 1;
        const bool top = y < 8;
        uint16_t value = top ? (isAlpha ? 0 : 65535) : (isAlpha ? 65535 : 0);
        wideSamples[(y * 16 + x) * channels + c] = value;
      }
    }
  }
  std::vector<uint8_t> narrowSamples;
  for (const uint16_t sample : wideSamples) narrowSamples.push_back(static_cast<uint8_t>(sample >> 8));
  const void* pixels = wide ? static_cast<const void*>(wideSamples.data()) : narrowSamples.data();
  png_alloc_size_t size = 0;
  EXPECT_TRUE(png_image_write_to_memory(&png, nullptr, &size, 0, pixels, 0, nullptr));
  std::string bytes(size, '\0');
  EXPECT_TRUE(png_image_write_to_memory(&png, bytes.data(), &size, 0, pixels, 0, nullptr)) << png.message;
  bytes.resize(size);
  return bytes;
}

// `png` with the size in its header changed and the header's checksum made right again.
std::string withDeclaredSize(std::string png, uint32_t width, uint32_t height) {
  // Signature (8), then the IHDR chunk: length (4), "IHDR", width (4), height (4), 5 more bytes, CRC.
  for (int i = 0; i < 4; ++i) {
    png[16 + i] = static_cast<char>(width >> (24 - 8 * i));
    png[20 + i] = static_cast<char>(height >> (24 - 8 * i));
  }
  const uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 17);
  for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
  return png;
}

TEST(DecodePng, LaysTransparencyOverWhiteForEveryLayout) {
  TemporaryFolder folder;
  const struct {
    const char* name;
    png_uint_32 format;
  } cases[] = {
      {"rgba.jpg", PNG_FORMAT_RGBA},
      {"grey_alpha.jpg", PNG_FORMAT_GA},
      {"rgb16.jpg", PNG_FORMAT_LINEAR_RGB},
      {"grey.jpg", PNG_FORMAT_GRAY},
  };
  for (const auto& c : cases) {
    writeFile(folder / c.name, transparentOverBlack(c.format));
    const Result<Image> image = decodeStillImage(folder / c.name);
    ASSERT_TRUE(image.ok()) << c.name << ": " << image.error().description;
    const Image& picture = image.value();
    ASSERT_EQ(picture.width, 16);
    ASSERT_EQ(picture.height, 16);
    for (int channel = 0; channel < 3; ++channel) {
      EXPECT_GT(picture.rgb[channel], 240) << c.name;               // top-left: white
      EXPECT_LT(picture.rgb[15 * 16 * 3 + channel], 15) << c.name;  // bottom-left: black
    }
  }
}

TEST(DecodePng, RefusesDamagedAndOversizedPictures) {
  TemporaryFolder folder;
  const std::string png = transparentOverBlack(PNG_FORMAT_RGB);
  writeFile(folder / "truncated.jpg", png.substr(0, png.size() - 30));
  writeFile(folder / "huge.jpg", withDeclaredSize(png, 20000, 20000));
  std::string badChecksum = png;
  badChecksum[18] ^= 0x01;
  writeFile(folder / "bad_header.jpg", badChecksum);
  const struct {
    const char* name;
    StillImageError code;
  } cases[] = {
      {"truncated.jpg", StillImageError::damaged},
      {"huge.jpg", StillImageError::tooLarge},
      {"bad_header.jpg", StillImageError::damaged},
  };
  for (const auto& c : cases) {
    const Result<Image> image = decodeStillImage(folder / c.name);
    ASSERT_FALSE(image.ok()) << c.name;
    EXPECT_EQ(image.error().code, static_cast<int64_t>(c.code)) << c.name << ": " << image.error().description;
  }
}

}  // namespace
}  // namespace platform::media
