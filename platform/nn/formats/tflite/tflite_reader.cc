#include "platform/nn/formats/tflite/tflite_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "platform/nn/formats/half.h"
#include "platform/nn/formats/model_file.h"
#include "platform/nn/formats/tflite/flatbuffer.h"
#include "platform/nn/formats/tflite/flexbuffer.h"
#include "platform/nn/model_errors.h"

namespace platform::nn {
namespace {

using flatbuffer::Reader;
using flatbuffer::ScalarVector;
using flatbuffer::Table;

// Larger tensors than this are taken as a damaged file, not as something to allocate.
constexpr uint64_t kMaxTensorElements = uint64_t{1} << 28;
constexpr int kMaxRank = 6;

// Builtin operator codes of the TFLite schema that this reader names (enough for messages).
constexpr std::array<std::string_view, 127> kBuiltinNames = {"ADD",
                                                             "AVERAGE_POOL_2D",
                                                             "CONCATENATION",
                                                             "CONV_2D",
                                                             "DEPTHWISE_CONV_2D",
                                                             "DEPTH_TO_SPACE",
                                                             "DEQUANTIZE",
                                                             "EMBEDDING_LOOKUP",
                                                             "FLOOR",
                                                             "FULLY_CONNECTED",
                                                             "HASHTABLE_LOOKUP",
                                                             "L2_NORMALIZATION",
                                                             "L2_POOL_2D",
                                                             "LOCAL_RESPONSE_NORMALIZATION",
                                                             "LOGISTIC",
                                                             "LSH_PROJECTION",
                                                             "LSTM",
                                                             "MAX_POOL_2D",
                                                             "MUL",
                                                             "RELU",
                                                             "RELU_N1_TO_1",
                                                             "RELU6",
                                                             "RESHAPE",
                                                             "RESIZE_BILINEAR",
                                                             "RNN",
                                                             "SOFTMAX",
                                                             "SPACE_TO_DEPTH",
                                                             "SVDF",
                                                             "TANH",
                                                             "CONCAT_EMBEDDINGS",
                                                             "SKIP_GRAM",
                                                             "CALL",
                                                             "CUSTOM",
                                                             "EMBEDDING_LOOKUP_SPARSE",
                                                             "PAD",
                                                             "UNIDIRECTIONAL_SEQUENCE_RNN",
                                                             "GATHER",
                                                             "BATCH_TO_SPACE_ND",
                                                             "SPACE_TO_BATCH_ND",
                                                             "TRANSPOSE",
                                                             "MEAN",
                                                             "SUB",
                                                             "DIV",
                                                             "SQUEEZE",
                                                             "UNIDIRECTIONAL_SEQUENCE_LSTM",
                                                             "STRIDED_SLICE",
                                                             "BIDIRECTIONAL_SEQUENCE_RNN",
                                                             "EXP",
                                                             "TOPK_V2",
                                                             "SPLIT",
                                                             "LOG_SOFTMAX",
                                                             "DELEGATE",
                                                             "BIDIRECTIONAL_SEQUENCE_LSTM",
                                                             "CAST",
                                                             "PRELU",
                                                             "MAXIMUM",
                                                             "ARG_MAX",
                                                             "MINIMUM",
                                                             "LESS",
                                                             "NEG",
                                                             "PADV2",
                                                             "GREATER",
                                                             "GREATER_EQUAL",
                                                             "LESS_EQUAL",
                                                             "SELECT",
                                                             "SLICE",
                                                             "SIN",
                                                             "TRANSPOSE_CONV",
                                                             "SPARSE_TO_DENSE",
                                                             "TILE",
                                                             "EXPAND_DIMS",
                                                             "EQUAL",
                                                             "NOT_EQUAL",
                                                             "LOG",
                                                             "SUM",
                                                             "SQRT",
                                                             "RSQRT",
                                                             "SHAPE",
                                                             "POW",
                                                             "ARG_MIN",
                                                             "FAKE_QUANT",
                                                             "REDUCE_PROD",
                                                             "REDUCE_MAX",
                                                             "PACK",
                                                             "LOGICAL_OR",
                                                             "ONE_HOT",
                                                             "LOGICAL_AND",
                                                             "LOGICAL_NOT",
                                                             "UNPACK",
                                                             "REDUCE_MIN",
                                                             "FLOOR_DIV",
                                                             "REDUCE_ANY",
                                                             "SQUARE",
                                                             "ZEROS_LIKE",
                                                             "FILL",
                                                             "FLOOR_MOD",
                                                             "RANGE",
                                                             "RESIZE_NEAREST_NEIGHBOR",
                                                             "LEAKY_RELU",
                                                             "SQUARED_DIFFERENCE",
                                                             "MIRROR_PAD",
                                                             "ABS",
                                                             "SPLIT_V",
                                                             "UNIQUE",
                                                             "CEIL",
                                                             "REVERSE_V2",
                                                             "ADD_N",
                                                             "GATHER_ND",
                                                             "COS",
                                                             "WHERE",
                                                             "RANK",
                                                             "ELU",
                                                             "REVERSE_SEQUENCE",
                                                             "MATRIX_DIAG",
                                                             "QUANTIZE",
                                                             "MATRIX_SET_DIAG",
                                                             "ROUND",
                                                             "HARD_SWISH",
                                                             "IF",
                                                             "WHILE",
                                                             "NON_MAX_SUPPRESSION_V4",
                                                             "NON_MAX_SUPPRESSION_V5",
                                                             "SCATTER_ND",
                                                             "SELECT_V2",
                                                             "DENSIFY",
                                                             "SEGMENT_SUM",
                                                             "BATCH_MATMUL"};

// The operator of the table (graph/operators.h) that a builtin code or a custom operator's name
// stands for, or null.
const OperatorInfo* builtinOperator(int32_t code) {
  if (code < 0) return nullptr;  // -1 marks the rows that no builtin becomes
  for (const OperatorInfo& op : kOperators) {
    if (op.tfliteBuiltin == code) return &op;
  }
  return nullptr;
}

const OperatorInfo* customOperator(std::string_view name) {
  for (const OperatorInfo& op : kOperators) {
    if (!op.tfliteCustom.empty() && op.tfliteCustom == name) return &op;
  }
  return nullptr;
}

Padding readPadding(int8_t value) { return value == 0 ? Padding::same : Padding::valid; }

std::optional<Activation> readActivation(int8_t value) {
  switch (value) {
    case 0:
      return Activation::none;
    case 1:
      return Activation::relu;
    case 2:
      return Activation::reluMinus1To1;
    case 3:
      return Activation::relu6;
    default:
      return std::nullopt;  // TANH and SIGN_BIT are not fused by the runtime
  }
}

std::vector<int> readInts(const ScalarVector<int32_t>& v) {
  std::vector<int> out(v.size());
  for (uint32_t i = 0; i < v.size(); ++i) out[i] = v[i];
  return out;
}

// Reads a sparse index vector union member (Int32Vector, Uint16Vector or Uint8Vector).
std::vector<int> readIndexVector(uint8_t type, const Table& table) {
  std::vector<int> out;
  if (type == 1) {
    auto v = table.vector<int32_t>(0);
    for (uint32_t i = 0; i < v.size(); ++i) out.push_back(v[i]);
  } else if (type == 2) {
    auto v = table.vector<uint16_t>(0);
    for (uint32_t i = 0; i < v.size(); ++i) out.push_back(v[i]);
  } else if (type == 3) {
    auto v = table.vector<uint8_t>(0);
    for (uint32_t i = 0; i < v.size(); ++i) out.push_back(v[i]);
  }
  return out;
}

Sparsity readSparsity(const Table& table) {
  Sparsity sparsity;
  sparsity.traversalOrder = readInts(table.vector<int32_t>(0));
  sparsity.blockMap = readInts(table.vector<int32_t>(1));
  auto dims = table.tables(2);
  for (uint32_t i = 0; i < dims.size(); ++i) {
    Table dim = dims[i];
    Sparsity::Dimension d;
    d.dense = dim.scalar<int8_t>(0, 0) == 0;
    d.denseSize = dim.scalar<int32_t>(1, 0);
    d.segments = readIndexVector(dim.scalar<uint8_t>(2, 0), dim.table(3));
    d.indices = readIndexVector(dim.scalar<uint8_t>(4, 0), dim.table(5));
    sparsity.dimensions.push_back(std::move(d));
  }
  return sparsity;
}

// The bytes of buffer `index`: inline data, or a range of the file for models stored with
// buffers outside the flatbuffer.
std::optional<std::span<const uint8_t>> bufferBytes(Reader& reader, const Table& model, uint32_t index) {
  auto buffers = model.tables(4);
  if (index >= buffers.size()) return std::nullopt;
  Table buffer = buffers[index];
  auto data = buffer.vector<uint8_t>(0);
  if (!data.empty()) return std::span<const uint8_t>(data.bytes(), data.size());
  uint64_t offset = buffer.scalar<uint64_t>(1, 0);
  uint64_t size = buffer.scalar<uint64_t>(2, 0);
  if (offset > 1 && size > 0) {
    if (!reader.contains(offset, size)) return std::nullopt;
    return std::span<const uint8_t>(reader.at(offset), size);
  }
  return std::span<const uint8_t>();
}

// Copies a checked buffer of `elementSize`-byte elements into the tensor's constants, float16
// widened to float32.
void copyConstants(std::span<const uint8_t> bytes, size_t elementSize, Tensor* tensor) {
  size_t count = bytes.size() / elementSize;
  if (tensor->type == DataType::int32) {
    tensor->ints.resize(count);
    std::memcpy(tensor->ints.data(), bytes.data(), bytes.size());
  } else if (tensor->type == DataType::float32) {
    tensor->values.resize(count);
    std::memcpy(tensor->values.data(), bytes.data(), bytes.size());
  } else {
    tensor->values.resize(count);
    for (size_t i = 0; i < count; ++i) {
      uint16_t half;
      std::memcpy(&half, bytes.data() + 2 * i, 2);
      tensor->values[i] = halfToFloat(half);
    }
  }
}

Result<void> readTensor(Reader& reader, const Table& model, const Table& table, Tensor* tensor) {
  tensor->name = std::string(table.string(3));
  auto shape = table.vector<int32_t>(0);
  if (shape.size() > kMaxRank) return unsupported("tensor '" + tensor->name + "' has too many dimensions");
  uint64_t elements = 1;
  for (uint32_t i = 0; i < shape.size(); ++i) {
    if (shape[i] < 0) return malformed("tensor '" + tensor->name + "' has a negative dimension");
    elements *= static_cast<uint64_t>(shape[i]);
    if (elements > kMaxTensorElements) return malformed("tensor '" + tensor->name + "' is too large");
    tensor->shape.push_back(shape[i]);
  }
  int8_t type = table.scalar<int8_t>(1, 0);
  tensor->type = type == 0   ? DataType::float32
                 : type == 1 ? DataType::float16
                 : type == 2 ? DataType::int32
                             : DataType::other;
  auto bytes = bufferBytes(reader, model, table.scalar<uint32_t>(2, 0));
  if (!bytes) return malformed("tensor '" + tensor->name + "' refers to a missing or damaged buffer");
  if (bytes->empty()) return {};

  tensor->constant = true;
  Table sparsity = table.table(6);
  if (sparsity.present()) tensor->sparsity = readSparsity(sparsity);
  size_t elementSize = tensor->type == DataType::float32 || tensor->type == DataType::int32 ? 4
                       : tensor->type == DataType::float16                                  ? 2
                                                                                            : 0;
  if (elementSize == 0) {
    return unsupported("tensor '" + tensor->name + "' holds constants of an unsupported type");
  }
  if (bytes->size() % elementSize != 0 || (!tensor->sparsity && bytes->size() / elementSize != elements)) {
    return malformed("tensor '" + tensor->name + "' has a buffer of the wrong size");
  }
  if (bytes->size() / elementSize > kMaxTensorElements) {
    return malformed("tensor '" + tensor->name + "' is too large");
  }
  copyConstants(*bytes, elementSize, tensor);
  return {};
}

// The options of Landmarks2TransformMatrix and TransformTensorBilinear, kept in a FlexBuffers map.
Result<void> readLandmarkCrop(const Table& op, Operation* operation, std::string_view name) {
  auto bytes = op.vector<uint8_t>(5);
  std::optional<flexbuffer::Map> map = flexbuffer::Map::root(std::span<const uint8_t>(bytes.bytes(), bytes.size()));
  if (!map) return malformed(std::string(name) + " has no readable options");
  // Indices and sizes far beyond any tensor are taken as damage, not narrowed.
  constexpr int64_t kLimit = int64_t{1} << 28;
  auto index = [&](std::string_view key, int* out) {
    std::optional<int64_t> value = map->integer(key);
    if (!value || *value < 0 || *value > kLimit) return false;
    *out = static_cast<int>(*value);
    return true;
  };
  LandmarkCrop& crop = operation->options.crop;
  if (!index("output_height", &crop.outputHeight) || !index("output_width", &crop.outputWidth)) {
    return malformed(std::string(name) + " has no output size");
  }
  if (operation->type == OpType::transformTensorBilinear) return {};

  std::optional<std::vector<int64_t>> subset = map->integers("subset_idxs");
  std::optional<double> scaleX = map->number("scale_x");
  std::optional<double> scaleY = map->number("scale_y");
  if (!subset || !scaleX || !scaleY || !index("left_rotation_idx", &crop.leftIndex) ||
      !index("right_rotation_idx", &crop.rightIndex)) {
    return malformed(std::string(name) + " lacks an option");
  }
  for (int64_t i : *subset) {
    if (i < 0 || i > kLimit) return malformed(std::string(name) + " has a landmark index out of range");
    crop.subset.push_back(static_cast<int>(i));
  }
  crop.scaleX = static_cast<float>(*scaleX);
  crop.scaleY = static_cast<float>(*scaleY);
  crop.targetRotation = static_cast<float>(map->number("target_rotation_radians").value_or(0.0));
  return {};
}

// Reads the options of one operation, by its type.
Result<void> readOptions(const Table& op, Operation* operation, std::string_view name) {
  Table options = op.table(4);
  OpOptions& o = operation->options;
  auto activation = [&](int field) -> bool {
    auto a = readActivation(options.scalar<int8_t>(field, 0));
    if (a) o.activation = *a;
    return a.has_value();
  };
  bool ok = true;
  switch (operation->type) {
    case OpType::conv2d:
      o.padding = readPadding(options.scalar<int8_t>(0, 0));
      o.strideW = options.scalar<int32_t>(1, 1);
      o.strideH = options.scalar<int32_t>(2, 1);
      ok = activation(3);
      o.dilationW = options.scalar<int32_t>(4, 1);
      o.dilationH = options.scalar<int32_t>(5, 1);
      break;
    case OpType::depthwiseConv2d:
      o.padding = readPadding(options.scalar<int8_t>(0, 0));
      o.strideW = options.scalar<int32_t>(1, 1);
      o.strideH = options.scalar<int32_t>(2, 1);
      o.depthMultiplier = options.scalar<int32_t>(3, 1);
      ok = activation(4);
      o.dilationW = options.scalar<int32_t>(5, 1);
      o.dilationH = options.scalar<int32_t>(6, 1);
      break;
    case OpType::averagePool2d:
    case OpType::maxPool2d:
      o.padding = readPadding(options.scalar<int8_t>(0, 0));
      o.strideW = options.scalar<int32_t>(1, 1);
      o.strideH = options.scalar<int32_t>(2, 1);
      o.filterW = options.scalar<int32_t>(3, 1);
      o.filterH = options.scalar<int32_t>(4, 1);
      ok = activation(5);
      break;
    case OpType::fullyConnected:
      ok = activation(0) && options.scalar<int8_t>(1, 0) == 0;
      o.keepDims = options.scalar<uint8_t>(2, 0) != 0;
      break;
    case OpType::concatenation:
      o.axis = options.scalar<int32_t>(0, 0);
      ok = activation(1);
      break;
    case OpType::add:
    case OpType::mul:
      ok = activation(0);
      break;
    case OpType::resizeBilinear:
      o.alignCorners = options.scalar<uint8_t>(2, 0) != 0;
      o.halfPixelCenters = options.scalar<uint8_t>(3, 0) != 0;
      break;
    case OpType::depthToSpace:
      o.blockSize = options.scalar<int32_t>(0, 1);
      break;
    case OpType::mean:
      o.keepDims = options.scalar<uint8_t>(0, 0) != 0;
      break;
    case OpType::stridedSlice:
      o.beginMask = options.scalar<int32_t>(0, 0);
      o.endMask = options.scalar<int32_t>(1, 0);
      // Ellipsis, new axes, dropped axes and offset ends are not run.
      ok = options.scalar<int32_t>(2, 0) == 0 && options.scalar<int32_t>(3, 0) == 0 &&
           options.scalar<int32_t>(4, 0) == 0 && options.scalar<uint8_t>(5, 0) == 0;
      break;
    case OpType::landmarksToTransformMatrix:
    case OpType::transformTensorBilinear:
      return readLandmarkCrop(op, operation, name);
    case OpType::transposeConvBias: {
      // MediaPipe stores TfLiteTransposeConvParams as raw bytes: padding (1 same, 2 valid), then
      // the stride in width and in height, each a 32-bit integer.
      auto custom = op.vector<uint8_t>(5);
      if (custom.size() < 12) return malformed(std::string(name) + " has no parameters");
      int32_t params[3];
      std::memcpy(params, custom.bytes(), sizeof(params));
      if (params[0] != 1 && params[0] != 2) return malformed(std::string(name) + " has unknown padding");
      o.padding = params[0] == 1 ? Padding::same : Padding::valid;
      o.strideW = params[1];
      o.strideH = params[2];
      break;
    }
    case OpType::densify:  // no options
    case OpType::dequantize:
    case OpType::hardSwish:
    case OpType::logistic:
    case OpType::pad:
    case OpType::prelu:
    case OpType::relu:
    case OpType::relu6:
    case OpType::reshape:  // the declared output shape says it all
    case OpType::transformLandmarks:
      break;
    case OpType::batchMatMul:  // not read from .tflite files (graph/operators.h)
    case OpType::div:
    case OpType::layerNorm:
    case OpType::resizeNearest:
    case OpType::slice:
    case OpType::softmax:
    case OpType::sub:
    case OpType::transpose:
      break;
  }
  if (!ok) return unsupported(std::string(name) + " uses an unsupported fused activation or format");
  return {};
}

// Appends the tensor indices in `v` to `out`; false when one names no tensor of `graph`. An
// `optional` list may hold -1 for an omitted operand.
bool readTensorIndices(const ScalarVector<int32_t>& v, bool optional, const Graph& graph, std::vector<int>* out) {
  for (uint32_t i = 0; i < v.size(); ++i) {
    int32_t index = v[i];
    if (index == -1 && optional) {
      out->push_back(-1);
      continue;
    }
    if (index < 0 || static_cast<size_t>(index) >= graph.tensors.size()) return false;
    out->push_back(index);
  }
  return true;
}

// The operation `op` of the subgraph, its type found in the model's operator `codes`.
Result<Operation> readOperation(const Table& op, const flatbuffer::TableVector& codes, const Graph& graph) {
  uint32_t codeIndex = op.scalar<uint32_t>(0, 0);
  if (codeIndex >= codes.size()) return malformed("an operator refers to an unknown operator code");
  Table code = codes[codeIndex];
  // Old files keep the code in a byte; newer ones in an int beside it. The larger one holds it.
  int32_t builtin = std::max<int32_t>(code.scalar<int8_t>(0, 0), code.scalar<int32_t>(3, 0));
  Operation operation;
  std::string name;
  if (builtin == 32) {
    name = std::string(code.string(1));
    const OperatorInfo* custom = customOperator(name);
    if (custom == nullptr) return unsupported("unsupported operator: custom operator '" + name + "'");
    // Older versions of these operators read their inputs and options differently.
    int32_t version = code.scalar<int32_t>(2, 1);
    if (custom->customVersion != 0 && version != custom->customVersion) {
      return unsupported("unsupported operator: version " + std::to_string(version) + " of '" + name + "'");
    }
    operation.type = custom->type;
  } else {
    name = tfliteBuiltinName(builtin);
    const OperatorInfo* supported = builtinOperator(builtin);
    if (supported == nullptr) return unsupported("unsupported operator: " + name);
    operation.type = supported->type;
  }
  if (!readTensorIndices(op.vector<int32_t>(1), true, graph, &operation.inputs) ||
      !readTensorIndices(op.vector<int32_t>(2), false, graph, &operation.outputs) || operation.outputs.empty()) {
    return malformed(name + " names tensors that do not exist");
  }
  if (Result<void> options = readOptions(op, &operation, name); !options.ok()) return options.error();
  return operation;
}

}  // namespace

std::string tfliteBuiltinName(int32_t code) {
  if (code >= 0 && static_cast<size_t>(code) < kBuiltinNames.size()) {
    return std::string(kBuiltinNames[static_cast<size_t>(code)]);
  }
  return "builtin operator " + std::to_string(code);
}

Result<Graph> readTfliteModel(std::span<const uint8_t> bytes) {
  Reader reader(bytes);
  Table model = reader.root();
  if (reader.failed()) return malformed(reader.error());
  if (reader.identifier() != "TFL3") return malformed("not a TensorFlow Lite model (no TFL3 identifier)");

  auto subgraphs = model.tables(2);
  if (subgraphs.size() == 0) {
    return malformed(reader.failed() ? reader.error() : "the model has no subgraph");
  }
  Table subgraph = subgraphs[0];
  Graph graph;

  auto tensors = subgraph.tables(0);
  graph.tensors.resize(tensors.size());
  for (uint32_t i = 0; i < tensors.size() && !reader.failed(); ++i) {
    if (Result<void> read = readTensor(reader, model, tensors[i], &graph.tensors[i]); !read.ok()) return read.error();
  }
  if (reader.failed()) return malformed(reader.error());

  if (!readTensorIndices(subgraph.vector<int32_t>(1), false, graph, &graph.inputs) ||
      !readTensorIndices(subgraph.vector<int32_t>(2), false, graph, &graph.outputs)) {
    return malformed("the model's inputs or outputs name tensors that do not exist");
  }

  auto codes = model.tables(1);
  auto operators = subgraph.tables(3);
  for (uint32_t i = 0; i < operators.size() && !reader.failed(); ++i) {
    Result<Operation> operation = readOperation(operators[i], codes, graph);
    if (!operation.ok()) return operation.error();
    graph.operations.push_back(std::move(operation.value()));
  }
  if (reader.failed()) return malformed(reader.error());
  return graph;
}

Result<Graph> readTfliteFile(const std::string& path) { return readModelFile(path, readTfliteModel); }

}  // namespace platform::nn
