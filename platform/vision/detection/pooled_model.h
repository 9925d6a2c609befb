// The models of the detector building blocks: each taken from the process's pool of its file
// (platform/nn/shared_model.h), checked once, and run with a runtime of the caller's own, so that
// any number of threads may run it at once.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "platform/nn/shared_model.h"
#include "platform/result.h"

namespace platform::vision {

class PooledModel {
 public:
  // The pool of `modelFile` (a name for nn::modelPath) whose runtimes run on `threads`, and whose
  // one input must be a height x width RGB picture. Fails with DetectionError::modelUnavailable
  // (detection_errors.h), naming the file. The services keep each model on the calling thread
  // alone: they run pictures on several threads, not one model on several.
  static Result<PooledModel> open(const std::string& modelFile, int width, int height,
                                  nn::Threads threads = nn::Threads::one);

  // A runtime for the caller alone; fails with DetectionError::modelFailed.
  Result<nn::ModelPool::Lease> take() const;

  // Runs `model`; fails with DetectionError::modelFailed.
  static Result<void> run(nn::ModelPool::Lease& model);

  // Index of the output called `name`, when it holds `elementCount` values; checked on a runtime
  // of the pool. Fails with DetectionError::modelUnavailable.
  Result<size_t> output(std::string_view name, size_t elementCount) const;

  // The failure of a model that is not what its user expects: DetectionError::modelUnavailable,
  // naming the file and `what` is wrong.
  Error unexpected(const std::string& what) const;

 private:
  PooledModel(std::string file, nn::ModelPool* pool) : file_(std::move(file)), pool_(pool) {}

  std::string file_;
  nn::ModelPool* pool_;
};

}  // namespace platform::vision
