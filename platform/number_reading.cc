#include "platform/number_reading.h"

#include <locale.h>
#include <cctype>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>

namespace platform {

namespace {

locale_t cLocale() {
  static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

}  // namespace

std::optional<double> readDouble(std::string_view text) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return std::nullopt;
  // strtod stops at a NUL; an argument cannot hold one, but a view might.
  if (text.find('\0') != std::string_view::npos) return std::nullopt;
  const std::string owned(text);
  char* end = nullptr;
  errno = 0;
  const double value = strtod_l(owned.c_str(), &end, cLocale());
  if (end != owned.c_str() + owned.size()) return std::nullopt;
  // glibc flags subnormal results as range errors too; only a result that left the range
  // (infinite from a finite text, or zero from a non-zero text) is refused.
  if (errno == ERANGE && (std::isinf(value) || value == 0.0)) return std::nullopt;
  return value;
}

}  // namespace platform
