// One copy of each model file per process, loaded when first asked for and kept until exit, so
// that services made per sequence or per picture never read a model twice.
//
//   Result<SharedModel*> shared = sharedModel("selfie_segmentation.tflite", Threads::one);
//   if (!shared.ok()) ...;
//   std::lock_guard hold(shared.value()->lock);   // while filling, running and reading it
//   shared.value()->model->run();
#pragma once

#include <memory>
#include <mutex>
#include <string_view>

#include "platform/nn/model.h"
#include "platform/result.h"

namespace platform::nn {

// A loaded model and the lock its users hold from filling its inputs to reading its outputs: a
// Model is not safe to use from two threads at once, and its buffers are shared by every user.
struct SharedModel {
  std::mutex lock;
  std::unique_ptr<Model> model;
};

// The process's model for the file `name` in modelDirectory(), run on `threads`. The first call
// for a name and thread choice loads it; later calls give the same one, or the same failure (a
// missing or damaged file is read once, not once per frame). Safe to call from any thread; the
// model lives until the process ends.
Result<SharedModel*> sharedModel(std::string_view name, Threads threads);

}  // namespace platform::nn
