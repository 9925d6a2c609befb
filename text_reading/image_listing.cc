#include "text_reading/image_listing.h"

#include <utf8proc.h>

#include "platform/directory_listing.h"
#include "platform/name_order.h"

namespace text_reading {

namespace {

// `text` with each character replaced by its lowercase form.
std::string lowercased(const std::string& text) {
  std::string out;
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
  const auto size = static_cast<utf8proc_ssize_t>(text.size());
  for (utf8proc_ssize_t i = 0; i < size;) {
    utf8proc_int32_t codepoint = 0;
    const utf8proc_ssize_t length = utf8proc_iterate(bytes + i, size - i, &codepoint);
    if (length <= 0) {  // not UTF-8: fall back to ASCII lowercasing of the bytes
      out.clear();
      for (const char c : text) out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
      return out;
    }
    utf8proc_uint8_t encoded[4];
    const utf8proc_ssize_t written = utf8proc_encode_char(utf8proc_tolower(codepoint), encoded);
    out.append(reinterpret_cast<const char*>(encoded), static_cast<size_t>(written));
    i += length;
  }
  return out;
}

}  // namespace

bool isImageName(const std::string& name) {
  if (name.find('.') == std::string::npos) return false;
  return lowercased(platform::pathExtension(name)) == "jpg";
}

std::optional<std::vector<std::string>> chooseImages(const std::string& folder) {
  const std::optional<std::vector<std::string>> entries = platform::listDirectory(folder);
  if (!entries) return std::nullopt;
  std::vector<std::string> names;
  for (const std::string& name : *entries) {
    if (isImageName(name)) names.push_back(name);
  }
  std::vector<std::string> paths;
  paths.reserve(names.size());
  for (const size_t i : platform::nameOrder(names)) paths.push_back(platform::appendPathComponent(folder, names[i]));
  return paths;
}

}  // namespace text_reading
