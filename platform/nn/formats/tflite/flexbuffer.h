// Bounds-checked reading of the FlexBuffers map in which MediaPipe's custom operators keep their
// options: integers, floats and typed vectors of integers, looked up by key. Every read checks
// that it stays inside the bytes; anything damaged, missing or of another kind reads as nothing.
// Pure functions of the bytes, which must outlive the map; safe from any thread.
#pragma once

#include "platform/nn/internal_only.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace platform::nn::flexbuffer {

class Map {
 public:
  // The map at the root of `bytes`, or nothing when the root is not a readable map.
  static std::optional<Map> root(std::span<const uint8_t> bytes);

  // The integer (or boolean) under `key`.
  std::optional<int64_t> integer(std::string_view key) const;
  // The number under `key`: a float, or an integer widened.
  std::optional<double> number(std::string_view key) const;
  // The typed vector of integers under `key`.
  std::optional<std::vector<int64_t>> integers(std::string_view key) const;

 private:
  // A value: where it lies, the width it is stored in, and its packed type byte.
  struct Value {
    uint64_t position;
    uint32_t width;
    uint8_t packedType;
  };

  Map(std::span<const uint8_t> bytes, uint64_t values, uint32_t width, uint64_t size, uint64_t keys, uint32_t keyWidth)
      : bytes_(bytes), values_(values), width_(width), size_(size), keys_(keys), keyWidth_(keyWidth) {}

  std::optional<Value> find(std::string_view key) const;

  std::span<const uint8_t> bytes_;
  uint64_t values_;
  uint32_t width_;
  uint64_t size_;
  uint64_t keys_;
  uint32_t keyWidth_;
};

}  // namespace platform::nn::flexbuffer
