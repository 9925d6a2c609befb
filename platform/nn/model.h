// A neural-network model loaded once and run many times on the CPU with XNNPACK.
//
//   auto model = Model::load(modelPath("face_detection_full_range.tflite"));
//   if (!model.ok()) ...;                         // model.error().description says why
//   float* in = model.value()->input(0);          // fill inputShape(0).elementCount() floats
//   if (Result<void> ran = model.value()->run(); !ran.ok()) ...;
//   const float* scores = model.value()->output(*model.value()->outputIndex("classificators"));
//
// Tensors are float32, NHWC, densely packed. Input and output buffers belong to the model and stay
// at the same address for its whole life; run() reads the inputs' current contents and overwrites
// the outputs. Failures are Errors of kModelDomain with a ModelError code (model_errors.h).
//
// Models come from load(), from the pools that share a parsed file between threads
// (shared_model.h, sized_model_pool.h), and, inside the runtime, from a graph built by hand
// (execution/model_runtime.h, for the runtime's own tests and benchmarks).
//
// How the runtime is laid out, and how to add an operator to it: README.md in this folder.
//
// Threads: a Model is used from one thread at a time (filling inputs, run(), reading outputs);
// separate Models, of the same file or not, may be loaded and run on separate threads at once.
// Models made with Threads::all share the process's thread pool, which runs one operator at a
// time: inferences on it from several threads take turns rather than disturbing each other.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace platform::nn {

struct TensorShape {
  std::vector<int> dims;
  size_t elementCount() const;
};

// Which threads run a model's operators.
enum class Threads {
  all,  // the process-wide thread pool, one thread per processor (the default)
  one,  // only the calling thread (benchmarks, or callers that parallelise across models)
};

class Model {
 public:
  // Reads a .tflite file and builds the runtime for it. Slow: do it once per process. The error's
  // description starts with the path.
  static Result<std::unique_ptr<Model>> load(const std::string& path, Threads threads = Threads::all);

  virtual ~Model() = default;
  Model(const Model&) = delete;
  Model& operator=(const Model&) = delete;

  // An index past the count gives an empty shape, a null pointer or an empty name.
  virtual size_t inputCount() const = 0;
  virtual TensorShape inputShape(size_t i) const = 0;
  virtual float* input(size_t i) = 0;
  virtual size_t outputCount() const = 0;
  virtual TensorShape outputShape(size_t i) const = 0;
  virtual const float* output(size_t i) const = 0;
  // Index of the input/output tensor with this name in the model, or nothing.
  virtual std::optional<size_t> inputIndex(std::string_view name) const = 0;
  virtual std::optional<size_t> outputIndex(std::string_view name) const = 0;

  // Runs one inference on the current input contents; no allocation. Fails only when XNNPACK does
  // (ModelError::runFailed); the outputs are then undefined.
  virtual Result<void> run() = 0;

  // Multiply-adds of one inference (convolutions and fully connected layers), for benchmarks.
  virtual double multiplyAdds() const = 0;

 protected:
  Model() = default;
};

}  // namespace platform::nn
