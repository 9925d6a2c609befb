#include "platform/nn/formats/tflite/flatbuffer.h"

namespace platform::nn::flatbuffer {

void Reader::fail(std::string_view what) {
  if (error_.empty()) error_ = std::string(what);
}

std::string_view Reader::identifier() const {
  if (!contains(4, 4)) return {};
  return std::string_view(reinterpret_cast<const char*>(at(4)), 4);
}

Table Reader::root() {
  if (!contains(0, 4)) {
    fail("the file is too short to hold a model");
    return {};
  }
  return tableAt(load<uint32_t>(0), "root table");
}

Table Reader::tableAt(uint64_t position, std::string_view what) {
  if (!contains(position, 4)) {
    fail(std::string(what) + " lies outside the file");
    return {};
  }
  int64_t vtable = static_cast<int64_t>(position) - load<int32_t>(position);
  if (vtable < 0 || !contains(static_cast<uint64_t>(vtable), 4)) {
    fail(std::string(what) + ": field table lies outside the file");
    return {};
  }
  uint16_t vtableSize = load<uint16_t>(vtable);
  uint16_t tableSize = load<uint16_t>(vtable + 2);
  if (vtableSize < 4 || vtableSize % 2 != 0 || !contains(vtable, vtableSize) || tableSize < 4 ||
      !contains(position, tableSize)) {
    fail(std::string(what) + ": field table is damaged");
    return {};
  }
  return Table(this, position, static_cast<uint64_t>(vtable), vtableSize, tableSize);
}

uint64_t Table::fieldOffset(int field, size_t size) const {
  if (reader_ == nullptr) return 0;
  uint64_t slot = 4 + 2 * static_cast<uint64_t>(field);
  if (slot + 2 > vtableSize_) return 0;
  uint16_t offset = reader_->load<uint16_t>(vtable_ + slot);
  if (offset == 0) return 0;
  if (offset + size > tableSize_) {
    reader_->fail("a table field overruns its table");
    return 0;
  }
  return offset;
}

uint64_t Table::target(int field) const {
  uint64_t offset = fieldOffset(field, 4);
  if (offset == 0) return 0;
  uint64_t at = position_ + offset;
  uint64_t to = at + reader_->load<uint32_t>(at);
  if (!reader_->contains(to, 4)) {
    reader_->fail("a reference points outside the file");
    return 0;
  }
  return to;
}

Table Table::table(int field) const {
  uint64_t to = target(field);
  return to == 0 ? Table() : reader_->tableAt(to, "a table");
}

uint32_t Table::vectorExtent(int field, size_t elementSize, uint64_t* first) const {
  uint64_t to = target(field);
  if (to == 0) return 0;
  uint32_t count = reader_->load<uint32_t>(to);
  if (!reader_->contains(to + 4, uint64_t{count} * elementSize)) {
    reader_->fail("a list runs past the end of the file");
    return 0;
  }
  *first = to + 4;
  return count;
}

TableVector Table::tables(int field) const {
  uint64_t first = 0;
  uint32_t count = vectorExtent(field, 4, &first);
  return count == 0 ? TableVector() : TableVector(reader_, first, count);
}

std::string_view Table::string(int field) const {
  uint64_t first = 0;
  uint32_t count = vectorExtent(field, 1, &first);
  if (count == 0) return {};
  return std::string_view(reinterpret_cast<const char*>(reader_->at(first)), count);
}

Table TableVector::operator[](uint32_t i) const {
  uint64_t at = first_ + uint64_t{i} * 4;
  return reader_->tableAt(at + reader_->load<uint32_t>(at), "a list entry");
}

}  // namespace platform::nn::flatbuffer
