#include "platform/nn/model.h"

#include <xnnpack.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/nn/execution/huge_pages.h"
#include "platform/nn/execution/segment_operators.h"
#include "platform/nn/execution/segment_values.h"
#include "platform/nn/execution/thread_pool.h"
#include "platform/nn/execution/xnnpack_library.h"
#include "platform/nn/formats/tflite/tflite_reader.h"
#include "platform/nn/graph/graph_preparation.h"
#include "platform/nn/kernels/own_kernels.h"
#include "platform/nn/model_errors.h"

namespace platform::nn {
namespace {

Error engineFailed(const std::string& what, xnn_status status) {
  return modelError(ModelError::engineFailed, what + ": " + xnnpackStatusText(status));
}

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
  StaticData staticData;
  // Buffers of the tensors that cross from one step to the next, the model's inputs and outputs.
  std::vector<std::vector<float, HugePageAllocator<float>>> buffers;
  std::vector<float*> tensorData;  // per tensor: its buffer or constant data, or null
  // A step is a run of operations on one XNNPACK runtime, or one operation on an own kernel.
  struct Step {
    std::unique_ptr<xnn_runtime, decltype(&xnn_delete_runtime)> runtime{nullptr, xnn_delete_runtime};
    std::unique_ptr<OwnKernel> kernel;
  };
  std::vector<Step> steps;
  double multiplyAdds = 0;

  Result<void> build(pthreadpool_t pool);
  Result<void> buildSegment(const std::vector<const Operation*>& ops, const std::vector<int>& producerStep,
                            const std::vector<bool>& needsBuffer, size_t stepIndex, pthreadpool_t pool);
};

namespace {

// The operations split into steps: runs of XNNPACK operations, and single own kernels.
struct StepPlan {
  std::vector<std::vector<const Operation*>> ops;
  std::vector<bool> isKernel;
};

StepPlan planSteps(const Graph& graph) {
  StepPlan plan;
  for (const Operation& op : graph.operations) {
    bool kernel = runsAsOwnKernel(op.type);
    if (kernel || plan.ops.empty() || plan.isKernel.back()) {
      plan.ops.emplace_back();
      plan.isKernel.push_back(kernel);
    }
    plan.ops.back().push_back(&op);
  }
  return plan;
}

// The step that computes each tensor (-1 for inputs and constants), and whether it needs a buffer
// of its own: a model input or output, or a tensor used in a step other than the one that computes it.
void planBuffers(const Graph& graph, const StepPlan& plan, std::vector<int>* producerStep,
                 std::vector<bool>* needsBuffer) {
  producerStep->assign(graph.tensors.size(), -1);
  needsBuffer->assign(graph.tensors.size(), false);
  for (int i : graph.inputs) (*needsBuffer)[i] = true;
  for (int i : graph.outputs) (*needsBuffer)[i] = true;
  for (size_t s = 0; s < plan.ops.size(); ++s) {
    for (const Operation* op : plan.ops[s]) {
      for (int t : op->inputs) {
        if (t >= 0 && !graph.tensors[t].constant && (*producerStep)[t] != static_cast<int>(s)) {
          (*needsBuffer)[t] = true;
        }
      }
      for (int t : op->outputs) {
        (*producerStep)[t] = static_cast<int>(s);
        // An own kernel writes into a buffer even when nothing reads it.
        if (plan.isKernel[s]) (*needsBuffer)[t] = true;
      }
    }
  }
}

}  // namespace

Result<void> Model::State::build(pthreadpool_t pool) {
  StepPlan plan = planSteps(graph);
  for (const Operation& op : graph.operations) multiplyAdds += operationMultiplyAdds(graph, op);
  std::vector<int> producerStep;
  std::vector<bool> needsBuffer;
  planBuffers(graph, plan, &producerStep, &needsBuffer);

  buffers.resize(graph.tensors.size());
  tensorData.assign(graph.tensors.size(), nullptr);
  for (size_t t = 0; t < graph.tensors.size(); ++t) {
    Tensor& tensor = graph.tensors[t];
    if (tensor.constant) {
      tensorData[t] = tensor.values.data();
    } else if (needsBuffer[t]) {
      // XNNPACK may read up to XNN_EXTRA_BYTES past the end of an input.
      buffers[t].assign(tensor.elementCount() + XNN_EXTRA_BYTES / sizeof(float), 0.0f);
      tensorData[t] = buffers[t].data();
    }
  }

  steps.resize(plan.ops.size());
  for (size_t s = 0; s < plan.ops.size(); ++s) {
    if (plan.isKernel[s]) {
      steps[s].kernel = makeOwnKernel(graph, *plan.ops[s][0], tensorData);
      continue;
    }
    if (Result<void> built = buildSegment(plan.ops[s], producerStep, needsBuffer, s, pool); !built.ok()) {
      return built;
    }
  }
  return {};
}

Result<void> Model::State::buildSegment(const std::vector<const Operation*>& ops, const std::vector<int>& producerStep,
                                        const std::vector<bool>& needsBuffer, size_t stepIndex, pthreadpool_t pool) {
  // External values: the buffered tensors this segment reads or writes, numbered from 0 in the
  // order the operations meet them.
  std::vector<int> externals;
  std::vector<uint32_t> ids(graph.tensors.size(), XNN_INVALID_VALUE_ID);
  std::vector<uint32_t> flags(graph.tensors.size(), 0);
  auto addExternal = [&](int t) {
    if (t < 0 || !needsBuffer[t] || ids[t] != XNN_INVALID_VALUE_ID) return;
    ids[t] = static_cast<uint32_t>(externals.size());
    bool producedHere = producerStep[t] == static_cast<int>(stepIndex);
    flags[t] = producedHere ? XNN_VALUE_FLAG_EXTERNAL_OUTPUT : XNN_VALUE_FLAG_EXTERNAL_INPUT;
    externals.push_back(t);
  };
  for (const Operation* op : ops) {
    for (int t : op->inputs) addExternal(t);
    for (int t : op->outputs) addExternal(t);
  }

  xnn_subgraph_t subgraph = nullptr;
  xnn_status status = xnn_create_subgraph(static_cast<uint32_t>(externals.size()), 0, &subgraph);
  if (status != xnn_status_success) return engineFailed("XNNPACK", status);
  std::unique_ptr<xnn_subgraph, decltype(&xnn_delete_subgraph)> owner(subgraph, xnn_delete_subgraph);

  SegmentValues values(subgraph, graph, std::move(ids), std::move(flags), &staticData);
  for (const Operation* op : ops) {
    if (Result<void> defined = defineOperation(values, *op); !defined.ok()) return defined;
  }

  xnn_runtime_t runtime = nullptr;
  // No XNN_FLAG_YIELD_WORKERS: measured on a busy two-core machine, workers that sleep after each
  // run wake too late for the next one and made two-thread runs many times slower.
  status = xnn_create_runtime_v2(subgraph, pool, 0, &runtime);
  if (status != xnn_status_success) return engineFailed("XNNPACK cannot build the model", status);
  steps[stepIndex].runtime.reset(runtime);
  std::vector<xnn_external_value> bindings;
  for (size_t i = 0; i < externals.size(); ++i) {
    bindings.push_back({static_cast<uint32_t>(i), tensorData[externals[i]]});
  }
  status = xnn_setup_runtime(runtime, bindings.size(), bindings.data());
  if (status != xnn_status_success) return engineFailed("XNNPACK cannot bind the model's buffers", status);
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
float* Model::input(size_t i) { return i < inputCount() ? state_->tensorData[state_->graph.inputs[i]] : nullptr; }
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
    if (step.kernel != nullptr) {
      step.kernel->run();
      continue;
    }
    xnn_status status = xnn_invoke_runtime(step.runtime.get());
    if (status != xnn_status_success) {
      return modelError(ModelError::runFailed,
                        std::string("XNNPACK failed to run the model: ") + xnnpackStatusText(status));
    }
  }
  return {};
}

double Model::multiplyAdds() const { return state_->multiplyAdds; }

}  // namespace platform::nn
