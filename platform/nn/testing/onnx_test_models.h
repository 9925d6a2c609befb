// Writes small ONNX models in the protocol buffers wire format, for the reader's and the
// translation's tests: a model is built from nodes, constants and declared inputs and outputs.
#pragma once

#include "platform/nn/internal_only.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace platform::nn::testing {

class Proto {
 public:
  Proto& integer(int field, int64_t value) {
    key(field, 0);
    varint(static_cast<uint64_t>(value));
    return *this;
  }
  Proto& real(int field, float value) {
    key(field, 5);
    bytes_.append(reinterpret_cast<const char*>(&value), 4);
    return *this;
  }
  Proto& text(int field, const std::string& value) {
    key(field, 2);
    varint(value.size());
    bytes_ += value;
    return *this;
  }
  Proto& message(int field, const Proto& value) { return text(field, value.bytes()); }
  Proto& packedInts(int field, const std::vector<int64_t>& values) {
    Proto packed;
    for (int64_t v : values) packed.varint(static_cast<uint64_t>(v));
    return text(field, packed.bytes());
  }
  const std::string& bytes() const { return bytes_; }

 private:
  void key(int field, int wire) { varint(static_cast<uint64_t>(field) << 3 | static_cast<uint64_t>(wire)); }
  void varint(uint64_t v) {
    while (v >= 0x80) {
      bytes_.push_back(static_cast<char>(v | 0x80));
      v >>= 7;
    }
    bytes_.push_back(static_cast<char>(v));
  }
  std::string bytes_;
};

inline Proto floatTensor(const std::string& name, const std::vector<int64_t>& dims, const std::vector<float>& values) {
  Proto t;
  t.packedInts(1, dims).integer(2, 1).text(8, name);
  std::string raw(values.size() * 4, '\0');
  if (!values.empty()) std::memcpy(raw.data(), values.data(), raw.size());
  return t.text(9, raw);
}

inline Proto intTensor(const std::string& name, const std::vector<int64_t>& dims, const std::vector<int64_t>& values) {
  Proto t;
  t.packedInts(1, dims).integer(2, 7).text(8, name);
  std::string raw(values.size() * 8, '\0');
  if (!values.empty()) std::memcpy(raw.data(), values.data(), raw.size());
  return t.text(9, raw);
}

// Attributes: ints, one int, one float, text.
inline Proto intsAttribute(const std::string& name, const std::vector<int64_t>& values) {
  return Proto().text(1, name).integer(20, 7).packedInts(8, values);
}
inline Proto intAttribute(const std::string& name, int64_t value) {
  return Proto().text(1, name).integer(20, 2).integer(3, value);
}
inline Proto floatAttribute(const std::string& name, float value) {
  return Proto().text(1, name).integer(20, 1).real(2, value);
}
inline Proto textAttribute(const std::string& name, const std::string& value) {
  return Proto().text(1, name).integer(20, 3).text(4, value);
}

inline Proto node(const std::string& opType, const std::vector<std::string>& inputs,
                  const std::vector<std::string>& outputs, const std::vector<Proto>& attributes = {}) {
  Proto n;
  for (const std::string& in : inputs) n.text(1, in);
  for (const std::string& out : outputs) n.text(2, out);
  n.text(4, opType);
  for (const Proto& a : attributes) n.message(5, a);
  return n;
}

inline Proto constantNode(const std::string& output, const Proto& tensor) {
  return node("Constant", {}, {output}, {Proto().text(1, "value").integer(20, 4).message(5, tensor)});
}

// A float value of these dimensions; -1 leaves one open.
inline Proto valueInfo(const std::string& name, const std::vector<int64_t>& dims) {
  Proto shape;
  for (int64_t d : dims) shape.message(1, d < 0 ? Proto().text(2, "open") : Proto().integer(1, d));
  Proto tensorType;
  tensorType.integer(1, 1).message(2, shape);
  return Proto().text(1, name).message(2, Proto().message(1, tensorType));
}

inline std::vector<uint8_t> modelBytes(const std::vector<Proto>& nodes, const std::vector<Proto>& inputs,
                                       const std::vector<Proto>& outputs, int64_t opset = 11,
                                       const std::vector<Proto>& initializers = {}) {
  Proto graph;
  for (const Proto& n : nodes) graph.message(1, n);
  graph.text(2, "test");
  for (const Proto& t : initializers) graph.message(5, t);
  for (const Proto& i : inputs) graph.message(11, i);
  for (const Proto& o : outputs) graph.message(12, o);
  Proto model;
  model.integer(1, 8).message(8, Proto().text(1, "").integer(2, opset)).message(7, graph);
  return std::vector<uint8_t>(model.bytes().begin(), model.bytes().end());
}

}  // namespace platform::nn::testing
