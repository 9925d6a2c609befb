// Bounds-checked access to a FlatBuffers binary. Every read checks that it stays inside the buffer;
// a read that would not records the first failure in the Reader and returns an empty or default
// value, so a caller walks the whole structure and checks Reader::failed() once at the end.
// Reading records failures in the Reader: a Reader and its tables belong to one thread. The bytes
// must outlive them.
#pragma once

#include "platform/nn/internal_only.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace platform::nn::flatbuffer {

class Table;

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  // The root table, or an absent table (and a failure) when the buffer is too short for one.
  Table root();
  // The four-byte file identifier after the root offset, or "" when the buffer is too short.
  std::string_view identifier() const;

  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }
  // Keeps the first failure only: later ones are usually consequences of it.
  void fail(std::string_view what);

  // True when [position, position + length) lies inside the buffer.
  bool contains(uint64_t position, uint64_t length) const {
    return position <= bytes_.size() && length <= bytes_.size() - position;
  }
  // Reads a little-endian scalar; the caller has checked contains(position, sizeof(T)).
  template <typename T>
  T load(uint64_t position) const {
    T value;
    std::memcpy(&value, bytes_.data() + position, sizeof(T));
    return value;
  }
  const uint8_t* at(uint64_t position) const { return bytes_.data() + position; }

  // The table at `position`, checked; an absent table (and a failure) when it is out of bounds.
  Table tableAt(uint64_t position, std::string_view what);

 private:
  std::span<const uint8_t> bytes_;
  std::string error_;
};

// A vector of scalars whose whole extent has been checked.
template <typename T>
class ScalarVector {
 public:
  ScalarVector() = default;
  ScalarVector(const Reader* reader, uint64_t first, uint32_t count) : reader_(reader), first_(first), count_(count) {}
  uint32_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  T operator[](uint32_t i) const { return reader_->template load<T>(first_ + uint64_t{i} * sizeof(T)); }
  const uint8_t* bytes() const { return count_ == 0 ? nullptr : reader_->at(first_); }

 private:
  const Reader* reader_ = nullptr;
  uint64_t first_ = 0;
  uint32_t count_ = 0;
};

class TableVector;

// A table whose vtable and extent have been checked. An absent table answers every field with
// its default.
class Table {
 public:
  Table() = default;
  Table(Reader* reader, uint64_t position, uint64_t vtable, uint16_t vtableSize, uint16_t tableSize)
      : reader_(reader), position_(position), vtable_(vtable), vtableSize_(vtableSize), tableSize_(tableSize) {}

  bool present() const { return reader_ != nullptr; }

  template <typename T>
  T scalar(int field, T fallback) const {
    uint64_t offset = fieldOffset(field, sizeof(T));
    return offset == 0 ? fallback : reader_->template load<T>(position_ + offset);
  }
  Table table(int field) const;
  TableVector tables(int field) const;
  template <typename T>
  ScalarVector<T> vector(int field) const {
    uint64_t first = 0;
    uint32_t count = vectorExtent(field, sizeof(T), &first);
    return count == 0 ? ScalarVector<T>() : ScalarVector<T>(reader_, first, count);
  }
  std::string_view string(int field) const;
  // Where a scalar field of `size` bytes sits in the buffer, or 0 when absent (for tools and tests
  // that patch a file in place).
  uint64_t fieldPosition(int field, size_t size) const {
    uint64_t offset = fieldOffset(field, size);
    return offset == 0 ? 0 : position_ + offset;
  }

 private:
  // Offset of the field inside the table, 0 when absent; fails when it overruns the table.
  uint64_t fieldOffset(int field, size_t size) const;
  // Position the offset field points to, 0 when absent or broken.
  uint64_t target(int field) const;
  // Count and first element of a vector of `elementSize` elements, checked to fit the buffer.
  uint32_t vectorExtent(int field, size_t elementSize, uint64_t* first) const;

  Reader* reader_ = nullptr;
  uint64_t position_ = 0;
  uint64_t vtable_ = 0;
  uint16_t vtableSize_ = 0;
  uint16_t tableSize_ = 0;
};

// A vector of offsets to tables.
class TableVector {
 public:
  TableVector() = default;
  TableVector(Reader* reader, uint64_t first, uint32_t count) : reader_(reader), first_(first), count_(count) {}
  uint32_t size() const { return count_; }
  Table operator[](uint32_t i) const;

 private:
  Reader* reader_ = nullptr;
  uint64_t first_ = 0;
  uint32_t count_ = 0;
};

}  // namespace platform::nn::flatbuffer
