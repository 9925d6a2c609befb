#include "tests/support/jpeg_fixtures.h"

#include <stdexcept>

#include "tests/support/files.h"

namespace test_support {

std::string tinyJpeg() { return readFile(std::string(TEST_FIXTURES_DIR) + "/tiny.jpg"); }

std::string withDeclaredSize(std::string jpeg, int width, int height) {
  // Walk the markers to the start-of-frame segment: FF Cn, length (2), precision (1), height (2), width (2).
  size_t at = 2;
  while (at + 9 < jpeg.size()) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(jpeg[i]); };
    if (byte(at) != 0xFF) throw std::runtime_error("not a marker");
    const unsigned char marker = byte(at + 1);
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      jpeg[at + 5] = static_cast<char>(height >> 8);
      jpeg[at + 6] = static_cast<char>(height & 0xFF);
      jpeg[at + 7] = static_cast<char>(width >> 8);
      jpeg[at + 8] = static_cast<char>(width & 0xFF);
      return jpeg;
    }
    at += 2 + (byte(at + 2) << 8 | byte(at + 3));
  }
  throw std::runtime_error("no frame header");
}

std::string cutWithEndMarker(const std::string& jpeg) {
  const size_t scan = jpeg.find("\xFF\xDA");
  if (scan == std::string::npos) throw std::runtime_error("no image data");
  return jpeg.substr(0, scan + (jpeg.size() - scan) / 2) + "\xFF\xD9";
}

std::string withStrayByte(const std::string& jpeg) {
  const size_t table = jpeg.find("\xFF\xDB");
  if (table == std::string::npos) throw std::runtime_error("no quantisation table");
  return jpeg.substr(0, table) + '\x00' + jpeg.substr(table);
}

}  // namespace test_support
