// Builds small graphs by hand for the runtime's tests: random or given inputs and weights, output
// shapes taken from the operation itself.
#pragma once

#include "platform/nn/internal_only.h"

#include <random>
#include <string>
#include <vector>

#include "platform/nn/graph/graph.h"
#include "platform/nn/graph/output_shape.h"

namespace platform::nn::testing {

class GraphBuilder {
 public:
  explicit GraphBuilder(unsigned seed = 1) : rng_(seed) {}

  int input(const std::vector<int>& shape) {
    int t = add("input" + std::to_string(graph_.inputs.size()), shape);
    graph_.inputs.push_back(t);
    return t;
  }
  int weights(const std::vector<int>& shape, float low = -1.0f, float high = 1.0f) {
    int t = add("weights" + std::to_string(graph_.tensors.size()), shape);
    Tensor& tensor = graph_.tensors[t];
    tensor.constant = true;
    tensor.values = random(tensor.elementCount(), low, high);
    return t;
  }
  // A float constant with the given values, for cases worked out by hand.
  int constant(const std::vector<int>& shape, const std::vector<float>& values) {
    int t = add("constant" + std::to_string(graph_.tensors.size()), shape);
    graph_.tensors[t].constant = true;
    graph_.tensors[t].values = values;
    return t;
  }
  int ints(const std::vector<int>& shape, const std::vector<int32_t>& values) {
    int t = add("ints" + std::to_string(graph_.tensors.size()), shape);
    graph_.tensors[t].type = DataType::int32;
    graph_.tensors[t].constant = true;
    graph_.tensors[t].ints = values;
    return t;
  }
  // Appends an operation; its output shape is the one the operation computes (or `shape` when
  // given, for reshapes). Returns the output tensor, or -1 when the operation cannot run.
  int op(OpType type, const std::vector<int>& inputs, OpOptions options = {}, const std::vector<int>& shape = {}) {
    Operation operation{type, inputs, {}, options};
    int t = add("op" + std::to_string(graph_.operations.size()), shape);
    operation.outputs = {t};
    if (shape.empty()) {
      Result<std::vector<int>> inferred = inferOutputShape(graph_, operation);
      if (!inferred.ok()) return -1;
      graph_.tensors[t].shape = inferred.value();
    }
    graph_.operations.push_back(operation);
    return t;
  }
  void output(int t) { graph_.outputs.push_back(t); }

  std::vector<float> random(size_t count, float low = -1.0f, float high = 1.0f) {
    std::uniform_real_distribution<float> uniform(low, high);
    std::vector<float> values(count);
    for (float& v : values) v = uniform(rng_);
    return values;
  }

  const Graph& graph() const { return graph_; }

 private:
  int add(std::string name, const std::vector<int>& shape) {
    Tensor tensor;
    tensor.name = std::move(name);
    tensor.shape = shape;
    graph_.tensors.push_back(std::move(tensor));
    return static_cast<int>(graph_.tensors.size()) - 1;
  }

  Graph graph_;
  std::mt19937 rng_;
};

}  // namespace platform::nn::testing
