// Holds the runtime against the reference loops on a graph: the test tool of the operator tests.
#pragma once

#include "platform/nn/internal_only.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/nn/execution/model_runtime.h"
#include "platform/nn/graph/graph_preparation.h"
#include "platform/nn/model.h"
#include "platform/nn/reference/reference_ops.h"
#include "platform/nn/testing/test_graphs.h"

namespace platform::nn::testing {

// Runs the graph on the runtime and on the reference with the same random inputs and expects the
// same outputs.
inline void expectMatchesReference(const Graph& graph, Threads threads, unsigned seed = 7) {
  GraphBuilder random(seed);
  std::vector<std::vector<float>> inputs;
  for (int t : graph.inputs) inputs.push_back(random.random(graph.tensors[t].elementCount(), -2, 2));

  Graph prepared = graph;
  Result<void> ready = prepareGraph(&prepared);
  ASSERT_TRUE(ready.ok()) << ready.error().description;
  auto expected = evaluateReference(prepared, inputs);
  ASSERT_TRUE(expected.ok()) << expected.error().description;

  auto model = buildModel(graph, threads);
  ASSERT_TRUE(model.ok()) << model.error().description;
  ASSERT_EQ(model.value()->inputCount(), inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i) {
    std::copy(inputs[i].begin(), inputs[i].end(), model.value()->input(i));
  }
  // Twice: a second run on the same buffers must give the same answer.
  for (int round = 0; round < 2; ++round) {
    Result<void> ran = model.value()->run();
    ASSERT_TRUE(ran.ok()) << ran.error().description;
    for (size_t o = 0; o < model.value()->outputCount(); ++o) {
      const std::vector<float>& want = expected.value()[graph.outputs[o]];
      ASSERT_EQ(model.value()->outputShape(o).elementCount(), want.size());
      const float* got = model.value()->output(o);
      size_t wrong = 0;
      for (size_t i = 0; i < want.size(); ++i) {
        if (!(std::fabs(got[i] - want[i]) <= 1e-4f + 1e-4f * std::fabs(want[i]))) {
          if (++wrong <= 3) ADD_FAILURE() << "output " << o << "[" << i << "] = " << got[i] << ", want " << want[i];
        }
      }
      ASSERT_EQ(wrong, 0u) << "of " << want.size();
    }
  }
}

}  // namespace platform::nn::testing
