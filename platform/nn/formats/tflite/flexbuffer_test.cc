// FlexBuffers maps laid out byte by byte as the format lays them out, in every value width, then
// damaged: the options of custom operators come from files we do not control.
#include "platform/nn/formats/tflite/flexbuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <variant>

namespace platform::nn::flexbuffer {
namespace {

struct IntVector {
  std::vector<int64_t> values;
  uint32_t width;
};
using Entry = std::pair<std::string, std::variant<int64_t, double, IntVector>>;

constexpr uint8_t kInt = 1, kFloat = 3, kMap = 9, kVectorInt = 11;

uint8_t widthBits(uint32_t width) { return width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3; }

void put(std::vector<uint8_t>& bytes, uint64_t value, uint32_t width) {
  for (uint32_t i = 0; i < width; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void align(std::vector<uint8_t>& bytes, uint32_t width) {
  while (bytes.size() % width != 0) bytes.push_back(0);
}

// A map of `entries` (sorted by key, as the format wants) whose values are `width` bytes wide:
// key strings, vectors, the keys vector, the values with their type bytes, then the root.
std::vector<uint8_t> mapBytes(const std::vector<Entry>& entries, uint32_t width) {
  std::vector<uint8_t> bytes;
  std::vector<uint64_t> keys, vectors(entries.size(), 0);
  for (const Entry& e : entries) {
    keys.push_back(bytes.size());
    bytes.insert(bytes.end(), e.first.begin(), e.first.end());
    bytes.push_back(0);
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    if (const IntVector* v = std::get_if<IntVector>(&entries[i].second)) {
      align(bytes, v->width);
      put(bytes, v->values.size(), v->width);
      vectors[i] = bytes.size();
      for (int64_t value : v->values) put(bytes, static_cast<uint64_t>(value), v->width);
    }
  }
  put(bytes, keys.size(), 1);
  const uint64_t keyVector = bytes.size();
  for (size_t i = 0; i < keys.size(); ++i) put(bytes, bytes.size() - keys[i], 1);
  align(bytes, width);
  put(bytes, bytes.size() - keyVector, width);
  put(bytes, 1, width);  // key width
  put(bytes, entries.size(), width);
  const uint64_t values = bytes.size();
  std::vector<uint8_t> types;
  for (size_t i = 0; i < entries.size(); ++i) {
    const auto& value = entries[i].second;
    if (const int64_t* whole = std::get_if<int64_t>(&value)) {
      put(bytes, static_cast<uint64_t>(*whole), width);
      types.push_back(kInt << 2 | widthBits(width));
    } else if (const double* number = std::get_if<double>(&value)) {
      uint64_t raw = 0;
      if (width == 4) {
        float f = static_cast<float>(*number);
        std::memcpy(&raw, &f, 4);
      } else {
        std::memcpy(&raw, number, 8);
      }
      put(bytes, raw, width);
      types.push_back(kFloat << 2 | widthBits(width));
    } else {
      put(bytes, bytes.size() - vectors[i], width);
      types.push_back(kVectorInt << 2 | widthBits(std::get<IntVector>(value).width));
    }
  }
  bytes.insert(bytes.end(), types.begin(), types.end());
  const uint64_t root = bytes.size();
  put(bytes, root - values, width);
  bytes.push_back(kMap << 2 | widthBits(width));
  bytes.push_back(static_cast<uint8_t>(width));
  return bytes;
}

const std::vector<Entry> kOptions = {
    {"left", int64_t{61}},
    {"negative", int64_t{-3}},
    {"scale", 1.5},
    {"subset", IntVector{{33, 7, -2, 300, 133}, 2}},
};

TEST(FlexbufferTest, ReadsEachKindInEveryWidth) {
  for (uint32_t width : {4u, 8u}) {
    std::vector<uint8_t> bytes = mapBytes(kOptions, width);
    std::optional<Map> map = Map::root(bytes);
    ASSERT_TRUE(map) << width;
    EXPECT_EQ(map->integer("left"), 61) << width;
    EXPECT_EQ(map->integer("negative"), -3) << width;
    EXPECT_EQ(map->number("scale"), 1.5) << width;
    EXPECT_EQ(map->number("left"), 61.0) << "integers read as numbers too";
    EXPECT_EQ(map->integers("subset"), (std::vector<int64_t>{33, 7, -2, 300, 133})) << width;
  }
  // Narrow values hold small integers; vectors of every element width.
  for (uint32_t width : {1u, 2u}) {
    const std::vector<uint8_t> bytes = mapBytes({{"a", int64_t{-7}}, {"b", IntVector{{1, -1}, width}}}, width);
    std::optional<Map> map = Map::root(bytes);
    ASSERT_TRUE(map) << width;
    EXPECT_EQ(map->integer("a"), -7) << width;
    EXPECT_EQ(map->integers("b"), (std::vector<int64_t>{1, -1})) << width;
  }
  const std::vector<uint8_t> bytes = mapBytes({{"v", IntVector{{int64_t{1} << 40}, 8}}}, 4);
  std::optional<Map> wide = Map::root(bytes);
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->integers("v"), (std::vector<int64_t>{int64_t{1} << 40}));
}

TEST(FlexbufferTest, MissingKeysAndOtherKindsReadAsNothing) {
  const std::vector<uint8_t> bytes = mapBytes(kOptions, 4);
  std::optional<Map> map = Map::root(bytes);
  ASSERT_TRUE(map);
  EXPECT_FALSE(map->integer("absent"));
  EXPECT_FALSE(map->integer("lef")) << "a prefix of a key is another key";
  EXPECT_FALSE(map->integer("scale"));
  EXPECT_FALSE(map->integers("left"));
  EXPECT_FALSE(map->number("subset"));
}

TEST(FlexbufferTest, RefusesWhatIsNoMap) {
  const std::vector<std::vector<uint8_t>> cases = {
      {},
      {1, 2},
      {0, 0, 0, 0},         // width 0
      {5, 0, 1 << 2, 1},    // an integer at the root
      {200, kMap << 2, 1},  // an offset past the start
  };
  for (const auto& bytes : cases) EXPECT_FALSE(Map::root(bytes)) << bytes.size();
}

// Truncated and flipped maps never read outside their bytes (run it under the sanitizers).
TEST(FlexbufferTest, SurvivesTruncationsAndByteFlips) {
  const std::vector<uint8_t> original = mapBytes(kOptions, 4);
  auto readAll = [](const std::vector<uint8_t>& bytes) {
    // A copy of exactly this size, so that the sanitizers see any read past its end.
    std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), exact.get());
    std::optional<Map> map = Map::root(std::span<const uint8_t>(exact.get(), bytes.size()));
    if (!map) return;
    for (const char* key : {"left", "negative", "scale", "subset"}) {
      (void)map->integer(key);
      (void)map->number(key);
      (void)map->integers(key);
    }
  };
  for (size_t cut = 0; cut < original.size(); ++cut) {
    readAll(std::vector<uint8_t>(original.begin() + cut, original.end()));
    readAll(std::vector<uint8_t>(original.begin(), original.begin() + cut));
  }
  std::mt19937 rng(12);
  std::uniform_int_distribution<size_t> where(0, original.size() - 1);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int i = 0; i < 2000; ++i) {
    std::vector<uint8_t> bytes = original;
    bytes[where(rng)] = static_cast<uint8_t>(byte(rng));
    bytes[where(rng)] = static_cast<uint8_t>(byte(rng));
    readAll(bytes);
  }
}

}  // namespace
}  // namespace platform::nn::flexbuffer
