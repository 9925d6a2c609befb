#include "platform/vision/faces/canonical_face.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/nn/model_files.h"
#include "platform/vision/faces/face_errors.h"

namespace platform::vision {

namespace {

Error malformed(const std::string& why) {
  return faceError(FaceError::modelUnavailable, "The canonical face data is malformed: " + why);
}

// Just enough of the protocol buffer wire format for this one message.
class WireReader {
 public:
  explicit WireReader(std::string_view bytes) : bytes_(bytes) {}

  bool done() const { return position_ >= bytes_.size(); }

  std::optional<uint64_t> varint() {
    uint64_t value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      if (done()) return std::nullopt;
      const uint8_t byte = static_cast<uint8_t>(bytes_[position_++]);
      value |= static_cast<uint64_t>(byte & 0x7f) << shift;
      if ((byte & 0x80) == 0) return value;
    }
    return std::nullopt;
  }

  std::optional<float> fixed32Float() {
    if (bytes_.size() - position_ < 4) return std::nullopt;
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(static_cast<uint8_t>(bytes_[position_ + i])) << (8 * i);
    position_ += 4;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

  std::optional<std::string_view> lengthDelimited() {
    const std::optional<uint64_t> length = varint();
    if (!length || *length > bytes_.size() - position_) return std::nullopt;
    const std::string_view field = bytes_.substr(position_, *length);
    position_ += *length;
    return field;
  }

  // Skips a field of the given wire type; false when that cannot be done.
  bool skip(uint64_t wireType) {
    switch (wireType) {
      case 0:
        return varint().has_value();
      case 1:
        return advance(8);
      case 2:
        return lengthDelimited().has_value();
      case 5:
        return advance(4);
      default:
        return false;
    }
  }

 private:
  bool advance(size_t count) {
    if (bytes_.size() - position_ < count) return false;
    position_ += count;
    return true;
  }

  std::string_view bytes_;
  size_t position_ = 0;
};

constexpr int kFloatsPerVertex = 5;  // x, y, z, u, v

// Mesh3d: field 3 holds the vertex floats, packed or one by one; the rest is skipped.
Result<void> readMesh(std::string_view bytes, std::vector<float>& floats) {
  WireReader reader(bytes);
  while (!reader.done()) {
    const std::optional<uint64_t> key = reader.varint();
    if (!key) return malformed("a mesh field is cut short");
    const uint64_t field = *key >> 3, wireType = *key & 7;
    if (field == 3 && wireType == 5) {
      const std::optional<float> value = reader.fixed32Float();
      if (!value) return malformed("a vertex value is cut short");
      floats.push_back(*value);
    } else if (field == 3 && wireType == 2) {
      const std::optional<std::string_view> packed = reader.lengthDelimited();
      if (!packed || packed->size() % 4 != 0) return malformed("packed vertex values are cut short");
      WireReader values(*packed);
      while (!values.done()) floats.push_back(*values.fixed32Float());
    } else if (!reader.skip(wireType)) {
      return malformed("a mesh field cannot be read");
    }
  }
  return {};
}

// WeightedLandmarkRef: field 1 the landmark id, field 2 its weight.
Result<void> readReference(std::string_view bytes, std::vector<std::pair<uint64_t, float>>& references) {
  WireReader reader(bytes);
  uint64_t id = 0;
  float weight = 0;
  while (!reader.done()) {
    const std::optional<uint64_t> key = reader.varint();
    if (!key) return malformed("a landmark reference is cut short");
    const uint64_t field = *key >> 3, wireType = *key & 7;
    if (field == 1 && wireType == 0) {
      const std::optional<uint64_t> value = reader.varint();
      if (!value) return malformed("a landmark id is cut short");
      id = *value;
    } else if (field == 2 && wireType == 5) {
      const std::optional<float> value = reader.fixed32Float();
      if (!value) return malformed("a landmark weight is cut short");
      weight = *value;
    } else if (!reader.skip(wireType)) {
      return malformed("a landmark reference field cannot be read");
    }
  }
  references.emplace_back(id, weight);
  return {};
}

}  // namespace

Result<CanonicalFace> parseCanonicalFace(std::string_view bytes) {
  std::vector<float> floats;
  std::vector<std::pair<uint64_t, float>> references;
  WireReader reader(bytes);
  while (!reader.done()) {
    const std::optional<uint64_t> key = reader.varint();
    if (!key) return malformed("a field is cut short");
    const uint64_t field = *key >> 3, wireType = *key & 7;
    if ((field == 1 || field == 2) && wireType == 2) {
      const std::optional<std::string_view> message = reader.lengthDelimited();
      if (!message) return malformed("a nested message is cut short");
      const Result<void> read = field == 1 ? readMesh(*message, floats) : readReference(*message, references);
      if (!read) return read.error();
    } else if (!reader.skip(wireType)) {
      return malformed("a field cannot be read");
    }
  }
  if (floats.empty() || floats.size() % kFloatsPerVertex != 0)
    return malformed("the mesh is not made of whole vertices");
  CanonicalFace face;
  for (size_t i = 0; i < floats.size(); i += kFloatsPerVertex) {
    if (!std::isfinite(floats[i]) || !std::isfinite(floats[i + 1]) || !std::isfinite(floats[i + 2])) {
      return malformed("a vertex coordinate is not finite");
    }
    face.vertices.push_back({floats[i], floats[i + 1], floats[i + 2]});
  }
  face.weights.assign(face.vertices.size(), 0.0);
  for (const auto& [id, weight] : references) {
    if (id >= face.vertices.size())
      return malformed("a landmark reference names vertex " + std::to_string(id) + ", which does not exist");
    if (!std::isfinite(weight) || weight < 0) return malformed("a landmark weight is negative or not finite");
    face.weights[id] = weight;
  }
  return face;
}

Result<CanonicalFace> loadCanonicalFace(const std::string& path) {
  // Read as the models are: a FIFO or a device in its place is refused, not waited on.
  const Result<std::vector<uint8_t>> bytes = nn::readModelBytes(path);
  if (!bytes) {
    return faceError(FaceError::modelUnavailable,
                     "The canonical face data could not be read from " + path + ": " + bytes.error().description);
  }
  return parseCanonicalFace(std::string(bytes.value().begin(), bytes.value().end()));
}

}  // namespace platform::vision
