#include "platform/nn/formats/tflite/tflite_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/errors.h"
#include "platform/nn/execution/model_runtime.h"
#include "platform/nn/formats/half.h"
#include "platform/nn/formats/tflite/flatbuffer.h"
#include "platform/nn/model.h"
#include "platform/nn/model_errors.h"
#include "platform/nn/model_files.h"

namespace platform::nn {
namespace {

std::vector<uint8_t> readBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// The smallest model of the set; its structure sits in the first and last few kilobytes.
std::vector<uint8_t> shortRangeFaceModel() {
  std::vector<uint8_t> bytes = readBytes(modelPath("face_detection_short_range.tflite"));
  EXPECT_GT(bytes.size(), 100000u) << "run scripts/setup.sh to fetch the models";
  return bytes;
}

TEST(TfliteReaderTest, ReadsARealModel) {
  auto graph = readTfliteModel(shortRangeFaceModel());
  ASSERT_TRUE(graph.ok()) << graph.error().description;
  const Graph& g = graph.value();
  ASSERT_EQ(g.inputs.size(), 1u);
  EXPECT_EQ(g.tensors[g.inputs[0]].name, "input");
  EXPECT_EQ(g.tensors[g.inputs[0]].shape, (std::vector<int>{1, 128, 128, 3}));
  ASSERT_EQ(g.outputs.size(), 2u);
  EXPECT_EQ(g.tensors[g.outputs[0]].name, "regressors");
  EXPECT_EQ(g.tensors[g.outputs[0]].shape, (std::vector<int>{1, 896, 16}));
  // float16 weights arrive widened, with a DEQUANTIZE to fold at load.
  size_t dequantize = 0;
  for (const Operation& op : g.operations) dequantize += op.type == OpType::dequantize;
  EXPECT_GT(dequantize, 0u);
}

// The attention face mesh keeps the options of its custom operators in FlexBuffers maps.
TEST(TfliteReaderTest, ReadsTheOptionsOfTheLandmarkCropOperators) {
  auto graph = readTfliteFile(modelPath("face_landmark_with_attention.tflite"));
  ASSERT_TRUE(graph.ok()) << graph.error().description;
  std::vector<const Operation*> crops, samplings, landmarks, slices;
  for (const Operation& op : graph.value().operations) {
    if (op.type == OpType::landmarksToTransformMatrix) crops.push_back(&op);
    if (op.type == OpType::transformTensorBilinear) samplings.push_back(&op);
    if (op.type == OpType::transformLandmarks) landmarks.push_back(&op);
    if (op.type == OpType::stridedSlice) slices.push_back(&op);
  }
  ASSERT_EQ(crops.size(), 3u);  // the lips, then each eye
  EXPECT_EQ(samplings.size(), 3u);
  EXPECT_EQ(landmarks.size(), 5u);
  EXPECT_EQ(slices.size(), 1u);
  const LandmarkCrop& lips = crops[0]->options.crop;
  EXPECT_EQ(lips.subset.size(), 80u);
  EXPECT_EQ(lips.subset.front(), 61);
  EXPECT_EQ(lips.leftIndex, 61);  // the mouth's corners level the crop
  EXPECT_EQ(lips.rightIndex, 291);
  EXPECT_FLOAT_EQ(lips.scaleX, 1.5f);
  EXPECT_FLOAT_EQ(lips.scaleY, 1.5f);
  EXPECT_EQ(lips.outputHeight, 16);
  EXPECT_EQ(lips.outputWidth, 16);
  EXPECT_EQ(lips.targetRotation, 0.0f);
  EXPECT_EQ(crops[1]->options.crop.subset.size(), 71u);
  EXPECT_EQ(crops[1]->options.crop.leftIndex, 33);
  EXPECT_EQ(samplings[0]->options.crop.outputHeight, 16);
  EXPECT_EQ(samplings[0]->options.crop.outputWidth, 16);
}

TEST(TfliteReaderTest, WidensHalfPrecision) {
  struct Case {
    uint16_t half;
    float value;
  };
  const Case cases[] = {{0x3c00, 1.0f},          {0xc000, -2.0f},         {0x7bff, 65504.0f},
                        {0x0001, 5.9604645e-8f}, {0x03ff, 6.0975552e-5f}, {0x3555, 0.33325195f},
                        {0x0000, 0.0f},          {0x7c00, INFINITY},      {0xfc00, -INFINITY}};
  for (const Case& c : cases) EXPECT_EQ(halfToFloat(c.half), c.value) << std::hex << c.half;
  EXPECT_TRUE(std::isnan(halfToFloat(0x7e00)));
  EXPECT_TRUE(std::signbit(halfToFloat(0x8000)));
}

TEST(TfliteReaderTest, ExplainsFilesThatAreNoModel) {
  std::vector<uint8_t> model = shortRangeFaceModel();
  std::vector<uint8_t> otherIdentifier = model;
  std::memcpy(otherIdentifier.data() + 4, "XYZ3", 4);
  const std::vector<uint8_t> text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'};
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* message;
  };
  const Case cases[] = {
      {"empty", {}, "too short"},
      {"three bytes", {1, 2, 3}, "too short"},
      {"text", text, "outside the file"},
      {"other identifier", otherIdentifier, "not a TensorFlow Lite model"},
      {"first kilobyte", std::vector<uint8_t>(model.begin(), model.begin() + 1024), "outside the file"},
  };
  for (const Case& c : cases) {
    auto graph = readTfliteModel(c.bytes);
    ASSERT_FALSE(graph.ok()) << c.name;
    EXPECT_EQ(graph.error().domain, kModelDomain) << c.name;
    EXPECT_EQ(graph.error().code, static_cast<int64_t>(ModelError::malformed)) << c.name;
    EXPECT_NE(graph.error().description.find(c.message), std::string::npos)
        << c.name << ": " << graph.error().description;
  }
}

TEST(TfliteReaderTest, NamesAnOperatorItDoesNotKnow) {
  const std::vector<uint8_t> original = shortRangeFaceModel();
  flatbuffer::Reader reader(original);
  flatbuffer::Table code = reader.root().tables(1)[0];
  const uint64_t small = code.fieldPosition(0, 1);
  const uint64_t wide = code.fieldPosition(3, 4);
  ASSERT_FALSE(reader.failed());
  ASSERT_TRUE(small != 0 || wide != 0);
  struct Case {
    int32_t code;
    const char* message;
  };
  const Case cases[] = {
      {25, "unsupported operator: SOFTMAX"},  // the runtime's softmax is not read from .tflite files
      {41, "unsupported operator: SUB"},
      {127, "unsupported operator: builtin operator 127"},  // newer than the names the reader knows
  };
  for (const Case& c : cases) {
    // The first operator code, in both places the schema keeps it.
    std::vector<uint8_t> bytes = original;
    if (small != 0) bytes[small] = static_cast<uint8_t>(c.code);
    if (wide != 0) std::memcpy(bytes.data() + wide, &c.code, 4);
    auto graph = readTfliteModel(bytes);
    ASSERT_FALSE(graph.ok()) << c.code;
    EXPECT_EQ(graph.error().description, c.message);
    EXPECT_EQ(graph.error().code, static_cast<int64_t>(ModelError::unsupported));
  }
}

TEST(TfliteReaderTest, MissingFileIsAnError) {
  auto model = Model::load("/nonexistent/model.tflite");
  ASSERT_FALSE(model.ok());
  EXPECT_EQ(model.error().domain, kModelDomain);
  EXPECT_EQ(model.error().code, static_cast<int64_t>(ModelError::unreadableFile));
  EXPECT_NE(model.error().description.find("cannot open"), std::string::npos);
}

// Fuzz-style: truncations and byte flips of a real model never crash (run it under the
// sanitizers); whatever still loads also runs.
TEST(TfliteReaderTest, SurvivesTruncationsAndByteFlips) {
  const std::vector<uint8_t> original = shortRangeFaceModel();
  std::mt19937 rng(20240611);
  size_t loaded = 0, rejected = 0;
  auto attempt = [&](const std::vector<uint8_t>& bytes) {
    auto graph = readTfliteModel(bytes);
    if (!graph.ok()) {
      EXPECT_FALSE(graph.error().description.empty());
      ++rejected;
      return;
    }
    auto model = buildModel(std::move(graph.value()), Threads::one);
    if (!model.ok()) {
      ++rejected;
      return;
    }
    ++loaded;
    EXPECT_TRUE(model.value()->run().ok());
  };

  std::uniform_int_distribution<size_t> anywhere(0, original.size() - 1);
  for (int i = 0; i < 60; ++i) {
    size_t length = i < 20 ? static_cast<size_t>(i) : anywhere(rng);
    attempt(std::vector<uint8_t>(original.begin(), original.begin() + length));
  }
  // Flips aimed mostly at the structure (the first 2 KiB and last 16 KiB), some at the weights.
  std::uniform_int_distribution<size_t> head(0, 2047), tail(original.size() - 16384, original.size() - 1);
  std::uniform_int_distribution<int> byte(0, 255), flips(1, 8), where(0, 9);
  for (int i = 0; i < 400; ++i) {
    std::vector<uint8_t> bytes = original;
    for (int f = flips(rng); f > 0; --f) {
      int w = where(rng);
      size_t position = w < 4 ? head(rng) : w < 9 ? tail(rng) : anywhere(rng);
      bytes[position] = static_cast<uint8_t>(byte(rng));
    }
    attempt(bytes);
  }
  EXPECT_GT(rejected, 100u);
  EXPECT_GT(loaded, 0u);
}

// Flips inside the FlexBuffers options of the attention mesh's custom operators: each flipped
// model is refused or loads and runs, and never reads outside its tensors.
TEST(TfliteReaderTest, SurvivesDamagedCustomOptions) {
  const std::vector<uint8_t> original = readBytes(modelPath("face_landmark_with_attention.tflite"));
  ASSERT_GT(original.size(), 1000000u) << "run scripts/setup.sh to fetch the models";
  // Where each custom operator's options lie in the file.
  std::vector<std::pair<size_t, size_t>> options;
  flatbuffer::Reader reader(original);
  auto operators = reader.root().tables(2)[0].tables(3);
  for (uint32_t i = 0; i < operators.size(); ++i) {
    auto bytes = operators[i].vector<uint8_t>(5);
    if (!bytes.empty()) options.push_back({size_t(bytes.bytes() - original.data()), bytes.size()});
  }
  ASSERT_FALSE(reader.failed());
  ASSERT_EQ(options.size(), 6u);  // the crops and samplings; carrying landmarks back needs none
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> byte(0, 255);
  size_t loaded = 0, rejected = 0;
  for (int i = 0; i < 60; ++i) {
    std::vector<uint8_t> bytes = original;
    for (int f = 0; f < 2; ++f) {
      auto [first, size] = options[std::uniform_int_distribution<size_t>(0, options.size() - 1)(rng)];
      bytes[first + std::uniform_int_distribution<size_t>(0, size - 1)(rng)] = static_cast<uint8_t>(byte(rng));
    }
    auto graph = readTfliteModel(bytes);
    auto model =
        graph.ok() ? buildModel(std::move(graph.value()), Threads::one) : Result<std::unique_ptr<Model>>(graph.error());
    if (!model.ok()) {
      EXPECT_FALSE(model.error().description.empty());
      ++rejected;
      continue;
    }
    ++loaded;
    EXPECT_TRUE(model.value()->run().ok());
  }
  EXPECT_GT(rejected, 0u);
  EXPECT_GT(loaded, 0u);
}

}  // namespace
}  // namespace platform::nn
