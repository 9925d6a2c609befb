#include "platform/nn/formats/onnx/protobuf.h"

#include <cstring>

namespace platform::nn::protobuf {
namespace {

// Values are little-endian on the wire, as on every machine this builds for.
template <typename T>
T load(const uint8_t* at) {
  T value;
  std::memcpy(&value, at, sizeof(T));
  return value;
}

template <typename T>
bool appendPackedFixed(std::span<const uint8_t> bytes, std::vector<T>* values) {
  if (bytes.size() % sizeof(T) != 0) return false;
  size_t count = bytes.size() / sizeof(T);
  values->reserve(values->size() + count);
  for (size_t i = 0; i < count; ++i) values->push_back(load<T>(bytes.data() + i * sizeof(T)));
  return true;
}

}  // namespace

bool Message::readVarint(uint64_t* value) {
  uint64_t result = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    if (position_ >= bytes_.size()) return false;
    uint8_t byte = bytes_[position_++];
    result |= uint64_t{byte & 0x7fu} << shift;
    if ((byte & 0x80) == 0) {
      *value = result;
      return true;
    }
  }
  return false;  // more than ten bytes
}

bool Message::next(Field* field) {
  if (failed_ || position_ >= bytes_.size()) return false;
  uint64_t key = 0;
  if (!readVarint(&key) || (key >> 3) == 0 || (key >> 3) > 0x1fffffff) {
    failed_ = true;
    return false;
  }
  field->number = static_cast<uint32_t>(key >> 3);
  field->value = 0;
  field->bytes = {};
  size_t remaining = 0;
  switch (key & 7) {
    case 0:
      field->type = WireType::varint;
      if (!readVarint(&field->value)) failed_ = true;
      break;
    case 1:
      field->type = WireType::fixed64;
      remaining = bytes_.size() - position_;
      if (remaining < 8) {
        failed_ = true;
        break;
      }
      field->value = load<uint64_t>(bytes_.data() + position_);
      position_ += 8;
      break;
    case 2: {
      field->type = WireType::lengthDelimited;
      uint64_t length = 0;
      if (!readVarint(&length) || length > bytes_.size() - position_) {
        failed_ = true;
        break;
      }
      field->bytes = bytes_.subspan(position_, static_cast<size_t>(length));
      position_ += static_cast<size_t>(length);
      break;
    }
    case 5:
      field->type = WireType::fixed32;
      remaining = bytes_.size() - position_;
      if (remaining < 4) {
        failed_ = true;
        break;
      }
      field->value = load<uint32_t>(bytes_.data() + position_);
      position_ += 4;
      break;
    default:
      failed_ = true;
  }
  return !failed_;
}

bool appendVarints(const Field& field, std::vector<int64_t>* values) {
  if (field.type == WireType::varint) {
    values->push_back(static_cast<int64_t>(field.value));
    return true;
  }
  if (field.type != WireType::lengthDelimited) return false;
  // A packed run is a sequence of bare varints; read each as the value of a field numbered 1.
  size_t position = 0;
  const std::span<const uint8_t> bytes = field.bytes;
  while (position < bytes.size()) {
    uint64_t result = 0;
    bool done = false;
    for (int shift = 0; shift < 64 && position < bytes.size(); shift += 7) {
      uint8_t byte = bytes[position++];
      result |= uint64_t{byte & 0x7fu} << shift;
      if ((byte & 0x80) == 0) {
        done = true;
        break;
      }
    }
    if (!done) return false;
    values->push_back(static_cast<int64_t>(result));
  }
  return true;
}

bool appendFloats(const Field& field, std::vector<float>* values) {
  if (field.type == WireType::fixed32) {
    values->push_back(floatOf(field));
    return true;
  }
  return field.type == WireType::lengthDelimited && appendPackedFixed<float>(field.bytes, values);
}

bool appendDoubles(const Field& field, std::vector<double>* values) {
  if (field.type == WireType::fixed64) {
    double value;
    std::memcpy(&value, &field.value, sizeof value);
    values->push_back(value);
    return true;
  }
  return field.type == WireType::lengthDelimited && appendPackedFixed<double>(field.bytes, values);
}

float floatOf(const Field& field) {
  uint32_t bits = static_cast<uint32_t>(field.value);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace platform::nn::protobuf
