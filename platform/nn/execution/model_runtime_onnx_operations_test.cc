// The operations that the ONNX text models brought into the runtime (explicit padding, subtraction
// and division, softmax, nearest upsampling, and the own kernels for transposition, slicing,
// attention products and layer normalisation) against the plain reference loops.
#include <gtest/gtest.h>

#include <functional>

#include "platform/nn/graph/output_shape.h"
#include "platform/nn/testing/reference_check.h"
#include "platform/nn/testing/test_graphs.h"

namespace platform::nn {
namespace {

using testing::expectMatchesReference;
using testing::GraphBuilder;

OpOptions padded(int stride, int top, int left, int bottom, int right) {
  OpOptions o;
  o.strideH = o.strideW = stride;
  o.padTop = top;
  o.padLeft = left;
  o.padBottom = bottom;
  o.padRight = right;
  return o;
}

struct OpCase {
  const char* name;
  std::function<int(GraphBuilder&)> build;
};

const OpCase kCases[] = {
    {"conv_3x3_explicit_padding",
     [](GraphBuilder& b) {
       return b.op(OpType::conv2d, {b.input({1, 7, 8, 3}), b.weights({5, 3, 3, 3}), b.weights({5})},
                   padded(1, 1, 1, 1, 1));
     }},
    {"conv_1x3_stride_2x1_uneven_padding",
     [](GraphBuilder& b) {
       OpOptions o = padded(1, 0, 1, 0, 1);
       o.strideH = 2;
       return b.op(OpType::conv2d, {b.input({1, 6, 9, 4}), b.weights({3, 1, 3, 4}), b.weights({3})}, o);
     }},
    {"depthwise_5x5_explicit_padding_stride2",
     [](GraphBuilder& b) {
       return b.op(OpType::depthwiseConv2d, {b.input({1, 9, 10, 6}), b.weights({1, 5, 5, 6}), b.weights({6})},
                   padded(2, 2, 2, 2, 2));
     }},
    {"average_pool_3x2_window",
     [](GraphBuilder& b) {
       OpOptions o;
       o.filterH = 3;
       o.filterW = 2;
       o.strideH = 3;
       o.strideW = 2;
       return b.op(OpType::averagePool2d, {b.input({1, 3, 8, 5})}, o);
     }},
    {"max_pool_explicit_padding",
     [](GraphBuilder& b) {
       OpOptions o = padded(2, 1, 1, 1, 1);
       o.filterH = o.filterW = 3;
       return b.op(OpType::maxPool2d, {b.input({1, 7, 7, 2})}, o);
     }},
    {"sub_broadcast_row",
     [](GraphBuilder& b) {
       return b.op(OpType::sub, {b.input({1, 5, 6}), b.input({1, 5, 1})});
     }},
    {"sub_from_constant",
     [](GraphBuilder& b) {
       return b.op(OpType::sub, {b.weights({6}), b.input({1, 3, 4, 6})});
     }},
    {"div_by_positive",
     [](GraphBuilder& b) {
       return b.op(OpType::div, {b.input({2, 3, 7}), b.weights({7}, 0.5f, 2.0f)});
     }},
    {"softmax_last_dimension",
     [](GraphBuilder& b) {
       int x = b.op(OpType::mul, {b.input({1, 2, 5, 9}), b.weights({1}, 4, 4)});
       return b.op(OpType::softmax, {x});
     }},
    {"resize_nearest_by_2",
     [](GraphBuilder& b) {
       OpOptions o;
       o.blockSize = 2;
       return b.op(OpType::resizeNearest, {b.input({1, 3, 5, 4})}, o);
     }},
    {"resize_nearest_by_8_after_conv",
     [](GraphBuilder& b) {
       OpOptions o;
       o.blockSize = 8;
       int x = b.op(OpType::conv2d, {b.input({1, 2, 3, 3}), b.weights({2, 1, 1, 3}), b.weights({2})});
       return b.op(OpType::resizeNearest, {x}, o);
     }},
    {"transpose_last_two",
     [](GraphBuilder& b) {
       return b.op(OpType::transpose, {b.input({1, 7, 5}), b.ints({3}, {0, 2, 1})});
     }},
    {"transpose_channels_first",
     [](GraphBuilder& b) {
       return b.op(OpType::transpose, {b.input({1, 3, 4, 5}), b.ints({4}, {0, 3, 1, 2})});
     }},
    {"transpose_5d_heads",
     [](GraphBuilder& b) {
       return b.op(OpType::transpose, {b.input({1, 6, 3, 2, 4}), b.ints({5}, {2, 0, 3, 1, 4})});
     }},
    {"slice_outer_then_inner",
     [](GraphBuilder& b) {
       return b.op(OpType::slice, {b.input({3, 4, 5}), b.ints({3}, {1, 0, 2})}, {}, {1, 4, 3});
     }},
    {"batch_matmul_heads",
     [](GraphBuilder& b) {
       return b.op(OpType::batchMatMul, {b.input({1, 3, 5, 4}), b.input({1, 3, 4, 6})});
     }},
    {"attention_block",
     [](GraphBuilder& b) {
       // scores = softmax(q k^T), then scores v: products, transposition and softmax in a row.
       int q = b.input({2, 6, 4});
       int k = b.input({2, 6, 4});
       int v = b.input({2, 6, 4});
       int kT = b.op(OpType::transpose, {k, b.ints({3}, {0, 2, 1})});
       int scores = b.op(OpType::softmax, {b.op(OpType::batchMatMul, {q, kT})});
       return b.op(OpType::batchMatMul, {scores, v});
     }},
    {"layer_norm",
     [](GraphBuilder& b) {
       OpOptions o;
       o.epsilon = 1e-5f;
       return b.op(OpType::layerNorm, {b.input({1, 9, 12}), b.weights({12}), b.weights({12})}, o);
     }},
    {"layer_norm_of_constant_rows",
     [](GraphBuilder& b) {
       // A row whose values are all equal has no variance: epsilon keeps it finite.
       OpOptions o;
       o.epsilon = 1e-6f;
       int x = b.op(OpType::mul, {b.input({1, 4, 1}), b.weights({1, 1, 8}, 1, 1)});
       return b.op(OpType::layerNorm, {x, b.weights({8}), b.weights({8})}, o);
     }},
};

void PrintTo(const OpCase& c, std::ostream* os) { *os << c.name; }

class OnnxOperationTest : public ::testing::TestWithParam<OpCase> {};

TEST_P(OnnxOperationTest, MatchesReference) {
  for (Threads threads : {Threads::one, Threads::all}) {
    GraphBuilder builder(threads == Threads::one ? 1 : 5);
    int out = GetParam().build(builder);
    ASSERT_GE(out, 0) << "case builds an invalid operation";
    builder.output(out);
    expectMatchesReference(builder.graph(), threads);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, OnnxOperationTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<OpCase>& info) { return info.param.name; });

TEST(OnnxOperationShapes, RefuseOperandsThatDoNotFit) {
  struct Case {
    const char* name;
    std::function<int(GraphBuilder&)> build;
  };
  const Case cases[] = {
      {"transpose with a repeated axis",
       [](GraphBuilder& b) {
         return b.op(OpType::transpose, {b.input({2, 3}), b.ints({2}, {0, 0})});
       }},
      {"transpose with too few axes",
       [](GraphBuilder& b) {
         return b.op(OpType::transpose, {b.input({2, 3, 4}), b.ints({2}, {1, 0})});
       }},
      {"slice past the end",
       [](GraphBuilder& b) {
         return b.op(OpType::slice, {b.input({4, 4}), b.ints({2}, {2, 0})}, {}, {3, 4});
       }},
      {"slice from a negative begin",
       [](GraphBuilder& b) {
         return b.op(OpType::slice, {b.input({4, 4}), b.ints({2}, {-1, 0})}, {}, {1, 4});
       }},
      {"matmul of mismatched depths",
       [](GraphBuilder& b) {
         return b.op(OpType::batchMatMul, {b.input({1, 3, 4}), b.input({1, 5, 2})});
       }},
      {"matmul by a constant",
       [](GraphBuilder& b) {
         return b.op(OpType::batchMatMul, {b.input({1, 3, 4}), b.weights({1, 4, 2})});
       }},
      {"layer norm with a short scale",
       [](GraphBuilder& b) {
         OpOptions o;
         o.epsilon = 1e-5f;
         return b.op(OpType::layerNorm, {b.input({2, 6}), b.weights({5}), b.weights({6})}, o);
       }},
      {"layer norm without epsilon",
       [](GraphBuilder& b) {
         return b.op(OpType::layerNorm, {b.input({2, 6}), b.weights({6}), b.weights({6})});
       }},
      {"negative explicit padding",
       [](GraphBuilder& b) {
         return b.op(OpType::conv2d, {b.input({1, 5, 5, 2}), b.weights({2, 3, 3, 2}), b.weights({2})},
                     padded(1, -1, 0, 0, 0));
       }},
      {"explicit padding with the SAME rule",
       [](GraphBuilder& b) {
         OpOptions o = padded(1, 1, 1, 1, 1);
         o.padding = Padding::same;
         return b.op(OpType::conv2d, {b.input({1, 5, 5, 2}), b.weights({2, 3, 3, 2}), b.weights({2})}, o);
       }},
  };
  for (const Case& c : cases) {
    GraphBuilder builder;
    // A declared output shape (slices) is checked when the graph is prepared, not when built.
    bool refused = c.build(builder) < 0 || !inferOutputShape(builder.graph(), builder.graph().operations.back()).ok();
    EXPECT_TRUE(refused) << c.name;
  }
}

}  // namespace
}  // namespace platform::nn
