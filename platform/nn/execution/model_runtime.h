// The runtime behind every Model: a prepared graph split into steps, each a run of operations on
// one XNNPACK runtime or one operation on a kernel of our own, with buffers for the tensors that
// cross from one step to the next. Model::load and the pools build theirs here; the runtime's
// tests and benchmarks build small graphs by hand and run them the same way.
#pragma once

#include "platform/nn/internal_only.h"

#include <memory>

#include "platform/nn/graph/graph.h"
#include "platform/nn/model.h"
#include "platform/result.h"

namespace platform::nn {

// Prepares `graph` (prepareGraph) and builds the runtime for it. Slow: done once per model and
// thread. Fails as prepareGraph does, or with ModelError::engineFailed when XNNPACK cannot be
// initialised or refuses the model. Safe from any thread.
Result<std::unique_ptr<Model>> buildModel(Graph graph, Threads threads = Threads::all);

// The runtime for a graph that prepareGraph has already prepared, sharing its constants (weights)
// with every other runtime built from it instead of copying them: the pools build each thread's
// runtime of a model this way. `prepared` is never changed. Fails as buildModel does.
Result<std::unique_ptr<Model>> buildPreparedModel(std::shared_ptr<const Graph> prepared, Threads threads);

}  // namespace platform::nn
