#include "platform/nn/formats/tflite/flexbuffer.h"

#include <cstring>
#include <limits>

namespace platform::nn::flexbuffer {
namespace {

// The FlexBuffers value types this reader knows (the upper six bits of a packed type byte).
enum Type : uint8_t {
  kInt = 1,
  kUint = 2,
  kFloat = 3,
  kIndirectInt = 6,
  kIndirectUint = 7,
  kIndirectFloat = 8,
  kMap = 9,
  kVectorInt = 11,
  kVectorUint = 12,
  kBool = 26,
};

Type typeOf(uint8_t packed) { return static_cast<Type>(packed >> 2); }
// The width of what an offset-typed value points at, from the lower two bits.
uint32_t childWidth(uint8_t packed) { return 1u << (packed & 3u); }

bool validWidth(uint64_t width) { return width == 1 || width == 2 || width == 4 || width == 8; }

bool inside(std::span<const uint8_t> bytes, uint64_t position, uint64_t length) {
  return position <= bytes.size() && length <= bytes.size() - position;
}

std::optional<uint64_t> readUnsigned(std::span<const uint8_t> bytes, uint64_t position, uint32_t width) {
  if (!validWidth(width) || !inside(bytes, position, width)) return std::nullopt;
  uint64_t value = 0;
  for (uint32_t i = 0; i < width; ++i) value |= uint64_t{bytes[position + i]} << (8 * i);
  return value;
}

std::optional<int64_t> readSigned(std::span<const uint8_t> bytes, uint64_t position, uint32_t width) {
  std::optional<uint64_t> raw = readUnsigned(bytes, position, width);
  if (!raw) return std::nullopt;
  const uint32_t unused = 64 - 8 * width;  // sign-extend from the stored width
  return static_cast<int64_t>(*raw << unused) >> unused;
}

std::optional<double> readFloat(std::span<const uint8_t> bytes, uint64_t position, uint32_t width) {
  if ((width != 4 && width != 8) || !inside(bytes, position, width)) return std::nullopt;
  if (width == 4) {
    float value;
    std::memcpy(&value, bytes.data() + position, 4);
    return value;
  }
  double value;
  std::memcpy(&value, bytes.data() + position, 8);
  return value;
}

// Offsets point backwards: the value at `position` holds the distance to its target.
std::optional<uint64_t> follow(std::span<const uint8_t> bytes, uint64_t position, uint32_t width) {
  std::optional<uint64_t> offset = readUnsigned(bytes, position, width);
  if (!offset || *offset > position) return std::nullopt;
  return position - *offset;
}

bool keyEquals(std::span<const uint8_t> bytes, uint64_t position, std::string_view key) {
  if (!inside(bytes, position, key.size() + 1)) return false;
  return std::memcmp(bytes.data() + position, key.data(), key.size()) == 0 && bytes[position + key.size()] == 0;
}

}  // namespace

std::optional<Map> Map::root(std::span<const uint8_t> bytes) {
  // The last byte is the root's width, the one before its packed type, and the root before them.
  if (bytes.size() < 3) return std::nullopt;
  const uint32_t rootWidth = bytes[bytes.size() - 1];
  const uint8_t packed = bytes[bytes.size() - 2];
  if (!validWidth(rootWidth) || bytes.size() < 2 + uint64_t{rootWidth} || typeOf(packed) != kMap) return std::nullopt;
  const std::optional<uint64_t> values = follow(bytes, bytes.size() - 2 - rootWidth, rootWidth);
  const uint32_t width = childWidth(packed);
  // Before the values: the keys vector's offset, its width, then the number of entries.
  if (!values || *values < 3 * uint64_t{width}) return std::nullopt;
  const std::optional<uint64_t> size = readUnsigned(bytes, *values - width, width);
  const std::optional<uint64_t> keys = follow(bytes, *values - 3 * width, width);
  const std::optional<uint64_t> keyWidth = readUnsigned(bytes, *values - 2 * width, width);
  if (!size || !keys || !keyWidth || !validWidth(*keyWidth) || *size > bytes.size()) return std::nullopt;
  // Each value has `width` bytes and a packed type byte after all of them.
  if (!inside(bytes, *values, *size * (width + 1)) || !inside(bytes, *keys, *size * *keyWidth)) return std::nullopt;
  return Map(bytes, *values, width, *size, *keys, static_cast<uint32_t>(*keyWidth));
}

std::optional<Map::Value> Map::find(std::string_view key) const {
  for (uint64_t i = 0; i < size_; ++i) {
    const std::optional<uint64_t> name = follow(bytes_, keys_ + i * keyWidth_, keyWidth_);
    if (name && keyEquals(bytes_, *name, key))
      return Value{values_ + i * width_, width_, bytes_[values_ + size_ * width_ + i]};
  }
  return std::nullopt;
}

std::optional<int64_t> Map::integer(std::string_view key) const {
  const std::optional<Value> value = find(key);
  if (!value) return std::nullopt;
  uint64_t position = value->position;
  uint32_t width = value->width;
  const Type type = typeOf(value->packedType);
  if (type == kIndirectInt || type == kIndirectUint) {
    const std::optional<uint64_t> target = follow(bytes_, position, width);
    if (!target) return std::nullopt;
    position = *target;
    width = childWidth(value->packedType);
  }
  if (type == kInt || type == kIndirectInt) return readSigned(bytes_, position, width);
  if (type != kUint && type != kIndirectUint && type != kBool) return std::nullopt;
  const std::optional<uint64_t> unsignedValue = readUnsigned(bytes_, position, width);
  if (!unsignedValue || *unsignedValue > uint64_t{std::numeric_limits<int64_t>::max()}) return std::nullopt;
  return static_cast<int64_t>(*unsignedValue);
}

std::optional<double> Map::number(std::string_view key) const {
  const std::optional<Value> value = find(key);
  if (!value) return std::nullopt;
  const Type type = typeOf(value->packedType);
  if (type == kFloat) return readFloat(bytes_, value->position, value->width);
  if (type == kIndirectFloat) {
    const std::optional<uint64_t> target = follow(bytes_, value->position, value->width);
    if (!target) return std::nullopt;
    return readFloat(bytes_, *target, childWidth(value->packedType));
  }
  const std::optional<int64_t> whole = integer(key);
  if (!whole) return std::nullopt;
  return static_cast<double>(*whole);
}

std::optional<std::vector<int64_t>> Map::integers(std::string_view key) const {
  const std::optional<Value> value = find(key);
  if (!value) return std::nullopt;
  const Type type = typeOf(value->packedType);
  if (type != kVectorInt && type != kVectorUint) return std::nullopt;
  const std::optional<uint64_t> first = follow(bytes_, value->position, value->width);
  const uint32_t width = childWidth(value->packedType);
  // A typed vector's length sits just before its first element, in the elements' width.
  if (!first || *first < width) return std::nullopt;
  const std::optional<uint64_t> count = readUnsigned(bytes_, *first - width, width);
  if (!count || *count > bytes_.size() || !inside(bytes_, *first, *count * width)) return std::nullopt;
  std::vector<int64_t> result;
  result.reserve(*count);
  for (uint64_t i = 0; i < *count; ++i) {
    const uint64_t at = *first + i * width;
    if (type == kVectorInt) {
      result.push_back(*readSigned(bytes_, at, width));
    } else {
      const uint64_t element = *readUnsigned(bytes_, at, width);
      if (element > uint64_t{std::numeric_limits<int64_t>::max()}) return std::nullopt;
      result.push_back(static_cast<int64_t>(element));
    }
  }
  return result;
}

}  // namespace platform::nn::flexbuffer
