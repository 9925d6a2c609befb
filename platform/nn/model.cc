#include "platform/nn/model.h"

#include <xnnpack.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>

#include "platform/nn/concatenation.h"
#include "platform/nn/graph_preparation.h"
#include "platform/nn/model_errors.h"
#include "platform/nn/output_shape.h"
#include "platform/nn/thread_pool.h"
#include "platform/nn/tflite_reader.h"

namespace platform::nn {
namespace {

Error fail(const std::string& what) { return modelError(ModelError::engineFailed, what); }

const char* statusText(xnn_status status) {
  switch (status) {
    case xnn_status_success: return "success";
    case xnn_status_uninitialized: return "XNNPACK is not initialised";
    case xnn_status_invalid_parameter: return "invalid parameter";
    case xnn_status_invalid_state: return "invalid state";
    case xnn_status_unsupported_parameter: return "unsupported parameter";
    case xnn_status_unsupported_hardware: return "unsupported hardware";
    case xnn_status_out_of_memory: return "out of memory";
  }
  return "unknown status";
}

Result<void> initializeXnnpack() {
  static xnn_status status = xnn_initialize(nullptr);
  if (status != xnn_status_success) {
    return fail(std::string("cannot initialise XNNPACK: ") + statusText(status));
  }
  return {};
}

std::pair<float, float> activationRange(Activation activation) {
  constexpr float inf = std::numeric_limits<float>::infinity();
  switch (activation) {
    case Activation::none: return {-inf, inf};
    case Activation::relu: return {0.0f, inf};
    case Activation::reluMinus1To1: return {-1.0f, 1.0f};
    case Activation::relu6: return {0.0f, 6.0f};
  }
  return {-inf, inf};
}

// Own kernels run the operations XNNPACK lacks; everything else goes to XNNPACK segments.
bool runsAsOwnKernel(OpType type) { return type == OpType::concatenation; }

double operationMultiplyAdds(const Graph& graph, const Operation& op) {
  const std::vector<int>& out = graph.tensors[op.outputs[0]].shape;
  auto product = [](const std::vector<int>& v) {
    double p = 1;
    for (int d : v) p *= d;
    return p;
  };
  switch (op.type) {
    case OpType::conv2d: {
      const std::vector<int>& f = graph.tensors[op.inputs[1]].shape;
      return product(out) * f[1] * f[2] * f[3];
    }
    case OpType::depthwiseConv2d: {
      const std::vector<int>& f = graph.tensors[op.inputs[1]].shape;
      return product(out) * f[1] * f[2];
    }
    case OpType::transposeConvBias: {
      // Every input element meets every weight of its channel.
      const std::vector<int>& f = graph.tensors[op.inputs[1]].shape;
      return product(graph.tensors[op.inputs[0]].shape) * f[0] * f[1] * f[2];
    }
    case OpType::fullyConnected:
      return product(out) * graph.tensors[op.inputs[1]].shape[1];
    default:
      return 0;
  }
}

}  // namespace

size_t TensorShape::elementCount() const {
  size_t count = 1;
  for (int d : dims) count *= static_cast<size_t>(d);
  return count;
}

struct Model::State {
  Graph graph;
  // Values XNNPACK reads as static data besides the graph's constants (zero biases); the inner
  // vectors never move once filled.
  std::vector<std::unique_ptr<std::vector<float>>> extraConstants;
  // Buffers of the tensors that cross from one step to the next, the model's inputs and outputs.
  std::vector<std::vector<float>> buffers;
  std::vector<float*> tensorData;  // per tensor: its buffer or constant data, or null
  struct Step {
    xnn_runtime_t runtime = nullptr;
    Concatenation concatenation;
  };
  std::vector<Step> steps;
  double multiplyAdds = 0;

  ~State() {
    for (Step& step : steps) {
      if (step.runtime != nullptr) xnn_delete_runtime(step.runtime);
    }
  }

  Result<void> build(pthreadpool_t pool);
  Result<void> buildSegment(const std::vector<const Operation*>& ops,
                                    const std::vector<int>& producerStep,
                                    const std::vector<bool>& needsBuffer, size_t stepIndex,
                                    pthreadpool_t pool);
};

Result<void> Model::State::build(pthreadpool_t pool) {
  const size_t tensorCount = graph.tensors.size();
  // Split the operations into steps: runs of XNNPACK operations, and single own kernels.
  std::vector<std::vector<const Operation*>> stepOps;
  std::vector<bool> stepIsKernel;
  for (const Operation& op : graph.operations) {
    bool kernel = runsAsOwnKernel(op.type);
    if (kernel || stepOps.empty() || stepIsKernel.back()) {
      stepOps.emplace_back();
      stepIsKernel.push_back(kernel);
    }
    stepOps.back().push_back(&op);
    multiplyAdds += operationMultiplyAdds(graph, op);
  }
  // A tensor needs a buffer of its own when it is a model input or output, or when it is used in
  // a step other than the one that computes it.
  std::vector<int> producerStep(tensorCount, -1);
  std::vector<bool> needsBuffer(tensorCount, false);
  for (int i : graph.inputs) needsBuffer[i] = true;
  for (int i : graph.outputs) needsBuffer[i] = true;
  for (size_t s = 0; s < stepOps.size(); ++s) {
    for (const Operation* op : stepOps[s]) {
      for (int t : op->inputs) {
        if (t >= 0 && !graph.tensors[t].constant && producerStep[t] != static_cast<int>(s)) {
          needsBuffer[t] = true;
        }
      }
      for (int t : op->outputs) producerStep[t] = static_cast<int>(s);
    }
  }
  buffers.resize(tensorCount);
  tensorData.assign(tensorCount, nullptr);
  for (size_t t = 0; t < tensorCount; ++t) {
    Tensor& tensor = graph.tensors[t];
    if (tensor.constant) {
      tensorData[t] = tensor.values.data();
    } else if (needsBuffer[t]) {
      // XNNPACK may read up to XNN_EXTRA_BYTES past the end of an input.
      buffers[t].assign(tensor.elementCount() + XNN_EXTRA_BYTES / sizeof(float), 0.0f);
      tensorData[t] = buffers[t].data();
    }
  }

  steps.resize(stepOps.size());
  for (size_t s = 0; s < stepOps.size(); ++s) {
    if (stepIsKernel[s]) {
      const Operation& op = *stepOps[s][0];
      std::vector<Concatenation::Input> inputs;
      for (int t : op.inputs) inputs.push_back({tensorData[t], graph.tensors[t].shape});
      steps[s].concatenation = Concatenation(inputs, op.options.axis, tensorData[op.outputs[0]],
                                             graph.tensors[op.outputs[0]].shape);
      continue;
    }
    if (Result<void> built = buildSegment(stepOps[s], producerStep, needsBuffer, s, pool); !built.ok()) return built;
  }
  return {};
}

Result<void> Model::State::buildSegment(const std::vector<const Operation*>& ops,
                                        const std::vector<int>& producerStep,
                                        const std::vector<bool>& needsBuffer,
                                        size_t stepIndex, pthreadpool_t pool) {
  // External values: the buffered tensors this segment reads or writes, numbered from 0.
  std::vector<int> externals;
  std::vector<uint32_t> ids(graph.tensors.size(), XNN_INVALID_VALUE_ID);
  for (const Operation* op : ops) {
    for (int t : op->inputs) {
      if (t >= 0 && needsBuffer[t] && ids[t] == XNN_INVALID_VALUE_ID) {
        ids[t] = static_cast<uint32_t>(externals.size());
        externals.push_back(t);
      }
    }
    for (int t : op->outputs) {
      if (needsBuffer[t] && ids[t] == XNN_INVALID_VALUE_ID) {
        ids[t] = static_cast<uint32_t>(externals.size());
        externals.push_back(t);
      }
    }
  }
  std::vector<bool> defined(graph.tensors.size(), false);

  xnn_subgraph_t subgraph = nullptr;
  xnn_status status = xnn_create_subgraph(static_cast<uint32_t>(externals.size()), 0, &subgraph);
  if (status != xnn_status_success) return fail(std::string("XNNPACK: ") + statusText(status));
  std::unique_ptr<xnn_subgraph, decltype(&xnn_delete_subgraph)> owner(subgraph, xnn_delete_subgraph);

  auto dimsOf = [](const std::vector<int>& shape) {
    return std::vector<size_t>(shape.begin(), shape.end());
  };
  // Defines a computed (or externally provided) tensor once, with the given dims.
  auto value = [&](int t, const std::vector<int>& shape) -> uint32_t {
    if (defined[t]) return ids[t];
    uint32_t flags = 0;
    if (needsBuffer[t]) {
      bool producedHere = producerStep[t] == static_cast<int>(stepIndex);
      flags = producedHere ? XNN_VALUE_FLAG_EXTERNAL_OUTPUT : XNN_VALUE_FLAG_EXTERNAL_INPUT;
    }
    std::vector<size_t> dims = dimsOf(shape);
    uint32_t id = XNN_INVALID_VALUE_ID;
    if (xnn_define_tensor_value(subgraph, xnn_datatype_fp32, dims.size(), dims.data(), nullptr,
                                ids[t], flags, &id) != xnn_status_success) {
      return XNN_INVALID_VALUE_ID;
    }
    ids[t] = id;
    defined[t] = true;
    return id;
  };
  auto tensorValue = [&](int t) { return value(t, graph.tensors[t].shape); };
  // Defines static data with the given dims (constants may be seen with different dims per use).
  auto constant = [&](const float* data, const std::vector<int>& shape) -> uint32_t {
    std::vector<size_t> dims = dimsOf(shape);
    uint32_t id = XNN_INVALID_VALUE_ID;
    if (xnn_define_tensor_value(subgraph, xnn_datatype_fp32, dims.size(), dims.data(), data,
                                XNN_INVALID_VALUE_ID, 0, &id) != xnn_status_success) {
      return XNN_INVALID_VALUE_ID;
    }
    return id;
  };
  auto internal = [&](const std::vector<int>& shape) { return constant(nullptr, shape); };
  auto operand = [&](int t) -> uint32_t {
    const Tensor& tensor = graph.tensors[t];
    return tensor.constant ? constant(tensor.values.data(), tensor.shape) : tensorValue(t);
  };
  auto zeros = [&](size_t count) -> const float* {
    extraConstants.push_back(std::make_unique<std::vector<float>>(count, 0.0f));
    return extraConstants.back()->data();
  };
  auto bias = [&](const Operation& op, int channels) -> uint32_t {
    if (op.inputs.size() > 2 && op.inputs[2] >= 0) {
      return constant(graph.tensors[op.inputs[2]].values.data(), {channels});
    }
    return constant(zeros(static_cast<size_t>(channels)), {channels});
  };

  for (const Operation* opPointer : ops) {
    const Operation& op = *opPointer;
    const OpOptions& o = op.options;
    const Tensor& in = graph.tensors[op.inputs[0]];
    const Tensor& out = graph.tensors[op.outputs[0]];
    auto [low, high] = activationRange(o.activation);
    uint32_t input = operand(op.inputs[0]);
    uint32_t padFlag = o.padding == Padding::same ? XNN_FLAG_TENSORFLOW_SAME_PADDING : 0;
    uint32_t output = XNN_INVALID_VALUE_ID;
    if (op.type == OpType::fullyConnected || op.type == OpType::mean) {
      Result<std::vector<int>> shape = inferOutputShape(graph, op);
      if (!shape.ok()) return shape.error();
      std::vector<int> dims = shape.value();
      if (op.type == OpType::mean) dims = {dims[0], 1, 1, in.shape[3]};
      output = op.type == OpType::mean && !o.keepDims
                   ? internal(dims)  // reshaped to the output below
                   : value(op.outputs[0], dims);
    } else {
      output = tensorValue(op.outputs[0]);
    }
    if (input == XNN_INVALID_VALUE_ID || output == XNN_INVALID_VALUE_ID) {
      return fail(std::string(opName(op.type)) + ": XNNPACK rejected a tensor of '" + out.name + "'");
    }
    const std::vector<int>& f = op.inputs.size() > 1 && op.inputs[1] >= 0
                                    ? graph.tensors[op.inputs[1]].shape
                                    : in.shape;
    switch (op.type) {
      case OpType::conv2d:
        status = xnn_define_convolution_2d(
            subgraph, 0, 0, 0, 0, f[1], f[2], o.strideH, o.strideW, o.dilationH, o.dilationW, 1,
            f[3], f[0], low, high, input, operand(op.inputs[1]), bias(op, f[0]), output, padFlag);
        break;
      case OpType::depthwiseConv2d:
        status = xnn_define_depthwise_convolution_2d(
            subgraph, 0, 0, 0, 0, f[1], f[2], o.strideH, o.strideW, o.dilationH, o.dilationW,
            o.depthMultiplier, in.shape[3], low, high, input, operand(op.inputs[1]), bias(op, f[3]),
            output, padFlag);
        break;
      case OpType::transposeConvBias: {
        // Padding that makes the declared output size: half before, the rest after; a negative
        // total becomes extra rows and columns at the bottom and right.
        int totalH = (in.shape[1] - 1) * o.strideH + f[1] - out.shape[1];
        int totalW = (in.shape[2] - 1) * o.strideW + f[2] - out.shape[2];
        uint32_t top = totalH > 0 ? totalH / 2 : 0, bottom = totalH > 0 ? totalH - totalH / 2 : 0;
        uint32_t left = totalW > 0 ? totalW / 2 : 0, right = totalW > 0 ? totalW - totalW / 2 : 0;
        uint32_t adjustH = totalH < 0 ? -totalH : 0, adjustW = totalW < 0 ? -totalW : 0;
        status = xnn_define_deconvolution_2d(
            subgraph, top, right, bottom, left, adjustH, adjustW, f[1], f[2], o.strideH, o.strideW,
            1, 1, 1, f[3], f[0], low, high, input, operand(op.inputs[1]), bias(op, f[0]), output, 0);
        break;
      }
      case OpType::averagePool2d:
        status = xnn_define_average_pooling_2d(subgraph, 0, 0, 0, 0, o.filterH, o.filterW,
                                               o.strideH, o.strideW, low, high, input, output,
                                               padFlag);
        break;
      case OpType::maxPool2d:
        status = xnn_define_max_pooling_2d(subgraph, 0, 0, 0, 0, o.filterH, o.filterW, o.strideH,
                                           o.strideW, 1, 1, low, high, input, output, padFlag);
        break;
      case OpType::add:
        status = xnn_define_add2(subgraph, low, high, input, operand(op.inputs[1]), output, 0);
        break;
      case OpType::mul:
        status = xnn_define_multiply2(subgraph, low, high, input, operand(op.inputs[1]), output, 0);
        break;
      case OpType::relu:
        status = xnn_define_clamp(subgraph, 0.0f, std::numeric_limits<float>::infinity(), input,
                                  output, 0);
        break;
      case OpType::relu6:
        status = xnn_define_clamp(subgraph, 0.0f, 6.0f, input, output, 0);
        break;
      case OpType::logistic:
        status = xnn_define_sigmoid(subgraph, input, output, 0);
        break;
      case OpType::hardSwish:
        status = xnn_define_hardswish(subgraph, input, output, 0);
        break;
      case OpType::prelu:
        status = xnn_define_prelu(subgraph, input,
                                  constant(graph.tensors[op.inputs[1]].values.data(), {in.shape[3]}),
                                  output, 0);
        break;
      case OpType::mean:
        status = xnn_define_global_average_pooling_2d(
            subgraph, -std::numeric_limits<float>::infinity(),
            std::numeric_limits<float>::infinity(), input, output, 0);
        if (status == xnn_status_success && !o.keepDims) {
          std::vector<size_t> dims = dimsOf(out.shape);
          status = xnn_define_static_reshape(subgraph, dims.size(), dims.data(), output,
                                             tensorValue(op.outputs[0]), 0);
        }
        break;
      case OpType::pad: {
        const std::vector<int32_t>& p = graph.tensors[op.inputs[1]].ints;
        size_t before[XNN_MAX_TENSOR_DIMS] = {}, after[XNN_MAX_TENSOR_DIMS] = {};
        for (size_t d = 0; d < in.shape.size() && d < XNN_MAX_TENSOR_DIMS; ++d) {
          before[d] = static_cast<size_t>(p[2 * d]);
          after[d] = static_cast<size_t>(p[2 * d + 1]);
        }
        status = xnn_define_static_constant_pad(subgraph, before, after, 0.0f, input, output, 0);
        break;
      }
      case OpType::reshape: {
        std::vector<size_t> dims = dimsOf(out.shape);
        status = xnn_define_static_reshape(subgraph, dims.size(), dims.data(), input, output, 0);
        break;
      }
      case OpType::resizeBilinear: {
        uint32_t flags = o.alignCorners       ? XNN_FLAG_ALIGN_CORNERS
                         : o.halfPixelCenters ? 0
                                              : XNN_FLAG_TENSORFLOW_LEGACY_MODE;
        status = xnn_define_static_resize_bilinear_2d(subgraph, out.shape[1], out.shape[2], input,
                                                      output, flags);
        break;
      }
      case OpType::fullyConnected: {
        uint32_t biasId = op.inputs.size() > 2 && op.inputs[2] >= 0
                              ? constant(graph.tensors[op.inputs[2]].values.data(), {f[0]})
                              : XNN_INVALID_VALUE_ID;
        status = xnn_define_fully_connected(subgraph, low, high, input, operand(op.inputs[1]),
                                            biasId, output,
                                            o.keepDims ? 0 : XNN_FLAG_TENSORFLOW_RESHAPE_2D);
        break;
      }
      case OpType::depthToSpace:
        status = xnn_define_depth_to_space(subgraph, input, output, o.blockSize, 0);
        break;
      case OpType::concatenation:
      case OpType::dequantize:
      case OpType::densify:
        status = xnn_status_unsupported_parameter;
        break;
    }
    if (status != xnn_status_success) {
      return fail(std::string(opName(op.type)) + " computing '" + out.name +
                  "': XNNPACK: " + statusText(status));
    }
  }

  xnn_runtime_t runtime = nullptr;
  // No XNN_FLAG_YIELD_WORKERS: measured on a busy two-core machine, workers that sleep after each
  // run wake too late for the next one and made two-thread runs many times slower.
  status = xnn_create_runtime_v2(subgraph, pool, 0, &runtime);
  if (status != xnn_status_success) {
    return fail(std::string("XNNPACK cannot build the model: ") + statusText(status));
  }
  steps[stepIndex].runtime = runtime;
  std::vector<xnn_external_value> bindings;
  for (size_t i = 0; i < externals.size(); ++i) {
    bindings.push_back({static_cast<uint32_t>(i), tensorData[externals[i]]});
  }
  status = xnn_setup_runtime(runtime, bindings.size(), bindings.data());
  if (status != xnn_status_success) {
    return fail(std::string("XNNPACK cannot bind the model's buffers: ") + statusText(status));
  }
  return {};
}

Model::Model(std::unique_ptr<State> state) : state_(std::move(state)) {}
Model::~Model() = default;

Result<std::unique_ptr<Model>> Model::load(const std::string& path, Threads threads) {
  Result<Graph> graph = readTfliteFile(path);
  if (!graph.ok()) return graph.error();
  Result<std::unique_ptr<Model>> model = fromGraph(std::move(graph.value()), threads);
  if (!model.ok()) {
    Error error = model.error();
    error.description = path + ": " + error.description;
    return error;
  }
  return model;
}

Result<std::unique_ptr<Model>> Model::fromGraph(Graph graph, Threads threads) {
  if (Result<void> initialized = initializeXnnpack(); !initialized.ok()) return initialized.error();
  if (Result<void> prepared = prepareGraph(&graph); !prepared.ok()) return prepared.error();
  auto state = std::make_unique<State>();
  state->graph = std::move(graph);
  pthreadpool_t pool = threads == Threads::all ? processThreadPool() : nullptr;
  if (Result<void> built = state->build(pool); !built.ok()) return built.error();
  return std::unique_ptr<Model>(new Model(std::move(state)));
}

size_t Model::inputCount() const { return state_->graph.inputs.size(); }
size_t Model::outputCount() const { return state_->graph.outputs.size(); }

// Out-of-range indices answer with an empty shape and a null pointer rather than throwing.
TensorShape Model::inputShape(size_t i) const {
  return i < inputCount() ? TensorShape{state_->graph.tensors[state_->graph.inputs[i]].shape} : TensorShape{};
}
TensorShape Model::outputShape(size_t i) const {
  return i < outputCount() ? TensorShape{state_->graph.tensors[state_->graph.outputs[i]].shape} : TensorShape{};
}
float* Model::input(size_t i) {
  return i < inputCount() ? state_->tensorData[state_->graph.inputs[i]] : nullptr;
}
const float* Model::output(size_t i) const {
  return i < outputCount() ? state_->tensorData[state_->graph.outputs[i]] : nullptr;
}

std::optional<size_t> Model::inputIndex(std::string_view name) const {
  for (size_t i = 0; i < inputCount(); ++i) {
    if (state_->graph.tensors[state_->graph.inputs[i]].name == name) return i;
  }
  return std::nullopt;
}
std::optional<size_t> Model::outputIndex(std::string_view name) const {
  for (size_t i = 0; i < outputCount(); ++i) {
    if (state_->graph.tensors[state_->graph.outputs[i]].name == name) return i;
  }
  return std::nullopt;
}

Result<void> Model::run() {
  for (State::Step& step : state_->steps) {
    if (step.runtime == nullptr) {
      step.concatenation.run();
      continue;
    }
    xnn_status status = xnn_invoke_runtime(step.runtime);
    if (status != xnn_status_success) {
      return modelError(ModelError::runFailed, std::string("XNNPACK failed to run the model: ") + statusText(status));
    }
  }
  return {};
}

double Model::multiplyAdds() const { return state_->multiplyAdds; }

}  // namespace platform::nn
