#include "platform/nn/formats/onnx/onnx_reader.h"

#include <cstring>

#include "platform/nn/formats/half.h"
#include "platform/nn/formats/model_file.h"
#include "platform/nn/formats/onnx/protobuf.h"
#include "platform/nn/model_errors.h"

namespace platform::nn {
namespace {

using protobuf::Field;
using protobuf::Message;
using protobuf::WireType;

// Larger tensors than this are taken as a damaged file, not as something to allocate.
constexpr uint64_t kMaxTensorElements = uint64_t{1} << 28;
constexpr size_t kMaxRank = 8;

// ONNX's element type codes.
enum ElementType : int64_t {
  kFloat = 1,
  kInt32 = 6,
  kInt64 = 7,
  kBool = 9,
  kFloat16 = 10,
  kDouble = 11,
};

// Reads the message in `bytes` field by field with `read`, which answers false (and sets `error`)
// for a field it cannot take; a damaged message is malformed.
template <typename ReadField>
Result<void> walk(std::span<const uint8_t> bytes, const char* what, ReadField read) {
  Message message(bytes);
  Field field;
  std::optional<Error> error;
  while (message.next(&field)) {
    if (!read(field, error)) return error.value_or(malformed(std::string("damaged ") + what));
  }
  if (message.failed()) return malformed(std::string("damaged ") + what);
  return {};
}

bool isText(const Field& f) { return f.type == WireType::lengthDelimited; }

// Raw little-endian bytes of `count` elements of `type`, appended to the tensor.
bool takeRawData(std::span<const uint8_t> raw, int64_t type, uint64_t count, OnnxTensor* tensor) {
  auto sized = [&](size_t width) { return raw.size() == count * width; };
  const uint8_t* at = raw.data();
  switch (type) {
    case kFloat:
      if (!sized(4)) return false;
      tensor->floats.resize(count);
      if (count > 0) std::memcpy(tensor->floats.data(), at, count * 4);
      return true;
    case kFloat16:
      if (!sized(2)) return false;
      tensor->floats.resize(count);
      for (uint64_t i = 0; i < count; ++i) {
        uint16_t half;
        std::memcpy(&half, at + 2 * i, 2);
        tensor->floats[i] = halfToFloat(half);
      }
      return true;
    case kDouble:
      if (!sized(8)) return false;
      tensor->floats.resize(count);
      for (uint64_t i = 0; i < count; ++i) {
        double value;
        std::memcpy(&value, at + 8 * i, 8);
        tensor->floats[i] = static_cast<float>(value);
      }
      return true;
    case kInt64:
      if (!sized(8)) return false;
      tensor->ints.resize(count);
      if (count > 0) std::memcpy(tensor->ints.data(), at, count * 8);
      return true;
    case kInt32:
      if (!sized(4)) return false;
      tensor->ints.resize(count);
      for (uint64_t i = 0; i < count; ++i) {
        int32_t value;
        std::memcpy(&value, at + 4 * i, 4);
        tensor->ints[i] = value;
      }
      return true;
    case kBool:
      if (!sized(1)) return false;
      tensor->ints.assign(raw.begin(), raw.end());
      return true;
    default:
      return false;
  }
}

Result<OnnxTensor> readTensor(std::span<const uint8_t> bytes) {
  OnnxTensor tensor;
  int64_t type = 0;
  std::span<const uint8_t> raw;
  bool hasRaw = false;
  bool external = false;
  std::vector<double> doubles;
  std::vector<int64_t> typedInts;  // int32_data (which also holds float16 bits) or int64_data
  Result<void> walked = walk(bytes, "tensor", [&](const Field& f, std::optional<Error>&) {
    switch (f.number) {
      case 1:
        return protobuf::appendVarints(f, &tensor.dims);
      case 2:
        type = static_cast<int64_t>(f.value);
        return f.type == WireType::varint;
      case 4:
        return protobuf::appendFloats(f, &tensor.floats);
      case 5:
      case 7:
        return protobuf::appendVarints(f, &typedInts);
      case 8:
        tensor.name = std::string(f.text());
        return isText(f);
      case 9:
        raw = f.bytes;
        hasRaw = true;
        return isText(f);
      case 10:
        return protobuf::appendDoubles(f, &doubles);
      case 13:
        external = f.value == 1;
        return true;
      default:
        return true;  // segments, documentation, external data entries: not needed
    }
  });
  if (!walked.ok()) return walked.error();
  if (external) return unsupported("tensor '" + tensor.name + "' keeps its data in an external file");
  if (tensor.dims.size() > kMaxRank) return malformed("tensor '" + tensor.name + "' has too many dimensions");
  uint64_t count = 1;
  for (int64_t d : tensor.dims) {
    if (d < 0 || uint64_t(d) > kMaxTensorElements) return malformed("tensor '" + tensor.name + "' has a bad size");
    count *= uint64_t(d);
    if (count > kMaxTensorElements) return malformed("tensor '" + tensor.name + "' is impossibly large");
  }
  tensor.isFloat = type == kFloat || type == kFloat16 || type == kDouble;
  if (!tensor.isFloat && type != kInt32 && type != kInt64 && type != kBool) {
    return unsupported("tensor '" + tensor.name + "' has element type " + std::to_string(type));
  }
  if (hasRaw) {
    tensor.floats.clear();
    if (!takeRawData(raw, type, count, &tensor)) {
      return malformed("tensor '" + tensor.name + "' holds the wrong number of bytes");
    }
  } else if (type == kDouble) {
    tensor.floats.assign(doubles.begin(), doubles.end());
  } else if (type == kFloat16) {
    for (int64_t bits : typedInts) tensor.floats.push_back(halfToFloat(static_cast<uint16_t>(bits)));
  } else if (!tensor.isFloat) {
    tensor.ints = std::move(typedInts);
  }
  size_t held = tensor.isFloat ? tensor.floats.size() : tensor.ints.size();
  if (held != count) return malformed("tensor '" + tensor.name + "' holds the wrong number of values");
  return tensor;
}

Result<OnnxAttribute> readAttribute(std::span<const uint8_t> bytes) {
  OnnxAttribute attribute;
  Result<void> walked = walk(bytes, "attribute", [&](const Field& f, std::optional<Error>& error) {
    switch (f.number) {
      case 1:
        attribute.name = std::string(f.text());
        return isText(f);
      case 2:
        attribute.f = protobuf::floatOf(f);
        return f.type == WireType::fixed32;
      case 3:
        attribute.i = static_cast<int64_t>(f.value);
        return f.type == WireType::varint;
      case 4:
        attribute.s = std::string(f.text());
        return isText(f);
      case 5: {
        if (!isText(f)) return false;
        Result<OnnxTensor> tensor = readTensor(f.bytes);
        if (!tensor.ok()) {
          error = tensor.error();
          return false;
        }
        attribute.t = std::move(tensor.value());
        return true;
      }
      case 6:
      case 11:
        error = unsupported("attribute holds a subgraph");
        return false;
      case 7:
        return protobuf::appendFloats(f, &attribute.floats);
      case 8:
        return protobuf::appendVarints(f, &attribute.ints);
      default:
        return true;
    }
  });
  if (!walked.ok()) return walked.error();
  return attribute;
}

Result<OnnxNode> readNode(std::span<const uint8_t> bytes) {
  OnnxNode node;
  Result<void> walked = walk(bytes, "node", [&](const Field& f, std::optional<Error>& error) {
    switch (f.number) {
      case 1:
        node.inputs.emplace_back(f.text());
        return isText(f);
      case 2:
        node.outputs.emplace_back(f.text());
        return isText(f);
      case 4:
        node.opType = std::string(f.text());
        return isText(f);
      case 5: {
        if (!isText(f)) return false;
        Result<OnnxAttribute> attribute = readAttribute(f.bytes);
        if (!attribute.ok()) {
          error = attribute.error();
          return false;
        }
        node.attributes.push_back(std::move(attribute.value()));
        return true;
      }
      case 7:
        node.domain = std::string(f.text());
        return isText(f);
      default:
        return true;  // name, documentation
    }
  });
  if (!walked.ok()) return walked.error();
  return node;
}

// ValueInfoProto: name, then TypeProto { tensor_type { elem_type, shape { dim { value | param } } } }.
Result<OnnxValueInfo> readValueInfo(std::span<const uint8_t> bytes) {
  OnnxValueInfo info;
  auto readDimension = [&](std::span<const uint8_t> dimension) {
    int64_t size = -1;
    Result<void> walked = walk(dimension, "dimension", [&](const Field& f, std::optional<Error>&) {
      if (f.number == 1 && f.type == WireType::varint) size = static_cast<int64_t>(f.value);
      return true;
    });
    info.dims.push_back(size < 0 ? -1 : size);
    return walked;
  };
  auto readShape = [&](std::span<const uint8_t> shape) {
    return walk(shape, "shape", [&](const Field& f, std::optional<Error>& error) {
      if (f.number != 1) return true;
      if (!isText(f) || info.dims.size() >= kMaxRank) return false;
      Result<void> read = readDimension(f.bytes);
      if (!read.ok()) error = read.error();
      return read.ok();
    });
  };
  auto readTensorType = [&](std::span<const uint8_t> tensorType) {
    return walk(tensorType, "type", [&](const Field& f, std::optional<Error>& error) {
      if (f.number == 1) info.elementType = static_cast<int32_t>(f.value);
      if (f.number != 2) return true;
      if (!isText(f)) return false;
      Result<void> read = readShape(f.bytes);
      if (!read.ok()) error = read.error();
      return read.ok();
    });
  };
  Result<void> walked = walk(bytes, "value info", [&](const Field& f, std::optional<Error>& error) {
    if (f.number == 1) {
      info.name = std::string(f.text());
      return isText(f);
    }
    if (f.number != 2) return true;
    if (!isText(f)) return false;
    Result<void> read = walk(f.bytes, "type", [&](const Field& t, std::optional<Error>& inner) {
      if (t.number != 1) return true;
      if (!isText(t)) return false;
      Result<void> tensorType = readTensorType(t.bytes);
      if (!tensorType.ok()) inner = tensorType.error();
      return tensorType.ok();
    });
    if (!read.ok()) error = read.error();
    return read.ok();
  });
  if (!walked.ok()) return walked.error();
  return info;
}

Result<void> readGraph(std::span<const uint8_t> bytes, OnnxModel* model) {
  std::vector<OnnxValueInfo> inputs;
  Result<void> walked = walk(bytes, "graph", [&](const Field& f, std::optional<Error>& error) {
    if (f.number != 1 && f.number != 5 && f.number != 11 && f.number != 12) return true;
    if (!isText(f)) return false;
    if (f.number == 1) {
      Result<OnnxNode> node = readNode(f.bytes);
      if (!node.ok()) error = node.error();
      if (node.ok()) model->nodes.push_back(std::move(node.value()));
      return node.ok();
    }
    if (f.number == 5) {
      Result<OnnxTensor> tensor = readTensor(f.bytes);
      if (!tensor.ok()) error = tensor.error();
      if (tensor.ok()) model->initializers.push_back(std::move(tensor.value()));
      return tensor.ok();
    }
    Result<OnnxValueInfo> info = readValueInfo(f.bytes);
    if (!info.ok()) error = info.error();
    if (info.ok()) (f.number == 11 ? inputs : model->outputs).push_back(std::move(info.value()));
    return info.ok();
  });
  if (!walked.ok()) return walked;
  // Older exporters list the initializers among the inputs too; those are not inputs to fill.
  for (OnnxValueInfo& input : inputs) {
    bool constant = false;
    for (const OnnxTensor& t : model->initializers) constant = constant || t.name == input.name;
    if (!constant) model->inputs.push_back(std::move(input));
  }
  return {};
}

}  // namespace

size_t OnnxTensor::elementCount() const {
  size_t count = 1;
  for (int64_t d : dims) count *= static_cast<size_t>(d);
  return count;
}

const OnnxAttribute* OnnxNode::attribute(std::string_view name) const {
  for (const OnnxAttribute& a : attributes) {
    if (a.name == name) return &a;
  }
  return nullptr;
}

Result<OnnxModel> readOnnxModel(std::span<const uint8_t> bytes) {
  OnnxModel model;
  bool hasGraph = false;
  Result<void> walked = walk(bytes, "model", [&](const Field& f, std::optional<Error>& error) {
    if (f.number == 7) {
      if (!isText(f) || hasGraph) return false;
      hasGraph = true;
      Result<void> graph = readGraph(f.bytes, &model);
      if (!graph.ok()) error = graph.error();
      return graph.ok();
    }
    if (f.number == 8) {
      if (!isText(f)) return false;
      std::string domain;
      int64_t version = 0;
      Result<void> opset = walk(f.bytes, "operator set", [&](const Field& o, std::optional<Error>&) {
        if (o.number == 1) domain = std::string(o.text());
        if (o.number == 2) version = static_cast<int64_t>(o.value);
        return true;
      });
      if (!opset.ok()) error = opset.error();
      if (domain.empty() || domain == "ai.onnx") model.opset = version;
      return opset.ok();
    }
    return true;
  });
  if (!walked.ok()) return walked.error();
  if (!hasGraph) return malformed("not an ONNX model: no graph");
  if (model.opset <= 0) return malformed("the model names no operator set");
  if (model.inputs.empty() || model.outputs.empty()) return malformed("the model has no inputs or no outputs");
  return model;
}

Result<OnnxModel> readOnnxFile(const std::string& path) { return readModelFile(path, readOnnxModel); }

}  // namespace platform::nn
