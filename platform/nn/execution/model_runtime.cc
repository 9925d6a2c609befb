#include "platform/nn/execution/model_runtime.h"

#include <xnnpack.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/nn/execution/segment_operators.h"
#include "platform/nn/execution/segment_values.h"
#include "platform/nn/execution/thread_pool.h"
#include "platform/nn/execution/xnnpack_library.h"
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
    case OpType::add:  // counted as neither
    case OpType::averagePool2d:
    case OpType::batchMatMul:
    case OpType::concatenation:
    case OpType::densify:
    case OpType::depthToSpace:
    case OpType::dequantize:
    case OpType::div:
    case OpType::hardSwish:
    case OpType::landmarksToTransformMatrix:
    case OpType::layerNorm:
    case OpType::logistic:
    case OpType::maxPool2d:
    case OpType::mean:
    case OpType::mul:
    case OpType::pad:
    case OpType::prelu:
    case OpType::relu:
    case OpType::relu6:
    case OpType::reshape:
    case OpType::resizeBilinear:
    case OpType::resizeNearest:
    case OpType::slice:
    case OpType::softmax:
    case OpType::stridedSlice:
    case OpType::sub:
    case OpType::transformLandmarks:
    case OpType::transformTensorBilinear:
    case OpType::transpose:
      return 0;
  }
  return 0;
}

// The operations split into steps: runs of XNNPACK operations, and single own kernels.
struct StepPlan {
  std::vector<std::vector<const Operation*>> ops;
  std::vector<bool> isKernel;
};

StepPlan planSteps(const Graph& graph) {
  StepPlan plan;
  for (const Operation& op : graph.operations) {
    bool kernel = operatorInfo(op.type).engine == Engine::ownKernel;
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

class ModelRuntime final : public Model {
 public:
  explicit ModelRuntime(std::shared_ptr<const Graph> graph) : shared_(std::move(graph)), graph_(*shared_) {}

  Result<void> build(pthreadpool_t pool);

  // Out-of-range indices answer with an empty shape and a null pointer rather than throwing.
  size_t inputCount() const override { return graph_.inputs.size(); }
  size_t outputCount() const override { return graph_.outputs.size(); }
  TensorShape inputShape(size_t i) const override {
    return i < inputCount() ? TensorShape{graph_.tensors[graph_.inputs[i]].shape} : TensorShape{};
  }
  TensorShape outputShape(size_t i) const override {
    return i < outputCount() ? TensorShape{graph_.tensors[graph_.outputs[i]].shape} : TensorShape{};
  }
  float* input(size_t i) override { return i < inputCount() ? tensorData_[graph_.inputs[i]] : nullptr; }
  const float* output(size_t i) const override { return i < outputCount() ? tensorData_[graph_.outputs[i]] : nullptr; }
  std::optional<size_t> inputIndex(std::string_view name) const override { return indexOf(graph_.inputs, name); }
  std::optional<size_t> outputIndex(std::string_view name) const override { return indexOf(graph_.outputs, name); }
  Result<void> run() override;
  double multiplyAdds() const override { return multiplyAdds_; }

 private:
  // A step is a run of operations on one XNNPACK runtime, or one operation on an own kernel.
  struct Step {
    std::unique_ptr<xnn_runtime, decltype(&xnn_delete_runtime)> runtime{nullptr, xnn_delete_runtime};
    std::unique_ptr<OwnKernel> kernel;
  };

  Result<void> buildSegment(const std::vector<const Operation*>& ops, const std::vector<int>& producerStep,
                            const std::vector<bool>& needsBuffer, size_t stepIndex, pthreadpool_t pool);
  std::optional<size_t> indexOf(const std::vector<int>& tensors, std::string_view name) const {
    for (size_t i = 0; i < tensors.size(); ++i) {
      if (graph_.tensors[tensors[i]].name == name) return i;
    }
    return std::nullopt;
  }

  // The prepared graph, shared with every other runtime built from it: its constants are read in
  // place, never copied, so a second runtime of a model costs only XNNPACK's packed weights and
  // the activations.
  const std::shared_ptr<const Graph> shared_;
  const Graph& graph_;
  StaticData staticData_;
  // Buffers of the tensors that cross from one step to the next, the model's inputs and outputs.
  std::vector<std::vector<float>> buffers_;
  std::vector<float*> tensorData_;  // per tensor: its buffer or constant data, or null
  std::vector<Step> steps_;
  double multiplyAdds_ = 0;
};

Result<void> ModelRuntime::build(pthreadpool_t pool) {
  StepPlan plan = planSteps(graph_);
  for (const Operation& op : graph_.operations) multiplyAdds_ += operationMultiplyAdds(graph_, op);
  std::vector<int> producerStep;
  std::vector<bool> needsBuffer;
  planBuffers(graph_, plan, &producerStep, &needsBuffer);

  buffers_.resize(graph_.tensors.size());
  tensorData_.assign(graph_.tensors.size(), nullptr);
  for (size_t t = 0; t < graph_.tensors.size(); ++t) {
    const Tensor& tensor = graph_.tensors[t];
    if (tensor.constant) {
      // Only read, by XNNPACK and by the own kernels alike.
      tensorData_[t] = const_cast<float*>(tensor.values.data());
    } else if (needsBuffer[t]) {
      // XNNPACK may read up to XNN_EXTRA_BYTES past the end of an input.
      buffers_[t].assign(tensor.elementCount() + XNN_EXTRA_BYTES / sizeof(float), 0.0f);
      tensorData_[t] = buffers_[t].data();
    }
  }

  steps_.resize(plan.ops.size());
  for (size_t s = 0; s < plan.ops.size(); ++s) {
    if (plan.isKernel[s]) {
      steps_[s].kernel = makeOwnKernel(graph_, *plan.ops[s][0], tensorData_);
      if (steps_[s].kernel == nullptr) {
        return modelError(ModelError::engineFailed, std::string(opName(plan.ops[s][0]->type)) + ": no kernel runs it");
      }
      continue;
    }
    if (Result<void> built = buildSegment(plan.ops[s], producerStep, needsBuffer, s, pool); !built.ok()) {
      return built;
    }
  }
  return {};
}

Result<void> ModelRuntime::buildSegment(const std::vector<const Operation*>& ops, const std::vector<int>& producerStep,
                                        const std::vector<bool>& needsBuffer, size_t stepIndex, pthreadpool_t pool) {
  // External values: the buffered tensors this segment reads or writes, numbered from 0 in the
  // order the operations meet them.
  std::vector<int> externals;
  std::vector<uint32_t> ids(graph_.tensors.size(), XNN_INVALID_VALUE_ID);
  std::vector<uint32_t> flags(graph_.tensors.size(), 0);
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
  // XNNPACK may report success and still hand back nothing when memory runs out.
  if (status == xnn_status_success && subgraph == nullptr) status = xnn_status_out_of_memory;
  if (status != xnn_status_success) return engineFailed("XNNPACK", status);
  std::unique_ptr<xnn_subgraph, decltype(&xnn_delete_subgraph)> owner(subgraph, xnn_delete_subgraph);

  SegmentValues values(subgraph, graph_, std::move(ids), std::move(flags), &staticData_);
  for (const Operation* op : ops) {
    if (Result<void> defined = defineOperation(values, *op); !defined.ok()) return defined;
  }

  xnn_runtime_t runtime = nullptr;
  // No XNN_FLAG_YIELD_WORKERS: measured on a busy two-core machine, workers that sleep after each
  // run wake too late for the next one and made two-thread runs many times slower.
  status = xnn_create_runtime_v2(subgraph, pool, 0, &runtime);
  if (status == xnn_status_success && runtime == nullptr) status = xnn_status_out_of_memory;
  if (status != xnn_status_success) return engineFailed("XNNPACK cannot build the model", status);
  steps_[stepIndex].runtime.reset(runtime);
  std::vector<xnn_external_value> bindings;
  for (size_t i = 0; i < externals.size(); ++i) {
    bindings.push_back({static_cast<uint32_t>(i), tensorData_[externals[i]]});
  }
  status = xnn_setup_runtime(runtime, bindings.size(), bindings.data());
  if (status != xnn_status_success) return engineFailed("XNNPACK cannot bind the model's buffers", status);
  return {};
}

Result<void> ModelRuntime::run() {
  for (Step& step : steps_) {
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

}  // namespace

Result<std::unique_ptr<Model>> buildModel(Graph graph, Threads threads) {
  if (Result<void> initialized = initializeXnnpack(); !initialized.ok()) return initialized.error();
  if (Result<void> prepared = prepareGraph(&graph); !prepared.ok()) return prepared.error();
  return buildPreparedModel(std::make_shared<const Graph>(std::move(graph)), threads);
}

Result<std::unique_ptr<Model>> buildPreparedModel(std::shared_ptr<const Graph> prepared, Threads threads) {
  if (Result<void> initialized = initializeXnnpack(); !initialized.ok()) return initialized.error();
  auto runtime = std::make_unique<ModelRuntime>(std::move(prepared));
  pthreadpool_t pool = threads == Threads::all ? processThreadPool() : nullptr;
  if (Result<void> built = runtime->build(pool); !built.ok()) return built.error();
  return std::unique_ptr<Model>(std::move(runtime));
}

}  // namespace platform::nn
