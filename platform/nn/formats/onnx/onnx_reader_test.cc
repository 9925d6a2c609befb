// The ONNX reader against damaged bytes, and the translation into a graph against ONNX's own
// meaning of small models (worked out here in ONNX's [n, c, h, w] layout) and against the real
// text recognition model.
#include "platform/nn/formats/onnx/onnx_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "platform/nn/execution/model_runtime.h"
#include "platform/nn/formats/onnx/onnx_translation.h"
#include "platform/nn/model.h"
#include "platform/nn/model_errors.h"
#include "platform/nn/model_files.h"
#include "platform/nn/testing/onnx_test_models.h"

namespace platform::nn {
namespace {

using namespace testing;

std::vector<float> ramp(size_t count, float start, float step) {
  std::vector<float> v(count);
  for (size_t i = 0; i < count; ++i) v[i] = start + step * float(i);
  return v;
}

// Conv (3x3, padding 1, bias), BatchNormalization, Relu on a [1, 2, 3, 3] picture.
struct ConvModel {
  std::vector<float> weights = ramp(3 * 2 * 9, -0.5f, 0.02f);
  std::vector<float> bias = {0.1f, -0.2f, 0.3f};
  std::vector<float> scale = {1.5f, 0.5f, 2.0f}, shift = {0.1f, 0.0f, -0.1f}, mean = {0.2f, -0.1f, 0.0f},
                     variance = {1.0f, 4.0f, 0.25f};
  std::vector<uint8_t> bytes() const {
    return modelBytes({constantNode("w", floatTensor("w", {3, 2, 3, 3}, weights)),
                       node("Conv", {"x", "w", "b"}, {"c"},
                            {intsAttribute("pads", {1, 1, 1, 1}), intsAttribute("kernel_shape", {3, 3})}),
                       node("BatchNormalization", {"c", "s", "t", "m", "v"}, {"n"}, {floatAttribute("epsilon", 1e-5f)}),
                       node("Relu", {"n"}, {"y"})},
                      {valueInfo("x", {-1, 2, -1, -1})}, {valueInfo("y", {-1, 3, -1, -1})}, 11,
                      {floatTensor("b", {3}, bias), floatTensor("s", {3}, scale), floatTensor("t", {3}, shift),
                       floatTensor("m", {3}, mean), floatTensor("v", {3}, variance)});
  }
  // ONNX's meaning, in [n, c, h, w].
  std::vector<float> expected(const std::vector<float>& x) const {
    std::vector<float> out(3 * 9);
    for (int o = 0; o < 3; ++o)
      for (int y = 0; y < 3; ++y)
        for (int xx = 0; xx < 3; ++xx) {
          double sum = bias[o];
          for (int c = 0; c < 2; ++c)
            for (int ky = 0; ky < 3; ++ky)
              for (int kx = 0; kx < 3; ++kx) {
                int iy = y + ky - 1, ix = xx + kx - 1;
                if (iy < 0 || iy > 2 || ix < 0 || ix > 2) continue;
                sum += x[(c * 3 + iy) * 3 + ix] * weights[((o * 2 + c) * 3 + ky) * 3 + kx];
              }
          double normal = (sum - mean[o]) / std::sqrt(variance[o] + 1e-5) * scale[o] + shift[o];
          out[(o * 3 + y) * 3 + xx] = static_cast<float>(std::max(normal, 0.0));
        }
    return out;
  }
};

// Runs the graph on one input given in ONNX's layout; 4-D inputs are handed over channels-last.
std::vector<float> run(const Graph& graph, const std::vector<float>& nchw, const std::vector<int>& dims) {
  auto model = buildModel(graph, Threads::one);
  EXPECT_TRUE(model.ok()) << model.error().description;
  if (!model.ok()) return {};
  float* in = model.value()->input(0);
  if (dims.size() == 4) {
    int c = dims[1], h = dims[2], w = dims[3];
    for (int ch = 0; ch < c; ++ch)
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) in[(y * w + x) * c + ch] = nchw[(ch * h + y) * w + x];
  } else {
    std::copy(nchw.begin(), nchw.end(), in);
  }
  EXPECT_TRUE(model.value()->run().ok());
  const float* out = model.value()->output(0);
  return std::vector<float>(out, out + model.value()->outputShape(0).elementCount());
}

Result<Graph> translated(const std::vector<uint8_t>& bytes, const std::vector<int>& shape) {
  Result<OnnxModel> model = readOnnxModel(bytes);
  if (!model.ok()) return model.error();
  return translateOnnx(model.value(), {shape});
}

void expectNear(const std::vector<float>& got, const std::vector<float>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-4f + 1e-4f * std::fabs(want[i])) << i;
}

TEST(OnnxTranslationTest, ConvolutionWithNormalisationAndReluBecomesOneOperation) {
  ConvModel m;
  Result<Graph> graph = translated(m.bytes(), {1, 2, 3, 3});
  ASSERT_TRUE(graph.ok()) << graph.error().description;
  ASSERT_EQ(graph.value().operations.size(), 1u);
  EXPECT_EQ(graph.value().operations[0].type, OpType::conv2d);
  EXPECT_EQ(graph.value().tensors[graph.value().outputs[0]].shape, (std::vector<int>{1, 3, 3, 3}));
  std::vector<float> x = ramp(18, -0.8f, 0.1f);
  std::vector<float> got = run(graph.value(), x, {1, 2, 3, 3});
  std::vector<float> want = m.expected(x);
  // The output comes channels-last.
  std::vector<float> wantChannelsLast(want.size());
  for (int o = 0; o < 3; ++o)
    for (int p = 0; p < 9; ++p) wantChannelsLast[p * 3 + o] = want[o * 9 + p];
  expectNear(got, wantChannelsLast);
}

TEST(OnnxTranslationTest, ReshapeAndTransposeSeeOnnxLayoutOfChannelsLastData) {
  // x [1, 2, 2, 3] -> [1, 2, 6] -> [1, 6, 2] -> MatMul [2, 3] + bias -> Softmax over the last axis.
  std::vector<float> w = {0.5f, -1.0f, 0.25f, 1.5f, 0.75f, -0.5f};
  std::vector<float> b = {0.1f, 0.2f, -0.3f};
  std::vector<uint8_t> bytes = modelBytes(
      {node("Reshape", {"x", "shape"}, {"r"}), node("Transpose", {"r"}, {"t"}, {intsAttribute("perm", {0, 2, 1})}),
       node("MatMul", {"t", "w"}, {"m"}), node("Add", {"m", "b"}, {"a"}),
       node("Softmax", {"a"}, {"y"}, {intAttribute("axis", -1)})},
      {valueInfo("x", {1, 2, 2, 3})}, {valueInfo("y", {1, 6, 3})}, 11,
      {intTensor("shape", {3}, {1, 2, 6}), floatTensor("w", {2, 3}, w), floatTensor("b", {3}, b)});
  Result<Graph> graph = translated(bytes, {1, 2, 2, 3});
  ASSERT_TRUE(graph.ok()) << graph.error().description;
  std::vector<float> x = ramp(12, -1.0f, 0.2f);
  std::vector<float> want;
  for (int row = 0; row < 6; ++row) {
    float a[3];
    float largest = -INFINITY, sum = 0;
    for (int j = 0; j < 3; ++j) {
      a[j] = b[j] + x[row] * w[j] + x[6 + row] * w[3 + j];  // t[row][k] = x flattened [k][row]
      largest = std::max(largest, a[j]);
    }
    for (float v : a) sum += std::exp(v - largest);
    for (float v : a) want.push_back(std::exp(v - largest) / sum);
  }
  expectNear(run(graph.value(), x, {1, 2, 2, 3}), want);
}

TEST(OnnxTranslationTest, ArithmeticOnShapesIsFolded) {
  // Reshape(x, Concat(Slice(Shape(x), 0, 2), [-1])): [1, 3, 2, 2] -> [1, 3, 4], in ONNX's order.
  std::vector<uint8_t> bytes = modelBytes(
      {node("Shape", {"x"}, {"s"}), node("Slice", {"s", "zero", "two"}, {"head"}),
       node("Cast", {"head"}, {"cast"}, {intAttribute("to", 7)}),
       node("Concat", {"cast", "rest"}, {"shape"}, {intAttribute("axis", 0)}), node("Reshape", {"x", "shape"}, {"y"})},
      {valueInfo("x", {1, 3, -1, -1})}, {valueInfo("y", {1, 3, -1})}, 11,
      {intTensor("zero", {1}, {0}), intTensor("two", {1}, {2}), intTensor("rest", {1}, {-1})});
  Result<Graph> graph = translated(bytes, {1, 3, 2, 2});
  ASSERT_TRUE(graph.ok()) << graph.error().description;
  EXPECT_EQ(graph.value().tensors[graph.value().outputs[0]].shape, (std::vector<int>{1, 3, 4}));
  std::vector<float> x = ramp(12, 0.0f, 1.0f);
  expectNear(run(graph.value(), x, {1, 3, 2, 2}), x);
}

TEST(OnnxTranslationTest, HardSwishAndLayerNormSpelledOutBecomeOneOperationEach) {
  std::vector<float> gamma = {1.0f, 2.0f, 0.5f, -1.0f}, beta = {0.0f, 0.1f, -0.2f, 0.3f};
  std::vector<uint8_t> bytes =
      modelBytes({node("Add", {"x", "three"}, {"a"}), node("Clip", {"a", "zero", "six"}, {"c"}),
                  node("Mul", {"x", "c"}, {"m"}), node("Div", {"m", "six"}, {"h"}),
                  node("ReduceMean", {"h"}, {"mean"}, {intsAttribute("axes", {-1})}), node("Sub", {"h", "mean"}, {"d"}),
                  node("Pow", {"d", "two"}, {"p"}), node("ReduceMean", {"p"}, {"var"}, {intsAttribute("axes", {-1})}),
                  node("Add", {"var", "eps"}, {"ve"}), node("Sqrt", {"ve"}, {"sd"}), node("Div", {"d", "sd"}, {"n"}),
                  node("Mul", {"n", "gamma"}, {"g"}), node("Add", {"g", "beta"}, {"y"})},
                 {valueInfo("x", {2, 4})}, {valueInfo("y", {2, 4})}, 11,
                 {floatTensor("three", {}, {3.0f}), floatTensor("zero", {}, {0.0f}), floatTensor("six", {}, {6.0f}),
                  floatTensor("two", {}, {2.0f}), floatTensor("eps", {}, {1e-5f}), floatTensor("gamma", {4}, gamma),
                  floatTensor("beta", {4}, beta)});
  Result<Graph> graph = translated(bytes, {2, 4});
  ASSERT_TRUE(graph.ok()) << graph.error().description;
  ASSERT_EQ(graph.value().operations.size(), 2u);
  EXPECT_EQ(graph.value().operations[0].type, OpType::hardSwish);
  EXPECT_EQ(graph.value().operations[1].type, OpType::layerNorm);
  std::vector<float> x = {-4.0f, -1.0f, 0.5f, 2.0f, 3.5f, 0.0f, -0.5f, 1.0f};
  std::vector<float> want;
  for (int row = 0; row < 2; ++row) {
    double h[4], mean = 0, variance = 0;
    for (int i = 0; i < 4; ++i) {
      double v = x[row * 4 + i];
      h[i] = v * std::clamp(v + 3, 0.0, 6.0) / 6;
      mean += h[i] / 4;
    }
    for (double v : h) variance += (v - mean) * (v - mean) / 4;
    for (int i = 0; i < 4; ++i) want.push_back(float((h[i] - mean) / std::sqrt(variance + 1e-5) * gamma[i] + beta[i]));
  }
  expectNear(run(graph.value(), x, {2, 4}), want);
}

TEST(OnnxTranslationTest, RefusesWhatItCannotRunAndNamesIt) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    std::vector<int> shape;
    ModelError code;
    const char* mentions;
  };
  std::vector<Proto> in = {valueInfo("x", {1, 2, -1, -1})};
  std::vector<Proto> out = {valueInfo("y", {1, 2, -1, -1})};
  const Case cases[] = {
      {"an unknown operator",
       modelBytes({node("Frobnicate", {"x"}, {"y"})}, in, out),
       {1, 2, 4, 4},
       ModelError::unsupported,
       "Frobnicate"},
      {"an input of the wrong channel count", ConvModel().bytes(), {1, 4, 3, 3}, ModelError::invalidInputs, "'x'"},
      {"an input of the wrong rank", ConvModel().bytes(), {1, 2, 3}, ModelError::invalidInputs, "'x'"},
      {"a value read before it is made",
       modelBytes({node("Relu", {"nothing"}, {"y"})}, in, out),
       {1, 2, 4, 4},
       ModelError::malformed,
       "nothing"},
      {"a grouped convolution",
       modelBytes({constantNode("w", floatTensor("w", {2, 1, 1, 1}, {1, 1})),
                   node("Conv", {"x", "w"}, {"y"}, {intAttribute("group", 2), intsAttribute("kernel_shape", {1, 1})}),
                   node("Relu", {"y"}, {"z"})},
                  {valueInfo("x", {1, 4, -1, -1})}, {valueInfo("z", {1, 2, -1, -1})}),
       {1, 4, 2, 2},
       ModelError::unsupported,
       "grouped"},
      {"a bilinear resize",
       modelBytes({node("Resize", {"x", "", "scales"}, {"y"}, {textAttribute("mode", "linear")})}, in, out, 11,
                  {floatTensor("scales", {4}, {1, 1, 2, 2})}),
       {1, 2, 4, 4},
       ModelError::unsupported,
       "nearest"},
  };
  for (const Case& c : cases) {
    Result<Graph> graph = translated(c.bytes, c.shape);
    ASSERT_FALSE(graph.ok()) << c.name;
    EXPECT_EQ(graph.error().domain, kModelDomain) << c.name;
    EXPECT_EQ(graph.error().code, static_cast<int64_t>(c.code)) << c.name << ": " << graph.error().description;
    EXPECT_NE(graph.error().description.find(c.mentions), std::string::npos) << graph.error().description;
  }
}

TEST(OnnxReaderTest, DamagedBytesGiveErrorsNamingTheDamage) {
  struct Case {
    const char* name;
    std::string bytes;
    ModelError code;
  };
  Proto rawOfWrongSize = Proto().packedInts(1, {2}).integer(2, 1).text(8, "w").text(9, "abc");
  Proto external = Proto().packedInts(1, {1}).integer(2, 1).text(8, "w").integer(14 - 1, 1);
  Proto hugeDims = Proto().packedInts(1, {1 << 20, 1 << 20}).integer(2, 1).text(8, "w");
  Proto strings = Proto().packedInts(1, {1}).integer(2, 8).text(8, "w");
  auto withConstant = [](const Proto& tensor) {
    std::vector<uint8_t> b = modelBytes({constantNode("c", tensor), node("Add", {"x", "c"}, {"y"})},
                                        {valueInfo("x", {1})}, {valueInfo("y", {1})});
    return std::string(b.begin(), b.end());
  };
  const std::vector<uint8_t> good = ConvModel().bytes();
  const Case cases[] = {
      {"an empty file", "", ModelError::malformed},
      {"text", "this is not a model at all", ModelError::malformed},
      {"a length past the end", std::string("\x3a\x7f", 2) + "short", ModelError::malformed},
      {"a varint of eleven bytes", std::string(11, '\xff'), ModelError::malformed},
      {"a group field", std::string("\x0b\x0c", 2), ModelError::malformed},
      {"the model cut short", std::string(good.begin(), good.begin() + good.size() / 2), ModelError::malformed},
      {"raw data of the wrong size", withConstant(rawOfWrongSize), ModelError::malformed},
      {"data kept in another file", withConstant(external), ModelError::unsupported},
      {"impossibly large dimensions", withConstant(hugeDims), ModelError::malformed},
      {"strings", withConstant(strings), ModelError::unsupported},
  };
  for (const Case& c : cases) {
    Result<OnnxModel> model =
        readOnnxModel(std::span(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size()));
    ASSERT_FALSE(model.ok()) << c.name;
    EXPECT_EQ(model.error().code, static_cast<int64_t>(c.code)) << c.name << ": " << model.error().description;
  }
}

TEST(OnnxReaderTest, NoCutOrChangedByteCrashesTheReaderOrTheTranslation) {
  // Every cut of a small model, and thousands of changed bytes: each gives an error or a model
  // that the translation and the runtime then check, never a crash (the sanitizer build watches).
  const std::vector<uint8_t> good = ConvModel().bytes();
  auto attempt = [](const std::vector<uint8_t>& bytes) {
    Result<OnnxModel> model = readOnnxModel(bytes);
    if (!model.ok()) {
      EXPECT_EQ(model.error().domain, kModelDomain);
      return;
    }
    Result<Graph> graph = translateOnnx(model.value(), {{1, 2, 3, 3}});
    if (graph.ok()) (void)buildModel(std::move(graph.value()), Threads::one);
  };
  for (size_t cut = 0; cut < good.size(); ++cut) attempt(std::vector<uint8_t>(good.begin(), good.begin() + cut));
  std::mt19937 random(13);
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> bytes = good;
    for (int changes = 1 + round % 3; changes > 0; --changes) bytes[random() % bytes.size()] = uint8_t(random());
    attempt(bytes);
  }
}

TEST(OnnxReaderTest, ReadsTheTextDetector) {
  Result<OnnxModel> model = readOnnxFile(modelPath("ch_PP-OCRv4_det_infer.onnx"));
  ASSERT_TRUE(model.ok()) << model.error().description << " (run scripts/setup.sh to fetch the models)";
  EXPECT_EQ(model.value().opset, 11);
  ASSERT_EQ(model.value().inputs.size(), 1u);
  EXPECT_EQ(model.value().inputs[0].name, "x");
  EXPECT_EQ(model.value().inputs[0].dims, (std::vector<int64_t>{-1, 3, -1, -1}));
  EXPECT_GT(model.value().nodes.size(), 300u);
  Result<OnnxModel> missing = readOnnxFile(modelPath("no_such_model.onnx"));
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error().code, static_cast<int64_t>(ModelError::unreadableFile));
}

TEST(OnnxTranslationTest, TextRecogniserGivesWhatOnnxMeans) {
  // The first output value for a fixed input pattern, worked out by evaluating the ONNX graph
  // node by node in numpy (a plain reading of the operators, independent of this runtime).
  Result<OnnxModel> model = readOnnxFile(modelPath("ch_PP-OCRv4_rec_infer.onnx"));
  ASSERT_TRUE(model.ok()) << model.error().description;
  Result<Graph> graph = translateOnnx(model.value(), {{1, 3, 48, 64}});
  ASSERT_TRUE(graph.ok()) << graph.error().description;
  auto runtime = buildModel(std::move(graph.value()), Threads::one);
  ASSERT_TRUE(runtime.ok()) << runtime.error().description;
  EXPECT_EQ(runtime.value()->outputShape(0).dims, (std::vector<int>{1, 8, 6625}));
  float* in = runtime.value()->input(0);
  for (size_t i = 0; i < 48 * 64 * 3; ++i) in[i] = float((i * 7919) % 255) / 255.0f - 0.5f;
  ASSERT_TRUE(runtime.value()->run().ok());
  const float* out = runtime.value()->output(0);
  EXPECT_NEAR(out[0], 0.675992f, 2e-4f);
  EXPECT_NEAR(out[1], 0.000046f, 2e-5f);
  double sum = 0;
  for (size_t i = 0; i < 8 * 6625; ++i) sum += out[i];
  EXPECT_NEAR(sum, 8.0, 1e-3);  // eight rows of probabilities
}

}  // namespace
}  // namespace platform::nn
