#include "platform/nn/graph/graph_preparation.h"

#include <string>

#include "platform/nn/graph/densify.h"
#include "platform/nn/graph/output_shape.h"
#include "platform/nn/model_errors.h"

namespace platform::nn {
namespace {

// Computes the output of one dequantize or densify operation into a dense float constant.
Result<void> foldConstant(Graph* graph, const Operation& op) {
  if (op.inputs.size() != 1 || op.outputs.size() != 1 || op.inputs[0] < 0) {
    return malformed(op, "needs one input and one output");
  }
  const Tensor& in = graph->tensors[op.inputs[0]];
  Tensor& out = graph->tensors[op.outputs[0]];
  if (!in.constant || in.values.empty()) {
    return unsupported(op, "runs only on constant float weights, not on '" + in.name + "'");
  }
  if (op.type == OpType::dequantize) {
    if (in.type != DataType::float16 && in.type != DataType::float32) {
      return unsupported(op, "dequantizes only float16 weights");
    }
    if (!in.sparsity && in.elementCount() != out.elementCount()) {
      return malformed(op, "output size differs from input size");
    }
    out.values = in.values;
    out.sparsity = in.sparsity;
  } else {
    if (!in.sparsity) return malformed(op, "input '" + in.name + "' is not sparse");
    Result<std::vector<float>> dense = densify(in.values, *in.sparsity, out.shape);
    if (!dense.ok()) return dense.error();
    out.values = std::move(dense.value());
    out.sparsity.reset();
  }
  out.constant = true;
  out.type = DataType::float32;
  return {};
}

Result<void> foldConstants(Graph* graph) {
  std::vector<Operation> kept;
  for (Operation& op : graph->operations) {
    if (op.type != OpType::dequantize && op.type != OpType::densify) {
      kept.push_back(std::move(op));
      continue;
    }
    if (Result<void> folded = foldConstant(graph, op); !folded.ok()) return folded;
  }
  graph->operations = std::move(kept);
  return {};
}

// Checks one operation whose inputs are all `ready`, and marks its output ready.
Result<void> checkOperation(Graph* graph, const Operation& op, std::vector<bool>* ready) {
  for (int t : op.inputs) {
    if (t < 0) continue;
    if (!(*ready)[t]) return malformed(op, "reads '" + graph->tensors[t].name + "' before anything computes it");
    if (graph->tensors[t].sparsity) return malformed(op, "reads a sparse constant directly");
  }
  if (op.outputs.size() != 1) return unsupported(op, "must have one output");
  Tensor& out = graph->tensors[op.outputs[0]];
  if (out.constant || (*ready)[op.outputs[0]]) return malformed(op, "writes a tensor that is already set");
  if (out.type != DataType::float32) return unsupported(op, "computes a tensor that is not float");
  Result<std::vector<int>> shape = inferOutputShape(*graph, op);
  if (!shape.ok()) return shape.error();
  if (shape.value() != out.shape) {
    // Reshaping to a different rank is free; any other mismatch means a damaged model.
    size_t expected = 1;
    for (int d : shape.value()) expected *= size_t(d);
    if (expected != out.elementCount() || op.type != OpType::fullyConnected) {
      return malformed(op, "output '" + out.name + "' is declared " + shapeText(out.shape) + " but computes " +
                               shapeText(shape.value()));
    }
  }
  (*ready)[op.outputs[0]] = true;
  return {};
}

}  // namespace

Result<void> prepareGraph(Graph* graph) {
  if (Result<void> folded = foldConstants(graph); !folded.ok()) return folded;
  // Every tensor that an operation reads must be a constant, a graph input or an earlier output.
  std::vector<bool> ready(graph->tensors.size(), false);
  for (size_t i = 0; i < graph->tensors.size(); ++i) ready[i] = graph->tensors[i].constant;
  for (int i : graph->inputs) {
    if (graph->tensors[i].type != DataType::float32 || graph->tensors[i].constant) {
      return unsupported("input '" + graph->tensors[i].name + "' is not a float tensor");
    }
    ready[i] = true;
  }
  for (const Operation& op : graph->operations) {
    if (Result<void> checked = checkOperation(graph, op, &ready); !checked.ok()) return checked;
  }
  for (int i : graph->outputs) {
    if (!ready[i] || graph->tensors[i].constant) {
      return malformed("output '" + graph->tensors[i].name + "' is never computed");
    }
  }
  return {};
}

}  // namespace platform::nn
