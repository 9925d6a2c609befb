// Output shapes against numbers worked out by hand: the runtime sizes its buffers from these, and
// the operation tests build their graphs with them, so they must be right on their own.
#include "platform/nn/graph/output_shape.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/errors.h"
#include "platform/nn/model_errors.h"
#include "platform/nn/testing/test_graphs.h"

namespace platform::nn {
namespace {

using testing::GraphBuilder;

// An operation on tensors made in a builder, and what it should compute or why it should fail.
struct ShapeCase {
  const char* name;
  std::function<Operation(GraphBuilder&)> build;
  std::vector<int> shape;  // empty when the operation is refused
  ModelError error = ModelError::malformed;
  const char* message = "";
};

OpOptions window(int size, int stride, Padding padding, int dilation = 1) {
  OpOptions o;
  o.filterH = o.filterW = size;
  o.strideH = o.strideW = stride;
  o.dilationH = o.dilationW = dilation;
  o.padding = padding;
  return o;
}

OpOptions with(void (*set)(OpOptions&)) {
  OpOptions o;
  set(o);
  return o;
}

const Padding same = Padding::same;
const Padding valid = Padding::valid;

const ShapeCase kComputed[] = {
    // SAME: ceil(size / stride); VALID: (size - (k - 1) * dilation - 1) / stride + 1.
    {"conv_same_stride2_odd",
     [](GraphBuilder& b) {
       return Operation{
           OpType::conv2d, {b.input({1, 9, 7, 4}), b.weights({6, 3, 3, 4}), b.weights({6})}, {}, window(1, 2, same)};
     },
     {1, 5, 4, 6}},
    {"conv_valid_stride2",
     [](GraphBuilder& b) {
       return Operation{
           OpType::conv2d, {b.input({2, 11, 12, 3}), b.weights({5, 5, 5, 3}), -1}, {}, window(1, 2, valid)};
     },
     {2, 4, 4, 5}},
    {"conv_valid_dilated",
     [](GraphBuilder& b) {
       return Operation{OpType::conv2d,
                        {b.input({1, 10, 9, 2}), b.weights({4, 3, 3, 2}), b.weights({4})},
                        {},
                        window(1, 1, valid, 2)};
     },
     {1, 6, 5, 4}},
    {"depthwise_multiplier2",
     [](GraphBuilder& b) {
       OpOptions o = window(1, 1, valid);
       o.depthMultiplier = 2;
       return Operation{
           OpType::depthwiseConv2d, {b.input({1, 6, 7, 3}), b.weights({1, 3, 3, 6}), b.weights({6})}, {}, o};
     },
     {1, 4, 5, 6}},
    // Transposed: SAME gives size * stride, VALID (size - 1) * stride + k.
    {"transpose_conv_same",
     [](GraphBuilder& b) {
       return Operation{OpType::transposeConvBias,
                        {b.input({1, 4, 5, 6}), b.weights({3, 2, 2, 6}), b.weights({3})},
                        {},
                        window(1, 2, same)};
     },
     {1, 8, 10, 3}},
    {"transpose_conv_valid",
     [](GraphBuilder& b) {
       return Operation{OpType::transposeConvBias,
                        {b.input({1, 3, 2, 2}), b.weights({5, 4, 4, 2}), b.weights({5})},
                        {},
                        window(1, 2, valid)};
     },
     {1, 8, 6, 5}},
    {"average_pool_valid",
     [](GraphBuilder& b) {
       return Operation{OpType::averagePool2d, {b.input({1, 8, 7, 5})}, {}, window(2, 2, valid)};
     },
     {1, 4, 3, 5}},
    {"max_pool_same_odd",
     [](GraphBuilder& b) {
       return Operation{OpType::maxPool2d, {b.input({1, 7, 9, 4})}, {}, window(3, 2, same)};
     },
     {1, 4, 5, 4}},
    {"add_broadcasts_a_channel_vector",
     [](GraphBuilder& b) {
       return Operation{OpType::add, {b.input({1, 4, 5, 6}), b.weights({6})}, {}, {}};
     },
     {1, 4, 5, 6}},
    {"mul_broadcasts_both_ways",
     [](GraphBuilder& b) {
       return Operation{OpType::mul, {b.input({1, 4, 5, 1}), b.input({1, 1, 1, 6})}, {}, {}};
     },
     {1, 4, 5, 6}},
    {"hard_swish_keeps_the_shape",
     [](GraphBuilder& b) {
       return Operation{OpType::hardSwish, {b.input({1, 3, 4, 5})}, {}, {}};
     },
     {1, 3, 4, 5}},
    {"mean_keep_dims",
     [](GraphBuilder& b) {
       return Operation{OpType::mean, {b.input({2, 5, 7, 6}), b.ints({2}, {2, 1})}, {}, with([](OpOptions& o) {
                          o.keepDims = true;
                        })};
     },
     {2, 1, 1, 6}},
    {"mean_drops_height_and_width",
     [](GraphBuilder& b) {
       return Operation{OpType::mean, {b.input({2, 5, 7, 6}), b.ints({2}, {-3, -2})}, {}, {}};
     },
     {2, 6}},
    {"pad_before_and_after",
     [](GraphBuilder& b) {
       return Operation{OpType::pad, {b.input({1, 3, 4, 2}), b.ints({4, 2}, {0, 0, 0, 1, 2, 1, 0, 3})}, {}, {}};
     },
     {1, 4, 7, 5}},
    {"resize_to_the_given_size",
     [](GraphBuilder& b) {
       return Operation{OpType::resizeBilinear, {b.input({1, 4, 5, 3}), b.ints({2}, {9, 7})}, {}, {}};
     },
     {1, 9, 7, 3}},
    {"concatenation_sums_the_axis",
     [](GraphBuilder& b) {
       return Operation{OpType::concatenation,
                        {b.input({1, 4, 16}), b.input({1, 2, 16}), b.input({1, 5, 16})},
                        {},
                        with([](OpOptions& o) { o.axis = 1; })};
     },
     {1, 11, 16}},
    {"concatenation_last_axis_counted_from_the_end",
     [](GraphBuilder& b) {
       return Operation{OpType::concatenation,
                        {b.input({1, 3, 3, 4}), b.input({1, 3, 3, 3})},
                        {},
                        with([](OpOptions& o) { o.axis = -1; })};
     },
     {1, 3, 3, 7}},
    {"fully_connected_flattens",
     [](GraphBuilder& b) {
       return Operation{OpType::fullyConnected, {b.input({2, 2, 2, 8}), b.weights({5, 32}), b.weights({5})}, {}, {}};
     },
     {2, 5}},
    {"fully_connected_keep_dims",
     [](GraphBuilder& b) {
       return Operation{OpType::fullyConnected, {b.input({1, 3, 8}), b.weights({4, 8}), -1}, {}, with([](OpOptions& o) {
                          o.keepDims = true;
                        })};
     },
     {1, 3, 4}},
    {"depth_to_space",
     [](GraphBuilder& b) {
       return Operation{
           OpType::depthToSpace, {b.input({1, 3, 4, 12})}, {}, with([](OpOptions& o) { o.blockSize = 2; })};
     },
     {1, 6, 8, 3}},
    // Strided slices: begin and end from the end when negative, clamped, masks take the whole
    // extent; a backward stride walks from begin down to just above end.
    {"strided_slice_forward_backward_masked",
     [](GraphBuilder& b) {
       OpOptions o;
       o.beginMask = 0b0001;
       o.endMask = 0b1000;
       return Operation{OpType::stridedSlice,
                        {b.input({4, 10, 9, 7}), b.ints({4}, {3, -8, 8, 2}), b.ints({4}, {3, 100, -10, 0}),
                         b.ints({4}, {2, 3, -3, 2})},
                        {},
                        o};
     },
     {2, 3, 3, 3}},
    {"strided_slice_empty_when_begin_passes_end",
     [](GraphBuilder& b) {
       return Operation{OpType::stridedSlice,
                        {b.input({5, 6}), b.ints({2}, {4, 0}), b.ints({2}, {2, 6}), b.ints({2}, {1, 1})},
                        {},
                        {}};
     },
     {0, 6}},
    {"landmarks_to_transform_matrix",
     [](GraphBuilder& b) {
       return Operation{
           OpType::landmarksToTransformMatrix, {b.input({1, 468, 3})}, {}, with([](OpOptions& o) {
             o.crop = {.subset = {61, 291}, .leftIndex = 61, .rightIndex = 291, .outputHeight = 16, .outputWidth = 16};
           })};
     },
     {1, 4, 4}},
    {"transform_tensor_bilinear",
     [](GraphBuilder& b) {
       return Operation{OpType::transformTensorBilinear,
                        {b.input({1, 48, 48, 32}), b.input({1, 4, 4})},
                        {},
                        with([](OpOptions& o) { o.crop.outputHeight = 16, o.crop.outputWidth = 12; })};
     },
     {1, 16, 12, 32}},
    {"transform_landmarks",
     [](GraphBuilder& b) {
       return Operation{OpType::transformLandmarks, {b.input({1, 71, 2}), b.input({1, 4, 4})}, {}, {}};
     },
     {1, 71, 2}},
};

const ShapeCase kRefused[] = {
    {"conv_weights_for_other_channels",
     [](GraphBuilder& b) {
       return Operation{
           OpType::conv2d, {b.input({1, 8, 8, 3}), b.weights({4, 3, 3, 2}), b.weights({4})}, {}, window(1, 1, same)};
     },
     {},
     ModelError::malformed,
     "do not fit input [1,8,8,3]"},
    {"conv_bias_for_other_channels",
     [](GraphBuilder& b) {
       return Operation{
           OpType::conv2d, {b.input({1, 8, 8, 3}), b.weights({4, 3, 3, 3}), b.weights({5})}, {}, window(1, 1, same)};
     },
     {},
     ModelError::malformed,
     "bias does not fit"},
    {"conv_with_computed_weights",
     [](GraphBuilder& b) {
       return Operation{OpType::conv2d, {b.input({1, 8, 8, 3}), b.input({4, 3, 3, 3}), -1}, {}, window(1, 1, same)};
     },
     {},
     ModelError::unsupported,
     "constant 4-D float weights"},
    {"valid_kernel_larger_than_the_input",
     [](GraphBuilder& b) {
       return Operation{OpType::conv2d, {b.input({1, 2, 8, 3}), b.weights({4, 3, 3, 3}), -1}, {}, window(1, 1, valid)};
     },
     {},
     ModelError::malformed,
     "larger than its input"},
    {"zero_stride",
     [](GraphBuilder& b) {
       return Operation{OpType::maxPool2d, {b.input({1, 8, 8, 3})}, {}, window(2, 0, valid)};
     },
     {},
     ModelError::malformed,
     "invalid stride"},
    {"add_of_shapes_that_do_not_broadcast",
     [](GraphBuilder& b) {
       return Operation{OpType::add, {b.input({1, 4, 5, 6}), b.input({1, 4, 5, 3})}, {}, {}};
     },
     {},
     ModelError::malformed,
     "cannot broadcast [1,4,5,6] with [1,4,5,3]"},
    {"mean_over_channels",
     [](GraphBuilder& b) {
       return Operation{OpType::mean, {b.input({1, 5, 7, 6}), b.ints({2}, {1, 3})}, {}, {}};
     },
     {},
     ModelError::unsupported,
     "only over height and width"},
    {"negative_padding",
     [](GraphBuilder& b) {
       return Operation{OpType::pad, {b.input({1, 3, 4, 2}), b.ints({4, 2}, {0, 0, -1, 0, 0, 0, 0, 0})}, {}, {}};
     },
     {},
     ModelError::malformed,
     "invalid paddings"},
    {"concatenation_of_other_heights",
     [](GraphBuilder& b) {
       return Operation{OpType::concatenation,
                        {b.input({1, 3, 3, 4}), b.input({1, 2, 3, 4})},
                        {},
                        with([](OpOptions& o) { o.axis = 3; })};
     },
     {},
     ModelError::malformed,
     "inputs differ in shape"},
    {"fully_connected_of_a_size_the_weights_do_not_divide",
     [](GraphBuilder& b) {
       return Operation{OpType::fullyConnected, {b.input({1, 30}), b.weights({5, 8}), -1}, {}, {}};
     },
     {},
     ModelError::malformed,
     "does not fit weights [5,8]"},
    {"depth_the_block_does_not_divide",
     [](GraphBuilder& b) {
       return Operation{OpType::depthToSpace, {b.input({1, 3, 4, 6})}, {}, with([](OpOptions& o) { o.blockSize = 2; })};
     },
     {},
     ModelError::malformed,
     "block size divides"},
    // Integer constants (shapes, paddings, axes) hold no float values for a kernel to read.
    {"concatenation_of_an_integer_constant",
     [](GraphBuilder& b) {
       return Operation{OpType::concatenation,
                        {b.input({1, 4}), b.ints({1, 4}, {1, 2, 3, 4})},
                        {},
                        with([](OpOptions& o) { o.axis = 1; })};
     },
     {},
     ModelError::malformed,
     "holds no float values"},
    {"relu_of_an_integer_constant",
     [](GraphBuilder& b) {
       return Operation{OpType::relu, {b.ints({1, 4}, {1, 2, 3, 4})}, {}, {}};
     },
     {},
     ModelError::malformed,
     "holds no float values"},
    {"load_time_operation",
     [](GraphBuilder& b) {
       return Operation{OpType::dequantize, {b.weights({4})}, {}, {}};
     },
     {},
     ModelError::unsupported,
     "is not run by this runtime"},
    {"no_input",
     [](GraphBuilder&) {
       return Operation{OpType::relu, {-1}, {}, {}};
     },
     {},
     ModelError::malformed,
     "has no input"},
    {"strided_slice_zero_stride",
     [](GraphBuilder& b) {
       return Operation{OpType::stridedSlice,
                        {b.input({5, 6}), b.ints({2}, {0, 0}), b.ints({2}, {5, 6}), b.ints({2}, {1, 0})},
                        {},
                        {}};
     },
     {},
     ModelError::malformed,
     "stride of 0"},
    {"strided_slice_bounds_for_fewer_dimensions",
     [](GraphBuilder& b) {
       return Operation{
           OpType::stridedSlice, {b.input({5, 6}), b.ints({1}, {0}), b.ints({1}, {5}), b.ints({1}, {1})}, {}, {}};
     },
     {},
     ModelError::unsupported,
     "one per dimension"},
    // A crop that names a landmark past the input would read outside it.
    {"landmark_crop_past_the_landmarks",
     [](GraphBuilder& b) {
       return Operation{
           OpType::landmarksToTransformMatrix, {b.input({1, 468, 3})}, {}, with([](OpOptions& o) {
             o.crop = {.subset = {1, 468}, .leftIndex = 0, .rightIndex = 1, .outputHeight = 16, .outputWidth = 16};
           })};
     },
     {},
     ModelError::malformed,
     "a landmark that the input does not have"},
    {"landmark_crop_of_no_size",
     [](GraphBuilder& b) {
       return Operation{OpType::landmarksToTransformMatrix, {b.input({1, 8, 3})}, {}, with([](OpOptions& o) {
                          o.crop = {.subset = {1}, .outputHeight = 16};
                        })};
     },
     {},
     ModelError::malformed,
     "invalid output size"},
    {"bilinear_with_a_matrix_of_another_shape",
     [](GraphBuilder& b) {
       return Operation{OpType::transformTensorBilinear,
                        {b.input({1, 8, 8, 4}), b.input({1, 3, 4})},
                        {},
                        with([](OpOptions& o) { o.crop.outputHeight = 4, o.crop.outputWidth = 4; })};
     },
     {},
     ModelError::unsupported,
     "a 4x4 matrix"},
    {"landmarks_of_four_values",
     [](GraphBuilder& b) {
       return Operation{OpType::transformLandmarks, {b.input({1, 5, 4}), b.input({1, 4, 4})}, {}, {}};
     },
     {},
     ModelError::unsupported,
     "[1, count, 2 or 3]"},
};

void PrintTo(const ShapeCase& c, std::ostream* os) { *os << c.name; }
std::string caseName(const ::testing::TestParamInfo<ShapeCase>& info) { return info.param.name; }

class ComputedShapeTest : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(ComputedShapeTest, IsTheOneWorkedOutByHand) {
  GraphBuilder builder;
  Operation op = GetParam().build(builder);
  Result<std::vector<int>> shape = inferOutputShape(builder.graph(), op);
  ASSERT_TRUE(shape.ok()) << shape.error().description;
  EXPECT_EQ(shape.value(), GetParam().shape);
}

INSTANTIATE_TEST_SUITE_P(Table, ComputedShapeTest, ::testing::ValuesIn(kComputed), caseName);

class RefusedShapeTest : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(RefusedShapeTest, SaysWhyUnderTheRuntimesDomain) {
  GraphBuilder builder;
  Operation op = GetParam().build(builder);
  Result<std::vector<int>> shape = inferOutputShape(builder.graph(), op);
  ASSERT_FALSE(shape.ok());
  EXPECT_EQ(shape.error().domain, kModelDomain);
  EXPECT_EQ(shape.error().code, static_cast<int64_t>(GetParam().error)) << shape.error().description;
  EXPECT_NE(shape.error().description.find(GetParam().message), std::string::npos) << shape.error().description;
}

INSTANTIATE_TEST_SUITE_P(Table, RefusedShapeTest, ::testing::ValuesIn(kRefused), caseName);

}  // namespace
}  // namespace platform::nn
