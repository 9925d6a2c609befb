// Each model file read and parsed once per process, and run by as many threads at once as need it:
// a pool per file keeps the parsed graph, prepared once, and lends each caller a runtime of its own.
// The runtimes read the graph's weights in place: a second runtime costs only XNNPACK's packed
// copy of them and its activations.
//
//   Result<ModelPool*> pool = sharedModel("selfie_segmentation.tflite", Threads::one);
//   if (!pool.ok()) ...;
//   Result<ModelPool::Lease> model = pool.value()->take();   // this caller's alone until it ends
//   if (!model.ok()) ...;
//   fill model.value()->input(0), then model.value().run(), then read model.value()->output(0)
//
// A runtime's input and output buffers belong to whoever holds its lease, so nothing is locked
// while a model runs; two threads run the same model at the same time on two runtimes. The pool
// builds a runtime only when every one it has is lent, so it holds as many as the most callers
// that ever held one at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/nn/model.h"
#include "platform/result.h"

namespace platform::nn {

struct Graph;  // a parsed model file (graph/graph.h, internal to the runtime)

class ModelPool {
 public:
  // One runtime, lent to one caller until the lease ends; then it goes back to the pool.
  class Lease {
   public:
    Lease(Lease&& other) noexcept : pool_(other.pool_), model_(std::move(other.model_)) {}
    Lease& operator=(Lease&&) = delete;
    ~Lease();

    Model& operator*() const { return *model_; }
    Model* operator->() const { return model_.get(); }
    // Runs one inference on the runtime's current inputs.
    Result<void> run();

   private:
    friend class ModelPool;
    Lease(ModelPool* pool, std::unique_ptr<Model> model) : pool_(pool), model_(std::move(model)) {}

    ModelPool* pool_;
    std::unique_ptr<Model> model_;
  };

  ModelPool(const ModelPool&) = delete;
  ModelPool& operator=(const ModelPool&) = delete;

  // A runtime for the caller alone: a free one, or a new one built from the parsed graph (the
  // file is not read again). Safe to call from any thread.
  Result<Lease> take();

  // How many runtimes the pool has built so far.
  size_t runtimeCount() const;

 private:
  friend Result<ModelPool*> sharedModel(std::string_view name, Threads threads);
  // The pool for `graph` (read from `path`), with `first`, a runtime already built from it.
  ModelPool(std::shared_ptr<const Graph> graph, std::string path, Threads threads, std::unique_ptr<Model> first);
  void giveBack(std::unique_ptr<Model> model);

  const std::shared_ptr<const Graph> graph_;
  const std::string path_;
  const Threads threads_;
  mutable std::mutex lock_;
  std::vector<std::unique_ptr<Model>> free_;
  size_t built_ = 1;
};

// The process's pool for the model file `name` in modelDirectory(), whose runtimes run on
// `threads`. The first call for a name reads and parses the file, and the first call for a name
// and thread choice builds a runtime, so that a model that cannot be built fails here; later calls
// give the same pool, or the same failure (a missing or damaged file is read once, not once per
// frame). Safe to call from any thread; pools live until the process ends.
Result<ModelPool*> sharedModel(std::string_view name, Threads threads);

// How many times this process has read the model file `name`, successfully or not: at most once.
int64_t modelFileReads(std::string_view name);

}  // namespace platform::nn
