// An ONNX model whose input sizes are left open (a picture of any size, a line of any width), read
// once per process and run at fixed sizes: the runtime for a size is built on first use and lent
// to one caller at a time. A runtime's memory grows with its input (its activations, and
// XNNPACK's buffers per step), so idle runtimes are kept while their inputs hold at most a bound
// of values in all: those used longest ago are dropped first, and the one given back last is
// always kept. A long run over pictures of many sizes keeps its memory flat, and a few large
// sizes cannot hold as much memory as many small ones.
//
//   Result<SizedModelPool*> pool = sharedSizedModel("ch_PP-OCRv4_rec_infer.onnx", Threads::one, 3 * 48 * 2304);
//   Result<SizedModelPool::Lease> model = pool.value()->take({1, 3, 48, 320});
//   fill model.value()->input(0) (channels-last), model.value()->run(), read ->output(0)
//
// Safe to call from any thread: two callers asking for the same size get two runtimes.
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

struct OnnxModel;  // a parsed ONNX file (formats/onnx/onnx_reader.h, internal to the runtime)

class SizedModelPool {
 public:
  class Lease {
   public:
    Lease(Lease&& other) noexcept
        : pool_(other.pool_), shape_(std::move(other.shape_)), model_(std::move(other.model_)) {}
    Lease& operator=(Lease&&) = delete;
    ~Lease();

    Model& operator*() const { return *model_; }
    Model* operator->() const { return model_.get(); }
    Result<void> run() { return model_->run(); }

   private:
    friend class SizedModelPool;
    Lease(SizedModelPool* pool, std::vector<int> shape, std::unique_ptr<Model> model)
        : pool_(pool), shape_(std::move(shape)), model_(std::move(model)) {}

    SizedModelPool* pool_;
    std::vector<int> shape_;
    std::unique_ptr<Model> model_;
  };

  ~SizedModelPool();
  SizedModelPool(const SizedModelPool&) = delete;
  SizedModelPool& operator=(const SizedModelPool&) = delete;

  // A runtime whose first input has `inputShape` (ONNX's layout, e.g. {1, 3, 48, 320}); other
  // inputs keep their declared sizes. Fails as the ONNX translation and the runtime's build do,
  // the error naming the file.
  Result<Lease> take(const std::vector<int>& inputShape);

  // Runtimes built so far, and idle ones kept now.
  int64_t builtCount() const;
  size_t idleCount() const;

 private:
  friend Result<SizedModelPool*> sharedSizedModel(std::string_view name, Threads threads, size_t keptValues);
  // Idle runtimes whose first inputs hold `keptValues` values in all are kept for later callers.
  SizedModelPool(std::unique_ptr<const OnnxModel> model, std::string path, Threads threads, size_t keptValues);
  void giveBack(std::vector<int> shape, std::unique_ptr<Model> model);

  struct Idle {
    std::vector<int> shape;
    std::unique_ptr<Model> model;
    uint64_t lastUse = 0;
  };

  const std::unique_ptr<const OnnxModel> model_;
  const std::string path_;
  const Threads threads_;
  const size_t keptValues_;
  mutable std::mutex lock_;
  std::vector<Idle> idle_;
  uint64_t clock_ = 0;
  int64_t built_ = 0;
};

// The process's pool for the ONNX file `name` in modelDirectory(), read on the first call; later
// calls give the same pool, or the same failure (the first call's `keptValues` holds). Safe from
// any thread; pools live until exit.
Result<SizedModelPool*> sharedSizedModel(std::string_view name, Threads threads, size_t keptValues);

}  // namespace platform::nn
