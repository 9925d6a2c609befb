// Bounds-checked reading of the protocol buffers wire format, enough for .onnx files: a message is
// walked field by field, and every length, varint and fixed-width value is checked against the
// bytes that remain. A damaged message ends the walk with failed() set instead of reading past
// its end. A Message belongs to one thread; the bytes must outlive it and its fields.
#pragma once

#include "platform/nn/internal_only.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform::nn::protobuf {

enum class WireType : uint8_t { varint = 0, fixed64 = 1, lengthDelimited = 2, fixed32 = 5 };

struct Field {
  uint32_t number = 0;
  WireType type = WireType::varint;
  uint64_t value = 0;              // varint, fixed32 and fixed64 fields (their raw bits)
  std::span<const uint8_t> bytes;  // length-delimited fields: strings, messages, packed values
  std::string_view text() const { return {reinterpret_cast<const char*>(bytes.data()), bytes.size()}; }
};

class Message {
 public:
  explicit Message(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  // The next field, false at the end of the message or when the rest is damaged (then failed()).
  // Groups (wire types 3 and 4) are refused as damage: no .onnx field uses them.
  bool next(Field* field);
  bool failed() const { return failed_; }

 private:
  bool readVarint(uint64_t* value);

  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
  bool failed_ = false;
};

// Appends the values of a repeated scalar field, packed (one length-delimited field) or not (one
// field per value). False when the field's wire type does not fit or a packed run is damaged.
bool appendVarints(const Field& field, std::vector<int64_t>* values);
bool appendFloats(const Field& field, std::vector<float>* values);
bool appendDoubles(const Field& field, std::vector<double>* values);

// The float in a fixed32 field's bits.
float floatOf(const Field& field);

}  // namespace platform::nn::protobuf
