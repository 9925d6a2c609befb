// JSON values and the one way the programs write them: keys sorted, compact, "/" escaped.
// Plain values and pure functions: safe from any thread.
#pragma once

#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace platform {

class JsonValue;
using JsonArray = std::vector<JsonValue>;
// Keys are kept in ascending byte order, which is the order in which they are written.
using JsonObject = std::map<std::string, JsonValue>;

class JsonValue {
 public:
  JsonValue() : value_(JsonObject{}) {}
  JsonValue(double number) : value_(number) {}
  JsonValue(std::string text) : value_(std::move(text)) {}
  JsonValue(const char* text) : value_(std::string(text)) {}
  JsonValue(JsonArray array) : value_(std::move(array)) {}
  JsonValue(JsonObject object) : value_(std::move(object)) {}

  const std::variant<double, std::string, JsonArray, JsonObject>& get() const { return value_; }

 private:
  std::variant<double, std::string, JsonArray, JsonObject> value_;
};

// An array of numbers (built element by element, which also keeps GCC 12's false array-bounds
// warnings about initializer lists of variants away).
JsonArray jsonNumbers(std::initializer_list<double> values);

// The JSON text of `value`: object keys in ascending order at every level, no white space
// between tokens, the solidus written as \/, control characters escaped, other characters
// (those outside ASCII included) written as they are. Numbers are written in the shortest form
// that reads back as the same 64-bit value. Nothing when the value cannot be written: a number
// that is not finite, or a string that is not valid UTF-8.
std::optional<std::string> writeJson(const JsonValue& value);

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool isValidUtf8(std::string_view text);

// `text` with every byte that is not part of well-formed UTF-8 replaced by U+FFFD.
std::string replacingInvalidUtf8(std::string_view text);

}  // namespace platform
