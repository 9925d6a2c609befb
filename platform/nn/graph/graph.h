// A model as a plain graph of tensors and operations, independent of the file it came from and of
// the engine that runs it. The .tflite reader and the ONNX translation produce one; tests build
// small ones by hand.
// Plain values with no shared state: a Graph may be read from several threads while none writes it.
#pragma once

#include "platform/nn/internal_only.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/nn/graph/operators.h"
#include "platform/result.h"

namespace platform::nn {

// A shape as people read it, e.g. "[1,192,192,3]".
std::string shapeText(const std::vector<int>& shape);

enum class Padding { same, valid };
enum class Activation { none, relu, reluMinus1To1, relu6 };

// The crop that landmarksToTransformMatrix places around some landmarks: turned so that the line
// from landmark `leftIndex` to `rightIndex` lies at `targetRotation` radians, just covering the
// landmarks in `subset`, then scaled by scaleX and scaleY. Its 4x4 matrix takes a point of an
// outputWidth x outputHeight grid laid over the crop to the landmarks' coordinates.
// transformTensorBilinear reads outputHeight and outputWidth as the size of the map it samples.
struct LandmarkCrop {
  std::vector<int> subset;
  int leftIndex = 0, rightIndex = 0;
  float targetRotation = 0;
  float scaleX = 1, scaleY = 1;
  int outputHeight = 0, outputWidth = 0;
};

// The options of every operation type in one flat record; each type reads the fields it needs.
struct OpOptions {
  Padding padding = Padding::valid;
  // Zeros added around the input before the VALID rule applies (ONNX's explicit padding).
  int padTop = 0, padBottom = 0, padLeft = 0, padRight = 0;
  int strideH = 1, strideW = 1;
  int dilationH = 1, dilationW = 1;
  int filterH = 1, filterW = 1;  // pooling window
  int depthMultiplier = 1;
  Activation activation = Activation::none;
  int axis = 0;               // concatenation
  bool alignCorners = false;  // resize bilinear
  bool halfPixelCenters = false;
  bool keepDims = false;  // mean, fully connected
  int blockSize = 1;      // depth to space, resize nearest
  float epsilon = 0;      // layer normalisation
  // Strided slice: bit d set takes dimension d from its start (begin) or to its end (end).
  int beginMask = 0, endMask = 0;
  LandmarkCrop crop;
};

// How a sparse constant is stored (TFLite's sparsity parameters): the dense shape is traversed in
// `traversalOrder`; each traversed dimension is either dense or compressed with segments/indices.
struct Sparsity {
  struct Dimension {
    bool dense = true;
    int denseSize = 0;
    std::vector<int> segments;
    std::vector<int> indices;
  };
  std::vector<int> traversalOrder;
  std::vector<int> blockMap;
  std::vector<Dimension> dimensions;
};

enum class DataType { float32, float16, int32, other };

struct Tensor {
  std::string name;
  std::vector<int> shape;
  DataType type = DataType::float32;
  // Constant values, widened to float32 when stored as float16; empty for computed tensors.
  std::vector<float> values;
  std::vector<int32_t> ints;         // constant int32 values (shapes, paddings, sizes)
  std::optional<Sparsity> sparsity;  // set when `values` holds a sparse constant
  bool constant = false;

  size_t elementCount() const;
};

struct Operation {
  OpType type = OpType::add;
  std::vector<int> inputs;  // tensor indices; -1 for an omitted optional input
  std::vector<int> outputs;
  OpOptions options;
};

struct Graph {
  std::vector<Tensor> tensors;
  std::vector<Operation> operations;  // in an order that computes every input before its use
  std::vector<int> inputs;
  std::vector<int> outputs;
};

// ModelError::malformed and ModelError::unsupported errors that name the operation they concern,
// e.g. "CONV_2D: has an invalid kernel size".
Error malformed(const Operation& op, const std::string& what);
Error unsupported(const Operation& op, const std::string& what);

}  // namespace platform::nn
