// The reference loops on small tensors whose answers are worked out by hand (the arithmetic is in
// the comments) or by a formula of the test's own, never by the runtime's code. The operation tests
// hold the runtime to these loops on random tensors; a misreading shared by both (where SAME
// padding goes, what align-corners means, which channel a depthwise filter reads) passes there and
// fails here. The runtime is held to the same answers too.
#include "platform/nn/reference/reference_ops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "platform/nn/execution/model_runtime.h"
#include "platform/nn/graph/graph_preparation.h"
#include "platform/nn/testing/test_graphs.h"

namespace platform::nn {
namespace {

using testing::GraphBuilder;

// One operation (or a few) on given inputs, and what it must compute.
struct KnownAnswer {
  const char* name;
  std::function<int(GraphBuilder&)> build;  // returns the output tensor
  std::vector<std::vector<float>> inputs;   // one per b.input(), in order
  std::vector<int> shape;
  std::vector<float> expected;
};

void PrintTo(const KnownAnswer& c, std::ostream* os) { *os << c.name; }

// 0, 1, 2, ... count - 1 + first.
std::vector<float> counting(size_t count, float first = 0) {
  std::vector<float> v(count);
  for (size_t i = 0; i < count; ++i) v[i] = first + float(i);
  return v;
}

OpOptions convolution(int stride, Padding padding, Activation activation = Activation::none) {
  OpOptions o;
  o.strideH = o.strideW = stride;
  o.padding = padding;
  o.activation = activation;
  return o;
}

OpOptions window(int size, int stride, Padding padding) {
  OpOptions o = convolution(stride, padding);
  o.filterH = o.filterW = size;
  return o;
}

OpOptions explicitPadding(int top, int left, int bottom, int right) {
  OpOptions o;
  o.padTop = top, o.padLeft = left, o.padBottom = bottom, o.padRight = right;
  return o;
}

template <typename Set>
OpOptions with(Set set) {
  OpOptions o;
  set(o);
  return o;
}

const Padding same = Padding::same;
const Padding valid = Padding::valid;

// Inputs are NHWC; weights [out, h, w, in], depthwise [1, h, w, channels].
const KnownAnswer kConvolutions[] = {
    // x = 1..9 in a 3x3 picture, w = [1 2; 3 4]: out(0,0) = 1*1 + 2*2 + 4*3 + 5*4 = 37, then 47,
    // 67, 77, each + bias 1.
    {"conv_valid",
     [](GraphBuilder& b) {
       return b.op(OpType::conv2d,
                   {b.input({1, 3, 3, 1}), b.constant({1, 2, 2, 1}, {1, 2, 3, 4}), b.constant({1}, {1})},
                   convolution(1, valid));
     },
     {counting(9, 1)},
     {1, 2, 2, 1},
     {38, 48, 68, 78}},
    // SAME with an even kernel pads one cell after (below and right), none before: the last
    // column reads 3*1 + 6*3 = 21, 6*1 + 9*3 = 33, 9*1 = 9; the last row 7*1 + 8*2 = 23, 8 + 18 = 26.
    {"conv_same_even_kernel_pads_after",
     [](GraphBuilder& b) {
       return b.op(OpType::conv2d, {b.input({1, 3, 3, 1}), b.constant({1, 2, 2, 1}, {1, 2, 3, 4}), -1},
                   convolution(1, same));
     },
     {counting(9, 1)},
     {1, 3, 3, 1},
     {37, 47, 21, 67, 77, 33, 23, 26, 9}},
    // x = 1..16 in 4x4, a 3x3 kernel of ones, stride 2, SAME: 2x2 out, total padding
    // (2-1)*2 + 3 - 4 = 1, all after. out(0,0) = 1+2+3+5+6+7+9+10+11 = 54; out(0,1) = columns 2..3
    // of rows 0..2 = 3+4+7+8+11+12 = 45; out(1,0) = rows 2..3, columns 0..2 = 9+10+11+13+14+15 = 72;
    // out(1,1) = 11+12+15+16 = 54.
    {"conv_same_stride2",
     [](GraphBuilder& b) {
       return b.op(OpType::conv2d, {b.input({1, 4, 4, 1}), b.constant({1, 3, 3, 1}, std::vector<float>(9, 1)), -1},
                   convolution(2, same));
     },
     {counting(16, 1)},
     {1, 2, 2, 1},
     {54, 45, 72, 54}},
    // Explicit padding, one row on top and one column on the right, then VALID: [1 2; 3 4] becomes
    // [0 0 0; 1 2 0; 3 4 0] and a 2x2 kernel of ones sums 0+0+1+2 = 3, 0+0+2+0 = 2, 10, 6.
    {"conv_explicit_padding",
     [](GraphBuilder& b) {
       return b.op(OpType::conv2d,
                   {b.input({1, 2, 2, 1}), b.constant({1, 2, 2, 1}, {1, 1, 1, 1}), b.constant({1}, {0})},
                   explicitPadding(1, 0, 0, 1));
     },
     {{1, 2, 3, 4}},
     {1, 2, 2, 1},
     {3, 2, 10, 6}},
    // Channels: x = (1, 2); filters (1, 0), (0, 1), (1, 1) with biases 0, 0, -4: 1, 2, 3 - 4 = -1,
    // which RELU clips to 0.
    {"conv_channels_and_fused_relu",
     [](GraphBuilder& b) {
       return b.op(OpType::conv2d,
                   {b.input({1, 1, 1, 2}), b.constant({3, 1, 1, 2}, {1, 0, 0, 1, 1, 1}), b.constant({3}, {0, 0, -4})},
                   convolution(1, valid, Activation::relu));
     },
     {{1, 2}},
     {1, 1, 1, 3},
     {1, 2, 0}},
    // Dilation 2 along a row of 1..5 with the kernel (1, 10): x[i] + 10 x[i+2] = 31, 42, 53.
    {"conv_dilated",
     [](GraphBuilder& b) {
       OpOptions o = convolution(1, valid);
       o.dilationW = 2;
       return b.op(OpType::conv2d, {b.input({1, 1, 5, 1}), b.constant({1, 1, 2, 1}, {1, 10}), -1}, o);
     },
     {counting(5, 1)},
     {1, 1, 3, 1},
     {31, 42, 53}},
    // Channel 0 is [1 2; 3 4], channel 1 [10 20; 30 40], interleaved (NHWC). Channel 0's kernel is
    // [1 0; 0 1] (1 + 4 = 5), channel 1's [0 1; 1 0] (20 + 30 = 50); biases 0.5 and -0.5.
    {"depthwise_each_channel_its_own_kernel",
     [](GraphBuilder& b) {
       return b.op(
           OpType::depthwiseConv2d,
           {b.input({1, 2, 2, 2}), b.constant({1, 2, 2, 2}, {1, 0, 0, 1, 0, 1, 1, 0}), b.constant({2}, {0.5f, -0.5f})},
           convolution(1, valid));
     },
     {{1, 10, 2, 20, 3, 30, 4, 40}},
     {1, 1, 1, 2},
     {5.5f, 49.5f}},
    // Depth multiplier 2: output channels 0 and 1 read input channel 0 (2), 2 and 3 read channel 1
    // (3): 2*1, 2*10, 3*100, 3*1000.
    {"depthwise_multiplier",
     [](GraphBuilder& b) {
       OpOptions o = convolution(1, valid);
       o.depthMultiplier = 2;
       return b.op(OpType::depthwiseConv2d, {b.input({1, 1, 1, 2}), b.constant({1, 1, 1, 4}, {1, 10, 100, 1000}), -1},
                   o);
     },
     {{2, 3}},
     {1, 1, 1, 4},
     {2, 20, 300, 3000}},
    // Depthwise SAME, 3x3 kernel of ones on a 3x3 picture of 1..9: the sums of each cell's
    // neighbours inside the picture: 1+2+4+5 = 12, 1+2+3+4+5+6 = 21, 16; 27, 45, 33; 24, 39, 28.
    {"depthwise_same",
     [](GraphBuilder& b) {
       return b.op(OpType::depthwiseConv2d,
                   {b.input({1, 3, 3, 1}), b.constant({1, 3, 3, 1}, std::vector<float>(9, 1)), -1},
                   convolution(1, same));
     },
     {counting(9, 1)},
     {1, 3, 3, 1},
     {12, 21, 16, 27, 45, 33, 24, 39, 28}},
};

// Each input cell paints the kernel times its value at (stride * y, stride * x), then the bias.
const KnownAnswer kTransposedConvolutions[] = {
    // [1 2; 3 4] with the kernel [1 2; 3 4], stride 2: four separate 2x2 blocks, + 1.
    {"transpose_conv_valid",
     [](GraphBuilder& b) {
       return b.op(OpType::transposeConvBias,
                   {b.input({1, 2, 2, 1}), b.constant({1, 2, 2, 1}, {1, 2, 3, 4}), b.constant({1}, {1})},
                   convolution(2, valid));
     },
     {{1, 2, 3, 4}},
     {1, 4, 4, 1},
     {2, 3, 3, 5, 4, 5, 7, 9, 4, 7, 5, 9, 10, 13, 13, 17}},
    // A 3x3 kernel of ones, stride 2, SAME: 4x4 out, total padding (2-1)*2 + 3 - 4 = 1, cut after.
    // Input (y, x) covers rows 2y..2y+2 and columns 2x..2x+2; row 2 and column 2 are covered twice.
    {"transpose_conv_same_cuts_after",
     [](GraphBuilder& b) {
       return b.op(OpType::transposeConvBias,
                   {b.input({1, 2, 2, 1}), b.constant({1, 3, 3, 1}, std::vector<float>(9, 1)), b.constant({1}, {0})},
                   convolution(2, same));
     },
     {{1, 2, 3, 4}},
     {1, 4, 4, 1},
     {1, 1, 3, 2, 1, 1, 3, 2, 4, 4, 10, 6, 3, 3, 7, 4}},
    // A 1x1 kernel (2) smaller than the stride: SAME still gives 4x4, total padding -1; cells no
    // input reaches hold the bias alone.
    {"transpose_conv_same_kernel_smaller_than_stride",
     [](GraphBuilder& b) {
       return b.op(OpType::transposeConvBias,
                   {b.input({1, 2, 2, 1}), b.constant({1, 1, 1, 1}, {2}), b.constant({1}, {0.5f})},
                   convolution(2, same));
     },
     {{1, 2, 3, 4}},
     {1, 4, 4, 1},
     {2.5f, 0.5f, 4.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 6.5f, 0.5f, 8.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f}},
};

const KnownAnswer kPoolings[] = {
    // 3x3 windows over 1..9, SAME, stride 1: padding is left out of the count. Corner
    // (1+2+4+5)/4 = 3, edge (1+2+3+4+5+6)/6 = 3.5, centre 45/9 = 5, ...
    {"average_pool_same_counts_only_the_picture",
     [](GraphBuilder& b) {
       return b.op(OpType::averagePool2d, {b.input({1, 3, 3, 1})}, window(3, 1, same));
     },
     {counting(9, 1)},
     {1, 3, 3, 1},
     {3, 3.5f, 4, 4.5f, 5, 5.5f, 6, 6.5f, 7}},
    // Explicit padding above and to the left of [1 2; 3 4], 2x2 windows: 1/1, (1+2)/2, (1+3)/2,
    // (1+2+3+4)/4.
    {"average_pool_explicit_padding",
     [](GraphBuilder& b) {
       OpOptions o = explicitPadding(1, 1, 0, 0);
       o.filterH = o.filterW = 2;
       return b.op(OpType::averagePool2d, {b.input({1, 2, 2, 1})}, o);
     },
     {{1, 2, 3, 4}},
     {1, 2, 2, 1},
     {1, 1.5f, 2, 2.5f}},
    // 2x2 windows, stride 2, VALID, over [1 5 2 0; 3 4 8 7; -1 -2 -3 -4; -5 -6 -7 -8].
    {"max_pool_valid",
     [](GraphBuilder& b) {
       return b.op(OpType::maxPool2d, {b.input({1, 4, 4, 1})}, window(2, 2, valid));
     },
     {{1, 5, 2, 0, 3, 4, 8, 7, -1, -2, -3, -4, -5, -6, -7, -8}},
     {1, 2, 2, 1},
     {5, 8, -1, -3}},
    // SAME over an odd 3x3 of -1..-9, stride 2: the padding (one cell after) is never a maximum,
    // so the windows at the edge give -3 (of -3, -6), -7 (of -7, -8) and -9 alone.
    {"max_pool_same_ignores_padding",
     [](GraphBuilder& b) {
       return b.op(OpType::maxPool2d, {b.input({1, 3, 3, 1})}, window(2, 2, same));
     },
     {{-1, -2, -3, -4, -5, -6, -7, -8, -9}},
     {1, 2, 2, 1},
     {-1, -3, -7, -9}},
};

// Resizing [1, h, w, 1]. A bilinear resize reproduces a linear function exactly, so on
// v(y, x) = 4y + x the answer is that function at each output's source point.
const KnownAnswer kResizes[] = {
    // A row (0, 4) to 4 columns. Legacy: source x = 2/4 * o = 0, 0.5, 1, 1.5, clamped to the last
    // column: 0, 2, 4, 4.
    {"bilinear_legacy",
     [](GraphBuilder& b) {
       return b.op(OpType::resizeBilinear, {b.input({1, 1, 2, 1}), b.ints({2}, {1, 4})});
     },
     {{0, 4}},
     {1, 1, 4, 1},
     {0, 2, 4, 4}},
    // Align corners: x = (2-1)/(4-1) * o = 0, 1/3, 2/3, 1: the ends stay on the ends.
    {"bilinear_align_corners",
     [](GraphBuilder& b) {
       return b.op(OpType::resizeBilinear, {b.input({1, 1, 2, 1}), b.ints({2}, {1, 4})},
                   with([](OpOptions& o) { o.alignCorners = true; }));
     },
     {{0, 4}},
     {1, 1, 4, 1},
     {0, 4.0f / 3, 8.0f / 3, 4}},
    // Half-pixel centres: x = (o + 0.5) * 2/4 - 0.5 = -0.25, 0.25, 0.75, 1.25, clamped: 0, 1, 3, 4.
    {"bilinear_half_pixel_centres",
     [](GraphBuilder& b) {
       return b.op(OpType::resizeBilinear, {b.input({1, 1, 2, 1}), b.ints({2}, {1, 4})},
                   with([](OpOptions& o) { o.halfPixelCenters = true; }));
     },
     {{0, 4}},
     {1, 1, 4, 1},
     {0, 1, 3, 4}},
    // [0 4; 8 12] to 3x3 with corners aligned: every half step between the four values.
    {"bilinear_align_corners_2d",
     [](GraphBuilder& b) {
       return b.op(OpType::resizeBilinear, {b.input({1, 2, 2, 1}), b.ints({2}, {3, 3})},
                   with([](OpOptions& o) { o.alignCorners = true; }));
     },
     {{0, 4, 8, 12}},
     {1, 3, 3, 1},
     {0, 2, 4, 4, 6, 8, 8, 10, 12}},
    // 4x4 of 4y + x down to 2x2. Half-pixel: sources (o + 0.5) * 2 - 0.5 = 0.5, 2.5 in each
    // direction: 4*0.5 + 0.5 = 2.5, 4.5, 10.5, 12.5.
    {"bilinear_half_pixel_down",
     [](GraphBuilder& b) {
       return b.op(OpType::resizeBilinear, {b.input({1, 4, 4, 1}), b.ints({2}, {2, 2})},
                   with([](OpOptions& o) { o.halfPixelCenters = true; }));
     },
     {counting(16)},
     {1, 2, 2, 1},
     {2.5f, 4.5f, 10.5f, 12.5f}},
    // Legacy: sources 0 and 2: 0, 2, 8, 10. Aligned corners: sources 0 and 3: 0, 3, 12, 15.
    {"bilinear_legacy_down",
     [](GraphBuilder& b) {
       return b.op(OpType::resizeBilinear, {b.input({1, 4, 4, 1}), b.ints({2}, {2, 2})});
     },
     {counting(16)},
     {1, 2, 2, 1},
     {0, 2, 8, 10}},
    {"bilinear_align_corners_down",
     [](GraphBuilder& b) {
       return b.op(OpType::resizeBilinear, {b.input({1, 4, 4, 1}), b.ints({2}, {2, 2})},
                   with([](OpOptions& o) { o.alignCorners = true; }));
     },
     {counting(16)},
     {1, 2, 2, 1},
     {0, 3, 12, 15}},
    // Nearest by 2: each cell becomes a 2x2 block.
    {"nearest_by_two",
     [](GraphBuilder& b) {
       return b.op(OpType::resizeNearest, {b.input({1, 2, 2, 1})}, with([](OpOptions& o) { o.blockSize = 2; }));
     },
     {{1, 2, 3, 4}},
     {1, 4, 4, 1},
     {1, 1, 2, 2, 1, 1, 2, 2, 3, 3, 4, 4, 3, 3, 4, 4}},
    // Nearest by 3 keeps each pixel's channels together: (1, 10) nine times.
    {"nearest_keeps_channels",
     [](GraphBuilder& b) {
       return b.op(OpType::resizeNearest, {b.input({1, 1, 1, 2})}, with([](OpOptions& o) { o.blockSize = 3; }));
     },
     {{1, 10}},
     {1, 3, 3, 2},
     {1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10}},
};

const KnownAnswer kMatrixProducts[] = {
    // Weights [outputs, inputs] = [1 0 -1; 2 2 2], bias (0.5, -1): 1 - 3 + 0.5 = -1.5, 2+4+6-1 = 11.
    {"fully_connected",
     [](GraphBuilder& b) {
       return b.op(OpType::fullyConnected,
                   {b.input({1, 3}), b.constant({2, 3}, {1, 0, -1, 2, 2, 2}), b.constant({2}, {0.5f, -1})});
     },
     {{1, 2, 3}},
     {1, 2},
     {-1.5f, 11}},
    // Keeping dimensions: each row of [1, 2, 3] on its own; (4, 5, 6) gives 4 - 6 + 0.5 = -1.5 and
    // 30 - 1 = 29; RELU clips the negatives.
    {"fully_connected_rows_relu",
     [](GraphBuilder& b) {
       OpOptions o;
       o.keepDims = true;
       o.activation = Activation::relu;
       return b.op(OpType::fullyConnected,
                   {b.input({1, 2, 3}), b.constant({2, 3}, {1, 0, -1, 2, 2, 2}), b.constant({2}, {0.5f, -1})}, o);
     },
     {{1, 2, 3, 4, 5, 6}},
     {1, 2, 2},
     {0, 11, 0, 29}},
    // A 2x2 picture flattened in NHWC order against 1, 10, 100, 1000: 1 + 20 + 300 + 4000.
    {"fully_connected_flattens",
     [](GraphBuilder& b) {
       return b.op(OpType::fullyConnected, {b.input({1, 2, 2, 1}), b.constant({1, 4}, {1, 10, 100, 1000}), -1});
     },
     {{1, 2, 3, 4}},
     {1, 1},
     {4321}},
    // Two batches: [1 2 3; 4 5 6] x [1 0; 0 1; 1 1] = [4 5; 10 11], and
    // [1 1 1; 0 0 1] x [2 3; 4 5; 6 7] = [12 15; 6 7].
    {"batch_matmul",
     [](GraphBuilder& b) {
       return b.op(OpType::batchMatMul, {b.input({2, 2, 3}), b.input({2, 3, 2})});
     },
     {{1, 2, 3, 4, 5, 6, 1, 1, 1, 0, 0, 1}, {1, 0, 0, 1, 1, 1, 2, 3, 4, 5, 6, 7}},
     {2, 2, 2},
     {4, 5, 10, 11, 12, 15, 6, 7}},
};

// Broadcasting aligns shapes at their last dimension; a dimension of 1 repeats.
const KnownAnswer kElementwise[] = {
    {"add_row_to_each_row",
     [](GraphBuilder& b) {
       return b.op(OpType::add, {b.input({1, 2, 3}), b.constant({3}, {10, 20, 30})});
     },
     {{1, 2, 3, 4, 5, 6}},
     {1, 2, 3},
     {11, 22, 33, 14, 25, 36}},
    // [2; 3] times [1 10 100]: both operands repeat.
    {"mul_column_by_row",
     [](GraphBuilder& b) {
       return b.op(OpType::mul, {b.input({2, 1}), b.input({1, 3})});
     },
     {{2, 3}, {1, 10, 100}},
     {2, 3},
     {2, 20, 200, 3, 30, 300}},
    // The first operand is the one subtracted from: 10 - 1, 10 - 2.
    {"sub_keeps_operand_order",
     [](GraphBuilder& b) {
       return b.op(OpType::sub, {b.input({1}), b.input({2})});
     },
     {{10}, {1, 2}},
     {2},
     {9, 8}},
    {"div",
     [](GraphBuilder& b) {
       return b.op(OpType::div, {b.input({1, 4}), b.constant({4}, {2, 4, 8, 16})});
     },
     {{1, 2, 3, 4}},
     {1, 4},
     {0.5f, 0.5f, 0.375f, 0.25f}},
    {"add_fused_relu6",
     [](GraphBuilder& b) {
       return b.op(OpType::add, {b.input({3}), b.constant({1}, {1})},
                   with([](OpOptions& o) { o.activation = Activation::relu6; }));
     },
     {{-2, 2, 9}},
     {3},
     {0, 3, 6}},
    {"mul_fused_relu_minus_1_to_1",
     [](GraphBuilder& b) {
       return b.op(OpType::mul, {b.input({3}), b.constant({1}, {2})},
                   with([](OpOptions& o) { o.activation = Activation::reluMinus1To1; }));
     },
     {{-3, 0.25f, 3}},
     {3},
     {-1, 0.5f, 1}},
    {"relu", [](GraphBuilder& b) { return b.op(OpType::relu, {b.input({3})}); }, {{-2, 0, 3}}, {3}, {0, 0, 3}},
    {"relu6", [](GraphBuilder& b) { return b.op(OpType::relu6, {b.input({3})}); }, {{-1, 3, 7}}, {3}, {0, 3, 6}},
    // 1 / (1 + e^-x): x = 0 gives 1/2, x = ln 3 gives 1 / (1 + 1/3) = 3/4.
    {"logistic",
     [](GraphBuilder& b) { return b.op(OpType::logistic, {b.input({2})}); },
     {{0, std::log(3.0f)}},
     {2},
     {0.5f, 0.75f}},
    // x * relu6(x + 3) / 6: -4 * 0 = 0, -1 * 2/6 = -1/3, 1 * 4/6 = 2/3, 4 * 6/6 = 4.
    {"hard_swish",
     [](GraphBuilder& b) { return b.op(OpType::hardSwish, {b.input({4})}); },
     {{-4, -1, 1, 4}},
     {4},
     {0, -1.0f / 3, 2.0f / 3, 4}},
    // A slope per channel (the last dimension), for negative values only: -1 * 0.5, -2 * 0.25, 3,
    // -4 * 0.25.
    {"prelu",
     [](GraphBuilder& b) {
       return b.op(OpType::prelu, {b.input({1, 1, 2, 2}), b.constant({2}, {0.5f, 0.25f})});
     },
     {{-1, -2, 3, -4}},
     {1, 1, 2, 2},
     {-0.5f, -0.5f, 3, -1}},
};

const KnownAnswer kNormalisations[] = {
    // e^0, e^ln2, e^ln5 = 1, 2, 5 over 8; a row of equal large values shares evenly (e^100 alone
    // would not fit a float).
    {"softmax_each_row",
     [](GraphBuilder& b) {
       return b.op(OpType::softmax, {b.input({2, 3})});
     },
     {{0, std::log(2.0f), std::log(5.0f), 100, 100, 100}},
     {2, 3},
     {0.125f, 0.25f, 0.625f, 1.0f / 3, 1.0f / 3, 1.0f / 3}},
    // Row (1, 2, 3, 4): mean 2.5, variance (2.25 + 0.25 + 0.25 + 2.25) / 4 = 1.25, + epsilon 0.75
    // = 2: (x - 2.5) / sqrt 2, times scale (1, 2, 1, 2), plus shift (0, 0, 1, 1). A constant row
    // normalises to 0, leaving the shift.
    {"layer_norm",
     [](GraphBuilder& b) {
       return b.op(OpType::layerNorm, {b.input({2, 4}), b.constant({4}, {1, 2, 1, 2}), b.constant({4}, {0, 0, 1, 1})},
                   with([](OpOptions& o) { o.epsilon = 0.75f; }));
     },
     {{1, 2, 3, 4, 2, 2, 2, 2}},
     {2, 4},
     {-1.5f / std::sqrt(2.0f), -1.0f / std::sqrt(2.0f), 1 + 0.5f / std::sqrt(2.0f), 1 + 3.0f / std::sqrt(2.0f), 0, 0, 1,
      1}},
    // Over height and width, per batch and channel: (1+2+3+4)/4, (10+20+30+40)/4; then
    // (1+3)/2, (5+9)/2 for a second batch.
    {"mean_per_channel",
     [](GraphBuilder& b) {
       return b.op(OpType::mean, {b.input({1, 2, 2, 2}), b.ints({2}, {1, 2})});
     },
     {{1, 10, 2, 20, 3, 30, 4, 40}},
     {1, 2},
     {2.5f, 25}},
    {"mean_per_batch_keeping_dimensions",
     [](GraphBuilder& b) {
       return b.op(OpType::mean, {b.input({2, 1, 2, 1}), b.ints({2}, {2, 1})},
                   with([](OpOptions& o) { o.keepDims = true; }));
     },
     {{1, 3, 5, 9}},
     {2, 1, 1, 1},
     {2, 7}},
};

// Operations that only move values. A formula of the test's own says where each comes from.
const KnownAnswer kRearrangements[] = {
    // [1, 1, 2, 1] (1, 2) padded with a row above, two columns after and a channel before: only
    // (y=1, x=0, c=1) = 1 and (y=1, x=1, c=1) = 2 are not zero, at (y*4 + x)*2 + c = 9 and 11.
    {"pad",
     [](GraphBuilder& b) {
       return b.op(OpType::pad, {b.input({1, 1, 2, 1}), b.ints({4, 2}, {0, 0, 1, 0, 0, 2, 1, 0})});
     },
     {{1, 2}},
     {1, 2, 4, 2},
     {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 2, 0, 0, 0, 0}},
    // in[a][b][c] = 4a + 2b + c, permutation (2, 0, 1): out[c][a][b] = 4a + 2b + c.
    {"transpose",
     [](GraphBuilder& b) {
       return b.op(OpType::transpose, {b.input({2, 2, 2}), b.ints({3}, {2, 0, 1})});
     },
     {counting(8)},
     {2, 2, 2},
     {0, 2, 4, 6, 1, 3, 5, 7}},
    {"transpose_matrix",
     [](GraphBuilder& b) {
       return b.op(OpType::transpose, {b.input({2, 3}), b.ints({2}, {1, 0})});
     },
     {{1, 2, 3, 4, 5, 6}},
     {3, 2},
     {1, 4, 2, 5, 3, 6}},
    // Every second element from 1: 1, 3, 5.
    {"strided_slice_steps",
     [](GraphBuilder& b) {
       return b.op(OpType::stridedSlice,
                   {b.input({1, 6}), b.ints({2}, {0, 1}), b.ints({2}, {1, 6}), b.ints({2}, {1, 2})});
     },
     {counting(6)},
     {1, 3},
     {1, 3, 5}},
    // Backwards from the last (-1) by 2, an end before the start clamped to "before 0": 5, 3, 1.
    {"strided_slice_backwards",
     [](GraphBuilder& b) {
       return b.op(OpType::stridedSlice,
                   {b.input({1, 6}), b.ints({2}, {0, -1}), b.ints({2}, {1, -7}), b.ints({2}, {1, -2})});
     },
     {counting(6)},
     {1, 3},
     {5, 3, 1}},
    // Masks take the whole dimension whatever begin and end say: all of it, reversed.
    {"strided_slice_masks",
     [](GraphBuilder& b) {
       OpOptions o;
       o.beginMask = o.endMask = 2;
       return b.op(OpType::stridedSlice,
                   {b.input({1, 6}), b.ints({2}, {0, 3}), b.ints({2}, {1, 3}), b.ints({2}, {1, -1})}, o);
     },
     {counting(6)},
     {1, 6},
     {5, 4, 3, 2, 1, 0}},
    // A begin counted from the end and an end past it: the last two.
    {"strided_slice_from_the_end",
     [](GraphBuilder& b) {
       return b.op(OpType::stridedSlice,
                   {b.input({1, 6}), b.ints({2}, {0, -2}), b.ints({2}, {1, 100}), b.ints({2}, {1, 1})});
     },
     {counting(6)},
     {1, 2},
     {4, 5}},
    // Begins (1, 1) and the declared size [1, 2] of [1 2 3; 4 5 6]: 5, 6.
    {"slice",
     [](GraphBuilder& b) {
       return b.op(OpType::slice, {b.input({2, 3}), b.ints({2}, {1, 1})}, {}, {1, 2});
     },
     {{1, 2, 3, 4, 5, 6}},
     {1, 2},
     {5, 6}},
    // Block 2: output (y, x, c) reads input channel ((y % 2) * 2 + x % 2) * 2 + c of input cell
    // (y / 2, x / 2). One input cell of 8 channels: the blocks in order, so 0..7 again; two input
    // cells (1 2 3 4 | 5 6 7 8) with one channel out: rows 1 2 5 6 and 3 4 7 8.
    {"depth_to_space_channels",
     [](GraphBuilder& b) {
       return b.op(OpType::depthToSpace, {b.input({1, 1, 1, 8})}, with([](OpOptions& o) { o.blockSize = 2; }));
     },
     {counting(8)},
     {1, 2, 2, 2},
     counting(8)},
    {"depth_to_space_rows",
     [](GraphBuilder& b) {
       return b.op(OpType::depthToSpace, {b.input({1, 1, 2, 4})}, with([](OpOptions& o) { o.blockSize = 2; }));
     },
     {counting(8, 1)},
     {1, 2, 4, 1},
     {1, 2, 5, 6, 3, 4, 7, 8}},
    {"concatenation_middle_axis",
     [](GraphBuilder& b) {
       return b.op(OpType::concatenation, {b.input({1, 2, 2}), b.input({1, 1, 2})},
                   with([](OpOptions& o) { o.axis = 1; }));
     },
     {{1, 2, 3, 4}, {5, 6}},
     {1, 3, 2},
     {1, 2, 3, 4, 5, 6}},
    // The last axis, counted from the end: each row of the first, then the same row of the second.
    {"concatenation_last_axis",
     [](GraphBuilder& b) {
       return b.op(OpType::concatenation, {b.input({2, 1}), b.input({2, 2})}, with([](OpOptions& o) { o.axis = -1; }));
     },
     {{1, 2}, {3, 4, 5, 6}},
     {2, 3},
     {1, 3, 4, 2, 5, 6}},
};

// A transform matrix m, row-major 4x4, takes a grid point (u, v) to (m0 u + m1 v + m3,
// m4 u + m5 v + m7).
const std::vector<float> kQuarterTurn = {0, -1, 0, 1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};  // (u, v) -> (1 - v, u)

const KnownAnswer kLandmarkOperators[] = {
    // Points (0, 0), (4, 0), (4, 2), level already: the box x 0..4, y 0..2, centre (2, 1). A 4x2
    // grid scaled twice: one grid step is 2 * 4/4 across and 2 * 2/2 down, and the grid's centre
    // (2, 1) lands on the box's: x = 2 + 2 (u - 2) = 2u - 2, y = 1 + 2 (v - 1) = 2v - 1.
    {"landmarks_to_transform_matrix_level",
     [](GraphBuilder& b) {
       OpOptions o;
       o.crop = {.subset = {0, 1, 2},
                 .leftIndex = 0,
                 .rightIndex = 1,
                 .scaleX = 2,
                 .scaleY = 2,
                 .outputHeight = 2,
                 .outputWidth = 4};
       return b.op(OpType::landmarksToTransformMatrix, {b.input({1, 3, 2})}, o);
     },
     {{0, 0, 4, 0, 4, 2}},
     {1, 4, 4},
     {2, 0, 0, -2, 0, 2, 0, -1, 0, 0, 1, 0, 0, 0, 0, 1}},
    // Left (0, 0) to right (0, 2) points down the picture, so the grid's u runs along +y; with
    // (1, 1) the points span x 0..1, y 0..2. A 2x1 grid at scale 1: its corners (0, 0), (2, 0),
    // (0, 1), (2, 1) go to (1, 0), (1, 2), (0, 0), (0, 2): x = 1 - v, y = u.
    {"landmarks_to_transform_matrix_turned",
     [](GraphBuilder& b) {
       OpOptions o;
       o.crop = {.subset = {0, 1, 2}, .leftIndex = 0, .rightIndex = 1, .outputHeight = 1, .outputWidth = 2};
       return b.op(OpType::landmarksToTransformMatrix, {b.input({1, 3, 3})}, o);
     },
     {{0, 0, 9, 0, 2, 9, 1, 1, 9}},
     {1, 4, 4},
     kQuarterTurn},
    // (1, 0, 7) and (2, 1, 9) through x = 1 - y, y = x; the depth passes unchanged.
    {"transform_landmarks",
     [](GraphBuilder& b) {
       return b.op(OpType::transformLandmarks, {b.input({1, 2, 3}), b.constant({1, 4, 4}, kQuarterTurn)});
     },
     {{1, 0, 7, 2, 1, 9}},
     {1, 2, 3},
     {1, 1, 7, 0, 2, 9}},
    // The map v(y, x) = 10y + x, 2x3, sampled at the centres of a 2x3 grid moved half a cell right:
    // cell (u, v) reads (u + 0.5 + 0.5, v + 0.5) less half a map cell, (u + 0.5, v): 0.5, 1.5, 10.5,
    // 11.5 (bilinear, exact on a linear map); u = 2 reads x = 2.5, outside the map: 0.
    {"transform_tensor_bilinear",
     [](GraphBuilder& b) {
       OpOptions o;
       o.crop.outputHeight = 2;
       o.crop.outputWidth = 3;
       return b.op(OpType::transformTensorBilinear,
                   {b.input({1, 2, 3, 1}), b.constant({1, 4, 4}, {1, 0, 0, 0.5f, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1})},
                   o);
     },
     {{0, 1, 2, 10, 11, 12}},
     {1, 2, 3, 1},
     {0.5f, 1.5f, 0, 10.5f, 11.5f, 0}},
};

class KnownAnswers : public ::testing::TestWithParam<KnownAnswer> {
 protected:
  // The case's graph, its output shape checked.
  Graph graph(int* output) {
    GraphBuilder builder;
    *output = GetParam().build(builder);
    EXPECT_GE(*output, 0) << "the case builds an operation the shape rules refuse";
    if (*output < 0) return {};
    builder.output(*output);
    EXPECT_EQ(builder.graph().tensors[*output].shape, GetParam().shape);
    return builder.graph();
  }

  void expectAnswer(const float* got, size_t count, float tolerance) {
    const std::vector<float>& want = GetParam().expected;
    ASSERT_EQ(count, want.size());
    for (size_t i = 0; i < want.size(); ++i) {
      EXPECT_NEAR(got[i], want[i], tolerance * (1 + std::fabs(want[i]))) << "element " << i;
    }
  }
};

TEST_P(KnownAnswers, ReferenceLoopGivesThem) {
  int output = -1;
  Graph g = graph(&output);
  ASSERT_GE(output, 0);
  Result<void> prepared = prepareGraph(&g);
  ASSERT_TRUE(prepared.ok()) << prepared.error().description;
  auto values = evaluateReference(g, GetParam().inputs);
  ASSERT_TRUE(values.ok()) << values.error().description;
  expectAnswer(values.value()[output].data(), values.value()[output].size(), 1e-6f);
}

// The runtime's own kernels and XNNPACK's, on the same answers.
TEST_P(KnownAnswers, RuntimeGivesThem) {
  int output = -1;
  Graph g = graph(&output);
  ASSERT_GE(output, 0);
  auto model = buildModel(g, Threads::one);
  ASSERT_TRUE(model.ok()) << model.error().description;
  ASSERT_EQ(model.value()->inputCount(), GetParam().inputs.size());
  for (size_t i = 0; i < GetParam().inputs.size(); ++i) {
    ASSERT_EQ(model.value()->inputShape(i).elementCount(), GetParam().inputs[i].size()) << "input " << i;
    std::copy(GetParam().inputs[i].begin(), GetParam().inputs[i].end(), model.value()->input(i));
  }
  Result<void> ran = model.value()->run();
  ASSERT_TRUE(ran.ok()) << ran.error().description;
  expectAnswer(model.value()->output(0), model.value()->outputShape(0).elementCount(), 1e-5f);
}

std::string caseName(const ::testing::TestParamInfo<KnownAnswer>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Convolution, KnownAnswers, ::testing::ValuesIn(kConvolutions), caseName);
INSTANTIATE_TEST_SUITE_P(TransposedConvolution, KnownAnswers, ::testing::ValuesIn(kTransposedConvolutions), caseName);
INSTANTIATE_TEST_SUITE_P(Pooling, KnownAnswers, ::testing::ValuesIn(kPoolings), caseName);
INSTANTIATE_TEST_SUITE_P(Resize, KnownAnswers, ::testing::ValuesIn(kResizes), caseName);
INSTANTIATE_TEST_SUITE_P(MatrixProduct, KnownAnswers, ::testing::ValuesIn(kMatrixProducts), caseName);
INSTANTIATE_TEST_SUITE_P(Elementwise, KnownAnswers, ::testing::ValuesIn(kElementwise), caseName);
INSTANTIATE_TEST_SUITE_P(Normalisation, KnownAnswers, ::testing::ValuesIn(kNormalisations), caseName);
INSTANTIATE_TEST_SUITE_P(Rearrangement, KnownAnswers, ::testing::ValuesIn(kRearrangements), caseName);
INSTANTIATE_TEST_SUITE_P(LandmarkOperators, KnownAnswers, ::testing::ValuesIn(kLandmarkOperators), caseName);

}  // namespace
}  // namespace platform::nn
