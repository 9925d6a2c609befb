#include "platform/vision/faces/canonical_face.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "platform/vision/faces/face_errors.h"

namespace platform::vision {
namespace {

// Protocol buffer encoding, by hand.
std::string varint(uint64_t value) {
  std::string bytes;
  do {
    uint8_t byte = value & 0x7f;
    value >>= 7;
    if (value) byte |= 0x80;
    bytes.push_back(static_cast<char>(byte));
  } while (value);
  return bytes;
}
std::string key(int field, int wireType) { return varint(static_cast<uint64_t>(field) << 3 | wireType); }
std::string fixed(float value) {
  char bytes[4];
  std::memcpy(bytes, &value, 4);
  return std::string(bytes, 4);
}
std::string message(int field, const std::string& body) { return key(field, 2) + varint(body.size()) + body; }

std::string mesh(const std::vector<float>& values, bool packed) {
  std::string body = key(1, 0) + varint(0) + key(2, 0) + varint(0);
  if (packed) {
    std::string floats;
    for (const float v : values) floats += fixed(v);
    body += message(3, floats);
  } else {
    for (const float v : values) body += key(3, 5) + fixed(v);
  }
  for (const int index : {0, 1, 1}) body += key(4, 0) + varint(index);
  return message(1, body);
}
std::string reference(uint64_t id, float weight) {
  return message(2, key(1, 0) + varint(id) + key(2, 5) + fixed(weight));
}

const std::vector<float> kTwoVertices = {1, 2, 3, 0.5f, 0.5f, -1, -2, -3, 0, 1};

TEST(CanonicalFace, ReadsVerticesAndWeightsInEitherFloatLayout) {
  for (const bool packed : {false, true}) {
    const std::string bytes =
        key(3, 0) + varint(1) + mesh(kTwoVertices, packed) + reference(1, 0.25f) + key(9, 5) + fixed(7);
    const Result<CanonicalFace> face = parseCanonicalFace(bytes);
    ASSERT_TRUE(face.ok()) << face.error().description;
    ASSERT_EQ(face.value().vertices.size(), 2u);
    EXPECT_EQ(face.value().vertices[1].x, -1);
    EXPECT_EQ(face.value().vertices[1].z, -3);
    ASSERT_EQ(face.value().weights.size(), 2u);
    EXPECT_EQ(face.value().weights[0], 0);
    EXPECT_EQ(face.value().weights[1], 0.25);
  }
}

TEST(CanonicalFace, MalformedDataIsRefusedWithAReason) {
  const std::string good = mesh(kTwoVertices, false) + reference(1, 0.25f);
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"cut short", good.substr(0, good.size() - 2)},
      {"not whole vertices", mesh({1, 2, 3, 4}, true)},
      {"a reference past the last vertex", mesh(kTwoVertices, false) + reference(2, 1)},
      {"a negative weight", mesh(kTwoVertices, false) + reference(0, -1)},
      {"an unknown wire type", good + key(7, 7)},
      {"a length past the end", good + key(5, 2) + varint(1000)},
      {"a varint that never ends", good + std::string(12, '\xff')},
  };
  for (const auto& c : cases) {
    const Result<CanonicalFace> face = parseCanonicalFace(c.bytes);
    ASSERT_FALSE(face.ok()) << c.what;
    EXPECT_EQ(face.error().domain, kFacesDomain) << c.what;
    EXPECT_EQ(face.error().code, static_cast<int64_t>(FaceError::modelUnavailable)) << c.what;
  }
  const Result<CanonicalFace> unreadable = loadCanonicalFace("/nonexistent/geometry.binarypb");
  ASSERT_FALSE(unreadable.ok());
  EXPECT_EQ(unreadable.error().domain, kFacesDomain);
  EXPECT_NE(unreadable.error().description.find("/nonexistent/geometry.binarypb"), std::string::npos);
  // A device in the file's place is refused, not read until memory runs out.
  const Result<CanonicalFace> endless = loadCanonicalFace("/dev/urandom");
  ASSERT_FALSE(endless.ok());
  EXPECT_EQ(endless.error().code, static_cast<int64_t>(FaceError::modelUnavailable));
}

}  // namespace
}  // namespace platform::vision
