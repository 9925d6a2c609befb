// Each operation run by the runtime (XNNPACK segments and own kernels) against the plain reference
// loops, on small random tensors over a table of shapes, strides and paddings.
#include "platform/nn/execution/model_runtime.h"
#include "platform/nn/model.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <cmath>
#include <functional>
#include <latch>
#include <string>
#include <thread>

#include "platform/nn/graph/graph_preparation.h"
#include "platform/nn/model_errors.h"
#include "platform/nn/reference/reference_ops.h"
#include "platform/nn/testing/reference_check.h"
#include "platform/nn/testing/test_graphs.h"

namespace platform::nn {
namespace {

using testing::expectMatchesReference;
using testing::GraphBuilder;

OpOptions conv(int stride, Padding padding, Activation activation = Activation::none, int dilation = 1) {
  OpOptions o;
  o.strideH = o.strideW = stride;
  o.padding = padding;
  o.activation = activation;
  o.dilationH = o.dilationW = dilation;
  return o;
}

OpOptions pool(int window, int stride, Padding padding) {
  OpOptions o = conv(stride, padding);
  o.filterH = o.filterW = window;
  return o;
}

struct OpCase {
  const char* name;
  std::function<int(GraphBuilder&)> build;  // returns the output tensor
};

const Padding same = Padding::same;
const Padding valid = Padding::valid;

const OpCase kCases[] = {
    {"conv_1x1",
     [](GraphBuilder& b) {
       return b.op(OpType::conv2d, {b.input({1, 5, 6, 8}), b.weights({16, 1, 1, 8}), b.weights({16})}, conv(1, valid));
     }},
    {"conv_3x3_same_stride1_relu",
     [](GraphBuilder& b) {
       return b.op(OpType::conv2d, {b.input({1, 7, 9, 3}), b.weights({8, 3, 3, 3}), b.weights({8})},
                   conv(1, same, Activation::relu));
     }},
    {"conv_3x3_same_stride2_even",
     [](GraphBuilder& b) {
       return b.op(OpType::conv2d, {b.input({1, 8, 8, 4}), b.weights({6, 3, 3, 4}), b.weights({6})}, conv(2, same));
     }},
    {"conv_3x3_same_stride2_odd_relu6",
     [](GraphBuilder& b) {
       return b.op(OpType::conv2d, {b.input({1, 9, 7, 4}), b.weights({6, 3, 3, 4}), b.weights({6})},
                   conv(2, same, Activation::relu6));
     }},
    {"conv_5x5_valid_stride2",
     [](GraphBuilder& b) {
       return b.op(OpType::conv2d, {b.input({2, 11, 12, 3}), b.weights({5, 5, 5, 3}), b.weights({5})}, conv(2, valid));
     }},
    {"conv_3x3_dilated_same",
     [](GraphBuilder& b) {
       return b.op(OpType::conv2d, {b.input({1, 10, 10, 2}), b.weights({4, 3, 3, 2}), b.weights({4})},
                   conv(1, same, Activation::reluMinus1To1, 2));
     }},
    {"conv_no_bias",
     [](GraphBuilder& b) {
       return b.op(OpType::conv2d, {b.input({1, 6, 6, 3}), b.weights({4, 3, 3, 3}), -1}, conv(1, same));
     }},
    {"depthwise_3x3_same",
     [](GraphBuilder& b) {
       return b.op(OpType::depthwiseConv2d, {b.input({1, 8, 9, 8}), b.weights({1, 3, 3, 8}), b.weights({8})},
                   conv(1, same, Activation::relu));
     }},
    {"depthwise_5x5_same_stride2_odd",
     [](GraphBuilder& b) {
       return b.op(OpType::depthwiseConv2d, {b.input({1, 11, 13, 6}), b.weights({1, 5, 5, 6}), b.weights({6})},
                   conv(2, same));
     }},
    {"depthwise_multiplier2_valid",
     [](GraphBuilder& b) {
       OpOptions o = conv(1, valid);
       o.depthMultiplier = 2;
       return b.op(OpType::depthwiseConv2d, {b.input({1, 6, 6, 3}), b.weights({1, 3, 3, 6}), b.weights({6})}, o);
     }},
    {"transpose_conv_2x2_stride2_same",
     [](GraphBuilder& b) {
       return b.op(OpType::transposeConvBias, {b.input({1, 4, 5, 6}), b.weights({3, 2, 2, 6}), b.weights({3})},
                   conv(2, same));
     }},
    {"transpose_conv_3x3_stride2_same",
     [](GraphBuilder& b) {
       return b.op(OpType::transposeConvBias, {b.input({1, 4, 4, 4}), b.weights({2, 3, 3, 4}), b.weights({2})},
                   conv(2, same));
     }},
    {"transpose_conv_4x4_stride2_valid",
     [](GraphBuilder& b) {
       return b.op(OpType::transposeConvBias, {b.input({1, 3, 3, 2}), b.weights({5, 4, 4, 2}), b.weights({5})},
                   conv(2, valid));
     }},
    {"transpose_conv_1x1_stride2_same_extends_the_edge",
     [](GraphBuilder& b) {
       // The kernel is smaller than the stride: the last row and column come from the bias only.
       return b.op(OpType::transposeConvBias, {b.input({1, 3, 4, 2}), b.weights({3, 1, 1, 2}), b.weights({3})},
                   conv(2, same));
     }},
    {"average_pool_2x2_stride2_valid",
     [](GraphBuilder& b) {
       return b.op(OpType::averagePool2d, {b.input({1, 8, 6, 5})}, pool(2, 2, valid));
     }},
    {"average_pool_3x3_same_excludes_padding",
     [](GraphBuilder& b) {
       return b.op(OpType::averagePool2d, {b.input({1, 7, 5, 3})}, pool(3, 1, same));
     }},
    {"average_pool_whole_map",
     [](GraphBuilder& b) {
       return b.op(OpType::averagePool2d, {b.input({1, 16, 16, 4})}, pool(16, 16, valid));
     }},
    {"max_pool_2x2_stride2_same_odd",
     [](GraphBuilder& b) {
       return b.op(OpType::maxPool2d, {b.input({1, 7, 9, 4})}, pool(2, 2, same));
     }},
    {"max_pool_3x3_stride2_valid",
     [](GraphBuilder& b) {
       return b.op(OpType::maxPool2d, {b.input({1, 9, 9, 2})}, pool(3, 2, valid));
     }},
    {"add_same_shape_relu",
     [](GraphBuilder& b) {
       OpOptions o;
       o.activation = Activation::relu;
       return b.op(OpType::add, {b.input({1, 4, 5, 6}), b.input({1, 4, 5, 6})}, o);
     }},
    {"add_channel_constant",
     [](GraphBuilder& b) {
       return b.op(OpType::add, {b.input({1, 4, 5, 6}), b.weights({6})});
     }},
    {"mul_broadcast_plane",
     [](GraphBuilder& b) {
       return b.op(OpType::mul, {b.input({1, 4, 5, 6}), b.input({1, 4, 5, 1})});
     }},
    {"mul_by_pooled_channels",
     [](GraphBuilder& b) {
       return b.op(OpType::mul, {b.input({1, 6, 6, 8}), b.input({1, 1, 1, 8})});
     }},
    {"relu",
     [](GraphBuilder& b) {
       return b.op(OpType::relu, {b.input({1, 3, 4, 5})});
     }},
    {"relu6",
     [](GraphBuilder& b) {
       int x = b.op(OpType::mul, {b.input({1, 3, 4, 5}), b.weights({1}, 4, 4)});
       return b.op(OpType::relu6, {x});
     }},
    {"logistic",
     [](GraphBuilder& b) {
       return b.op(OpType::logistic, {b.input({1, 3, 4, 5})});
     }},
    {"hard_swish",
     [](GraphBuilder& b) {
       int x = b.op(OpType::mul, {b.input({1, 3, 4, 5}), b.weights({1}, 3, 3)});
       return b.op(OpType::hardSwish, {x});
     }},
    {"prelu",
     [](GraphBuilder& b) {
       return b.op(OpType::prelu, {b.input({1, 3, 4, 5}), b.weights({1, 1, 5}, 0, 0.5)});
     }},
    {"mean_keep_dims",
     [](GraphBuilder& b) {
       OpOptions o;
       o.keepDims = true;
       return b.op(OpType::mean, {b.input({1, 5, 7, 6}), b.ints({2}, {1, 2})}, o);
     }},
    {"mean_to_vector",
     [](GraphBuilder& b) {
       return b.op(OpType::mean, {b.input({1, 5, 7, 6}), b.ints({2}, {2, 1})});
     }},
    {"pad_asymmetric",
     [](GraphBuilder& b) {
       return b.op(OpType::pad, {b.input({1, 3, 4, 2}), b.ints({4, 2}, {0, 0, 0, 1, 2, 1, 0, 3})});
     }},
    {"reshape_flatten",
     [](GraphBuilder& b) {
       return b.op(OpType::reshape, {b.input({1, 4, 4, 3})}, {}, {1, 16, 3});
     }},
    {"resize_up_half_pixel",
     [](GraphBuilder& b) {
       OpOptions o;
       o.halfPixelCenters = true;
       return b.op(OpType::resizeBilinear, {b.input({1, 4, 5, 3}), b.ints({2}, {8, 10})}, o);
     }},
    {"resize_up_align_corners",
     [](GraphBuilder& b) {
       OpOptions o;
       o.alignCorners = true;
       return b.op(OpType::resizeBilinear, {b.input({1, 4, 5, 3}), b.ints({2}, {9, 7})}, o);
     }},
    {"resize_up_legacy",
     [](GraphBuilder& b) {
       return b.op(OpType::resizeBilinear, {b.input({1, 3, 5, 2}), b.ints({2}, {8, 11})});
     }},
    {"resize_down_half_pixel",
     [](GraphBuilder& b) {
       OpOptions o;
       o.halfPixelCenters = true;
       return b.op(OpType::resizeBilinear, {b.input({1, 9, 8, 2}), b.ints({2}, {4, 3})}, o);
     }},
    {"fully_connected_vector_relu",
     [](GraphBuilder& b) {
       OpOptions o;
       o.activation = Activation::relu;
       return b.op(OpType::fullyConnected, {b.input({1, 40}), b.weights({9, 40}), b.weights({9})}, o);
     }},
    {"fully_connected_flattens_map",
     [](GraphBuilder& b) {
       return b.op(OpType::fullyConnected, {b.input({1, 2, 2, 8}), b.weights({5, 32}), b.weights({5})});
     }},
    {"fully_connected_keep_dims_no_bias",
     [](GraphBuilder& b) {
       OpOptions o;
       o.keepDims = true;
       return b.op(OpType::fullyConnected, {b.input({1, 3, 8}), b.weights({4, 8}), -1}, o);
     }},
    {"depth_to_space_2",
     [](GraphBuilder& b) {
       OpOptions o;
       o.blockSize = 2;
       return b.op(OpType::depthToSpace, {b.input({1, 3, 4, 12})}, o);
     }},
    {"concatenation_of_inputs",
     [](GraphBuilder& b) {
       OpOptions o;
       o.axis = 1;
       return b.op(OpType::concatenation, {b.input({1, 4, 16}), b.input({1, 2, 16}), b.input({1, 5, 16})}, o);
     }},
    {"concatenation_channels_between_segments",
     [](GraphBuilder& b) {
       // conv -> concatenation (own kernel) -> conv: values cross two segment boundaries.
       int x = b.input({1, 6, 6, 3});
       int left = b.op(OpType::conv2d, {x, b.weights({4, 3, 3, 3}), b.weights({4})}, conv(1, same));
       int right = b.op(OpType::relu, {x});
       OpOptions o;
       o.axis = -1;
       int joined = b.op(OpType::concatenation, {left, right}, o);
       return b.op(OpType::conv2d, {joined, b.weights({2, 1, 1, 7}), b.weights({2})}, conv(1, valid));
     }},

    {"strided_slice_of_everything",
     [](GraphBuilder& b) {
       return b.op(OpType::stridedSlice, {b.input({1, 1, 1, 12}), b.ints({4}, {0, 0, 0, 0}), b.ints({4}, {1, 1, 1, 12}),
                                          b.ints({4}, {1, 1, 1, 1})});
     }},
    {"strided_slice_steps_backwards_and_masks",
     [](GraphBuilder& b) {
       OpOptions o;
       o.beginMask = o.endMask = 1;
       return b.op(
           OpType::stridedSlice,
           {b.input({2, 5, 6, 3}), b.ints({4}, {1, -4, 5, 0}), b.ints({4}, {0, 5, 0, 3}), b.ints({4}, {1, 2, -2, 1})},
           o);
     }},
    {"landmarks_to_transform_matrix",
     [](GraphBuilder& b) {
       OpOptions o;
       o.crop = {.subset = {0, 3, 5, 7, 11},
                 .leftIndex = 2,
                 .rightIndex = 9,
                 .targetRotation = 0.3f,
                 .scaleX = 1.5f,
                 .scaleY = 1.2f,
                 .outputHeight = 6,
                 .outputWidth = 8};
       return b.op(OpType::landmarksToTransformMatrix, {b.input({1, 12, 3})}, o);
     }},
    {"transform_tensor_bilinear_on_a_crop_of_landmarks",
     [](GraphBuilder& b) {
       // Landmarks spread over the map (0 to 8), a crop around them, and the map sampled on it.
       int spread = b.op(OpType::mul, {b.input({1, 10, 3}), b.weights({1}, 2, 2)});
       int landmarks = b.op(OpType::add, {spread, b.weights({1}, 4, 4)});
       OpOptions o;
       o.crop = {.subset = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
                 .leftIndex = 1,
                 .rightIndex = 6,
                 .scaleX = 1.4f,
                 .scaleY = 1.4f,
                 .outputHeight = 6,
                 .outputWidth = 5};
       int matrix = b.op(OpType::landmarksToTransformMatrix, {landmarks}, o);
       return b.op(OpType::transformTensorBilinear, {b.input({1, 9, 8, 4}), matrix}, o);
     }},
    {"transform_landmarks_with_depth_between_segments",
     [](GraphBuilder& b) {
       OpOptions o;
       o.crop = {.subset = {0, 1, 2, 3},
                 .leftIndex = 0,
                 .rightIndex = 3,
                 .scaleX = 1,
                 .scaleY = 1,
                 .outputHeight = 4,
                 .outputWidth = 4};
       int matrix = b.op(OpType::landmarksToTransformMatrix, {b.input({1, 4, 3})}, o);
       int moved = b.op(OpType::transformLandmarks, {b.input({1, 7, 3}), matrix});
       return b.op(OpType::relu, {moved});
     }},
    {"transform_landmarks_flat",
     [](GraphBuilder& b) {
       OpOptions o;
       o.crop = {.subset = {0, 1, 2},
                 .leftIndex = 2,
                 .rightIndex = 0,
                 .scaleX = 2,
                 .scaleY = 1,
                 .outputHeight = 3,
                 .outputWidth = 5};
       int matrix = b.op(OpType::landmarksToTransformMatrix, {b.input({1, 3, 2})}, o);
       return b.op(OpType::transformLandmarks, {b.input({1, 5, 2}), matrix});
     }},
};

void PrintTo(const OpCase& c, std::ostream* os) { *os << c.name; }

class OperationTest : public ::testing::TestWithParam<OpCase> {};

TEST_P(OperationTest, MatchesReferenceOnOneThread) {
  GraphBuilder builder;
  int out = GetParam().build(builder);
  ASSERT_GE(out, 0) << "case builds an invalid operation";
  builder.output(out);
  expectMatchesReference(builder.graph(), Threads::one);
}

TEST_P(OperationTest, MatchesReferenceOnThreadPool) {
  GraphBuilder builder(3);
  int out = GetParam().build(builder);
  ASSERT_GE(out, 0);
  builder.output(out);
  expectMatchesReference(builder.graph(), Threads::all, 11);
}

INSTANTIATE_TEST_SUITE_P(Table, OperationTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<OpCase>& info) { return info.param.name; });

TEST(ModelTest, IntermediateOutputUsedLaterStaysCorrect) {
  // An output that is also read by later operations, in the same segment and after a kernel.
  GraphBuilder b;
  int x = b.input({1, 5, 5, 4});
  int y = b.op(OpType::conv2d, {x, b.weights({4, 3, 3, 4}), b.weights({4})}, conv(1, same));
  OpOptions axis;
  axis.axis = 3;
  int joined = b.op(OpType::concatenation, {y, x}, axis);
  int z = b.op(OpType::add, {y, b.op(OpType::relu, {y})});
  b.output(y);
  b.output(joined);
  b.output(z);
  expectMatchesReference(b.graph(), Threads::all);
}

TEST(ModelTest, RunsWithoutAllocating) {
  // Segments on the thread pool with an own kernel between them; the heap must not move over many
  // runs. (Under the sanitizers mallinfo2 sees nothing and this checks little.)
  GraphBuilder b;
  int x = b.input({1, 16, 16, 8});
  int y = b.op(OpType::conv2d, {x, b.weights({8, 3, 3, 8}), b.weights({8})}, conv(1, same));
  OpOptions axis;
  axis.axis = -1;
  int joined = b.op(OpType::concatenation, {y, x}, axis);
  b.output(b.op(OpType::depthwiseConv2d, {joined, b.weights({1, 3, 3, 16}), b.weights({16})}, conv(1, same)));
  auto model = buildModel(b.graph());
  ASSERT_TRUE(model.ok()) << model.error().description;
  ASSERT_TRUE(model.value()->run().ok());
  size_t before = mallinfo2().uordblks;
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(model.value()->run().ok());
  EXPECT_EQ(mallinfo2().uordblks, before);
}

TEST(ModelTest, SeparateModelsOfOneGraphRunOnTwoThreadsAtOnce) {
  // Two Models of the same graph, built and run on two threads at the same time with different
  // inputs, on the shared pool and on their own threads: each must give the reference answer for
  // its own input on every run. Shared buffers or unguarded set-up would mix or break them.
  GraphBuilder b;
  int x = b.input({1, 12, 12, 4});
  int y = b.op(OpType::conv2d, {x, b.weights({8, 3, 3, 4}), b.weights({8})}, conv(1, same));
  OpOptions axis;
  axis.axis = -1;
  int joined = b.op(OpType::concatenation, {y, x}, axis);
  b.output(b.op(OpType::depthwiseConv2d, {joined, b.weights({1, 3, 3, 12}), b.weights({12})}, conv(2, same)));
  const Graph graph = b.graph();
  Graph prepared = graph;
  Result<void> ready = prepareGraph(&prepared);
  ASSERT_TRUE(ready.ok()) << ready.error().description;

  std::vector<float> inputs[2], expected[2];
  for (int k = 0; k < 2; ++k) {
    inputs[k] = b.random(graph.tensors[x].elementCount(), -2, 2);
    auto values = evaluateReference(prepared, {inputs[k]});
    ASSERT_TRUE(values.ok()) << values.error().description;
    expected[k] = values.value()[prepared.outputs[0]];
  }
  for (Threads threads : {Threads::all, Threads::one}) {
    std::latch start(2);
    size_t wrong[2] = {0, 0};
    std::string failure[2];
    auto work = [&](int k) {
      auto model = buildModel(graph, threads);
      start.arrive_and_wait();
      if (!model.ok()) {
        failure[k] = model.error().description;
        return;
      }
      std::copy(inputs[k].begin(), inputs[k].end(), model.value()->input(0));
      for (int round = 0; round < 40; ++round) {
        Result<void> ran = model.value()->run();
        if (!ran.ok()) {
          failure[k] = ran.error().description;
          return;
        }
        const float* got = model.value()->output(0);
        for (size_t i = 0; i < expected[k].size(); ++i) {
          wrong[k] += !(std::fabs(got[i] - expected[k][i]) <= 1e-4f + 1e-4f * std::fabs(expected[k][i]));
        }
      }
    };
    std::thread other(work, 1);
    work(0);
    other.join();
    for (int k = 0; k < 2; ++k) {
      EXPECT_EQ(failure[k], "") << "model " << k;
      EXPECT_EQ(wrong[k], 0u) << "model " << k << (threads == Threads::all ? " on the pool" : " on its thread");
    }
  }
}

TEST(ModelTest, NamesAndShapesOfInputsAndOutputs) {
  GraphBuilder b;
  int x = b.input({1, 4, 4, 2});
  b.output(b.op(OpType::relu, {x}));
  auto model = buildModel(b.graph());
  ASSERT_TRUE(model.ok()) << model.error().description;
  EXPECT_EQ(model.value()->inputShape(0).dims, (std::vector<int>{1, 4, 4, 2}));
  EXPECT_EQ(model.value()->outputShape(0).elementCount(), 32u);
  EXPECT_EQ(model.value()->inputIndex("input0"), 0u);
  EXPECT_EQ(model.value()->outputIndex("op0"), 0u);
  EXPECT_EQ(model.value()->outputIndex("nothing"), std::nullopt);
  EXPECT_EQ(model.value()->input(1), nullptr);
  EXPECT_TRUE(model.value()->outputShape(5).dims.empty());
}

TEST(ModelTest, RejectsDeclaredShapesThatDisagreeWithTheOperation) {
  // A damaged model that declares a bigger output than the operation computes must not load:
  // the runtime sizes its buffers from the declared shapes.
  GraphBuilder b;
  int x = b.input({1, 8, 8, 3});
  int y = b.op(OpType::conv2d, {x, b.weights({4, 3, 3, 3}), b.weights({4})}, conv(2, same), {1, 8, 8, 4});
  b.output(y);
  auto model = buildModel(b.graph());
  ASSERT_FALSE(model.ok());
  EXPECT_NE(model.error().description.find("declared [1,8,8,4] but computes [1,4,4,4]"), std::string::npos)
      << model.error().description;
}

TEST(ModelTest, RejectsShapesThatWouldOverflow) {
  // A transposed convolution with a huge stride on a long row would need 2^34 columns: refused
  // with an error, not computed in overflowing integers.
  GraphBuilder b;
  OpOptions o = conv(1024, same);
  int y = b.op(OpType::transposeConvBias, {b.input({1, 1, 1 << 24, 1}), b.weights({1, 1, 1, 1}), b.weights({1})}, o,
               {1, 1, 1, 1});
  b.output(y);
  auto model = buildModel(b.graph());
  ASSERT_FALSE(model.ok());
  EXPECT_NE(model.error().description.find("impossible size"), std::string::npos) << model.error().description;
}

TEST(ModelTest, RejectsOperationsThatReadIntegerConstantsAsData) {
  // A damaged file may point a concatenation at a shape tensor: its kernel would copy floats that
  // are not there. Refused at load instead of crashing in run().
  GraphBuilder b;
  OpOptions o;
  o.axis = 1;
  b.output(b.op(OpType::concatenation, {b.input({1, 4}), b.ints({1, 4}, {1, 2, 3, 4})}, o, {1, 8}));
  auto model = buildModel(b.graph(), Threads::one);
  ASSERT_FALSE(model.ok());
  EXPECT_EQ(model.error().code, static_cast<int64_t>(ModelError::malformed));
  EXPECT_NE(model.error().description.find("holds no float values"), std::string::npos) << model.error().description;
}

TEST(ModelTest, RejectsGraphsThatReadTensorsBeforeTheyAreComputed) {
  GraphBuilder b;
  int x = b.input({1, 2, 2, 1});
  int later = b.op(OpType::relu, {x});
  b.op(OpType::relu, {later});
  b.output(later);
  Graph graph = b.graph();
  std::swap(graph.operations[0], graph.operations[1]);
  auto model = buildModel(graph);
  ASSERT_FALSE(model.ok());
  EXPECT_NE(model.error().description.find("before anything computes it"), std::string::npos);
}

}  // namespace
}  // namespace platform::nn
