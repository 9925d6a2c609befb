#include "tools/character_error_rate.h"

#include <utf8proc.h>

#include <algorithm>
#include <vector>

#include "platform/edit_distance.h"

namespace tools {

namespace {

// The characters of `text`; a byte that is not UTF-8 counts as one character of its own.
std::vector<int32_t> characters(std::string_view text) {
  std::vector<int32_t> out;
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
  const auto size = static_cast<utf8proc_ssize_t>(text.size());
  for (utf8proc_ssize_t i = 0; i < size;) {
    utf8proc_int32_t codepoint = 0;
    const utf8proc_ssize_t length = utf8proc_iterate(bytes + i, size - i, &codepoint);
    if (length <= 0) {
      out.push_back(-static_cast<int32_t>(bytes[i]) - 1);
      ++i;
    } else {
      out.push_back(codepoint);
      i += length;
    }
  }
  return out;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

std::string normalisedSpacing(std::string_view text) {
  std::string out;
  bool pendingSpace = false;
  for (const char c : text) {
    if (isSpace(c)) {
      pendingSpace = !out.empty();
      continue;
    }
    if (pendingSpace) out.push_back(' ');
    pendingSpace = false;
    out.push_back(c);
  }
  return out;
}

double characterErrorRate(std::string_view recognised, std::string_view known) {
  const std::vector<int32_t> reading = characters(normalisedSpacing(recognised));
  const std::vector<int32_t> truth = characters(normalisedSpacing(known));
  if (truth.empty()) return reading.empty() ? 0.0 : 1.0;
  return static_cast<double>(platform::editDistance(reading, truth)) / static_cast<double>(truth.size());
}

}  // namespace tools
