// Every operator the runtime runs, declared once: its name, the operators of the model files that
// become it, and where it runs. platform/nn/README.md says how to add one.
//
// Each operator also has a shape rule (graph/output_shape.cc), a kernel where its engine says, a
// reference loop (reference/reference_ops.cc) and, when a .tflite file holds it, an options reader
// (formats/tflite/tflite_reader.cc). Each of those is a case of a switch over OpType with no
// default, and the rooms compile with -Werror=switch: a row added here without them does not build.
#pragma once

#include "platform/nn/internal_only.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

namespace platform::nn {

// Where an operator runs.
enum class Engine {
  xnnpack,    // as XNNPACK nodes inside a segment (execution/segment_operators.cc)
  ownKernel,  // as a kernel of our own between segments (kernels/own_kernels.cc)
  loadTime,   // folded into constants by prepareGraph (graph/graph_preparation.cc); never runs
};

// X(type, name, engine, TFLite builtin, TFLite custom name, custom version, ONNX op types)
//   name     how messages, tools and tests print it; TFLite's own spelling where TFLite has one
//   builtin  the TFLite builtin operator code read as this operator, or -1. A TFLite operator the
//            runtime has only met in ONNX models (SOFTMAX, with its beta; SUB; TRANSPOSE) stays -1
//            until the reader takes its options and a test covers it
//   custom   the TFLite custom operator (MediaPipe's) read as this one, or ""; version: the version
//            whose inputs and options the reader follows, 0 for any
//   onnx     the ONNX op types whose translation gives it (formats/onnx/onnx_operators.cc),
//            fused patterns named by the node they start at
// clang-format off
#define PLATFORM_NN_OPERATORS(X)                                                                                      \
  X(add,                        "ADD",                        xnnpack,   0,   "",                           0,        \
    "Add Sub BatchNormalization HardSigmoid")                                                                         \
  X(averagePool2d,              "AVERAGE_POOL_2D",            xnnpack,   1,   "",                           0,        \
    "AveragePool")                                                                                                    \
  X(batchMatMul,                "BATCH_MATMUL",               ownKernel, -1,  "",                           0,        \
    "MatMul")  /* [..., m, k] x [..., k, n], both computed (attention) */                                             \
  X(concatenation,              "CONCATENATION",              ownKernel, 2,   "",                           0,        \
    "Concat")                                                                                                         \
  X(conv2d,                     "CONV_2D",                    xnnpack,   3,   "",                           0,        \
    "Conv")                                                                                                           \
  X(densify,                    "DENSIFY",                    loadTime,  124, "",                           0,        \
    "")  /* a sparse constant made dense */                                                                           \
  X(depthToSpace,               "DEPTH_TO_SPACE",             xnnpack,   5,   "",                           0,        \
    "")                                                                                                               \
  X(depthwiseConv2d,            "DEPTHWISE_CONV_2D",          xnnpack,   4,   "",                           0,        \
    "Conv")                                                                                                           \
  X(dequantize,                 "DEQUANTIZE",                 loadTime,  6,   "",                           0,        \
    "")  /* float16 constants widened */                                                                              \
  X(div,                        "DIV",                        xnnpack,   -1,  "",                           0,        \
    "Div")                                                                                                            \
  X(fullyConnected,             "FULLY_CONNECTED",            xnnpack,   9,   "",                           0,        \
    "MatMul")                                                                                                         \
  X(hardSwish,                  "HARD_SWISH",                 xnnpack,   117, "",                           0,        \
    "Add")                                                                                                            \
  X(landmarksToTransformMatrix, "Landmarks2TransformMatrix",  ownKernel, -1,  "Landmarks2TransformMatrix",  2,        \
    "")  /* MediaPipe's crop around landmarks, as a 4x4 matrix */                                                     \
  X(layerNorm,                  "LAYER_NORM",                 ownKernel, -1,  "",                           0,        \
    "ReduceMean")  /* over the last dimension; inputs x, scale, shift */                                              \
  X(logistic,                   "LOGISTIC",                   xnnpack,   14,  "",                           0,        \
    "Sigmoid")                                                                                                        \
  X(maxPool2d,                  "MAX_POOL_2D",                xnnpack,   17,  "",                           0,        \
    "MaxPool")                                                                                                        \
  X(mean,                       "MEAN",                       xnnpack,   40,  "",                           0,        \
    "GlobalAveragePool")  /* over height and width only */                                                            \
  X(mul,                        "MUL",                        xnnpack,   18,  "",                           0,        \
    "Mul Div Pow BatchNormalization HardSigmoid")                                                                     \
  X(pad,                        "PAD",                        xnnpack,   34,  "",                           0,        \
    "")                                                                                                               \
  X(prelu,                      "PRELU",                      xnnpack,   54,  "",                           0,        \
    "")                                                                                                               \
  X(relu,                       "RELU",                       xnnpack,   19,  "",                           0,        \
    "Relu Clip")                                                                                                      \
  X(relu6,                      "RELU6",                      xnnpack,   21,  "",                           0,        \
    "Clip")                                                                                                           \
  X(reshape,                    "RESHAPE",                    xnnpack,   22,  "",                           0,        \
    "Reshape Squeeze Unsqueeze Flatten Transpose")                                                                    \
  X(resizeBilinear,             "RESIZE_BILINEAR",            xnnpack,   23,  "",                           0,        \
    "")                                                                                                               \
  X(resizeNearest,              "RESIZE_NEAREST",             xnnpack,   -1,  "",                           0,        \
    "Resize Upsample")  /* by a whole factor (blockSize) in height and width */                                       \
  X(slice,                      "SLICE",                      ownKernel, -1,  "",                           0,        \
    "Slice")  /* inputs x and constant begins; the declared output gives the sizes */                                 \
  X(softmax,                    "SOFTMAX",                    xnnpack,   -1,  "",                           0,        \
    "Softmax")  /* over the last dimension */                                                                         \
  X(stridedSlice,               "STRIDED_SLICE",              ownKernel, 45,  "",                           0,        \
    "")                                                                                                               \
  X(sub,                        "SUB",                        xnnpack,   -1,  "",                           0,        \
    "Sub")                                                                                                            \
  X(transformLandmarks,         "TransformLandmarks",         ownKernel, -1,  "TransformLandmarks",         2,        \
    "")  /* MediaPipe's: landmarks carried through a 4x4 matrix */                                                    \
  X(transformTensorBilinear,    "TransformTensorBilinear",    ownKernel, -1,  "TransformTensorBilinear",    2,        \
    "")  /* MediaPipe's: a map sampled on a crop given as a 4x4 matrix */                                             \
  X(transpose,                  "TRANSPOSE",                  ownKernel, -1,  "",                           0,        \
    "Transpose")  /* inputs x and a constant permutation */                                                           \
  X(transposeConvBias,          "Convolution2DTransposeBias", xnnpack,   -1,  "Convolution2DTransposeBias", 0,        \
    "ConvTranspose")  /* MediaPipe's transposed convolution with a bias */
// clang-format on

enum class OpType {
#define PLATFORM_NN_OPERATOR_TYPE(type, ...) type,
  PLATFORM_NN_OPERATORS(PLATFORM_NN_OPERATOR_TYPE)
#undef PLATFORM_NN_OPERATOR_TYPE
};

// One row of the table.
struct OperatorInfo {
  OpType type;
  std::string_view name;
  Engine engine;
  int32_t tfliteBuiltin;          // -1 when no builtin is read as this operator
  std::string_view tfliteCustom;  // "" when no custom operator is
  int32_t customVersion;          // 0 for any version
  std::string_view onnxOpTypes;   // separated by spaces
};

// The rows in the order of OpType, so that a type indexes its row.
inline constexpr OperatorInfo kOperators[] = {
#define PLATFORM_NN_OPERATOR_ROW(type, name, engine, builtin, custom, version, onnx) \
  {OpType::type, name, Engine::engine, builtin, custom, version, onnx},
    PLATFORM_NN_OPERATORS(PLATFORM_NN_OPERATOR_ROW)
#undef PLATFORM_NN_OPERATOR_ROW
};

inline constexpr size_t kOperatorCount = std::size(kOperators);

constexpr const OperatorInfo& operatorInfo(OpType type) { return kOperators[static_cast<size_t>(type)]; }

constexpr std::string_view opName(OpType type) { return operatorInfo(type).name; }

}  // namespace platform::nn
