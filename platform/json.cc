#include "platform/json.h"

#include <charconv>
#include <cmath>

namespace platform {

namespace {

// Length of the well-formed UTF-8 sequence starting at text[i], or 0 when there is none.
size_t utf8SequenceLength(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  size_t length;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

bool appendString(std::string& out, const std::string& text) {
  if (!isValidUtf8(text)) return false;
  out.push_back('"');
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '/':
        out += "\\/";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          static const char kHex[] = "0123456789abcdef";
          out += "\\u00";
          out.push_back(kHex[(c >> 4) & 0xF]);
          out.push_back(kHex[c & 0xF]);
        } else {
          out.push_back(c);
        }
    }
  }
  out.push_back('"');
  return true;
}

bool appendNumber(std::string& out, double number) {
  if (!std::isfinite(number)) return false;
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
  out.append(buffer, result.ptr);
  return true;
}

bool appendValue(std::string& out, const JsonValue& value) {
  const auto& v = value.get();
  if (const double* number = std::get_if<double>(&v)) return appendNumber(out, *number);
  if (const std::string* text = std::get_if<std::string>(&v)) return appendString(out, *text);
  if (const JsonArray* array = std::get_if<JsonArray>(&v)) {
    out.push_back('[');
    for (size_t i = 0; i < array->size(); ++i) {
      if (i > 0) out.push_back(',');
      if (!appendValue(out, (*array)[i])) return false;
    }
    out.push_back(']');
    return true;
  }
  const JsonObject& object = std::get<JsonObject>(v);
  out.push_back('{');
  bool first = true;
  for (const auto& [key, member] : object) {
    if (!first) out.push_back(',');
    first = false;
    if (!appendString(out, key)) return false;
    out.push_back(':');
    if (!appendValue(out, member)) return false;
  }
  out.push_back('}');
  return true;
}

}  // namespace

bool isValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const size_t length = utf8SequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string replacingInvalidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t length = utf8SequenceLength(text, i);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
  }
  return out;
}

JsonArray jsonNumbers(std::initializer_list<double> values) {
  JsonArray array;
  array.reserve(values.size());
  for (const double value : values) array.emplace_back(value);
  return array;
}

std::optional<std::string> writeJson(const JsonValue& value) {
  std::string out;
  if (!appendValue(out, value)) return std::nullopt;
  return out;
}

}  // namespace platform
