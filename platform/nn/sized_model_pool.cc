#include "platform/nn/sized_model_pool.h"

#include <algorithm>
#include <map>

#include "platform/nn/execution/model_runtime.h"
#include "platform/nn/formats/onnx/onnx_reader.h"
#include "platform/nn/formats/onnx/onnx_translation.h"
#include "platform/nn/model_errors.h"
#include "platform/nn/model_files.h"

namespace platform::nn {

SizedModelPool::Lease::~Lease() {
  if (model_) pool_->giveBack(std::move(shape_), std::move(model_));
}

SizedModelPool::SizedModelPool(std::unique_ptr<const OnnxModel> model, std::string path, Threads threads,
                               size_t keptValues)
    : model_(std::move(model)), path_(std::move(path)), threads_(threads), keptValues_(keptValues) {}

SizedModelPool::~SizedModelPool() = default;

Result<SizedModelPool::Lease> SizedModelPool::take(const std::vector<int>& inputShape) {
  {
    std::lock_guard hold(lock_);
    auto found = std::find_if(idle_.begin(), idle_.end(), [&](const Idle& i) { return i.shape == inputShape; });
    if (found != idle_.end()) {
      std::unique_ptr<Model> model = std::move(found->model);
      idle_.erase(found);
      return Lease(this, inputShape, std::move(model));
    }
  }
  // Built outside the lock: other callers take and give back runtimes meanwhile.
  std::vector<std::vector<int>> shapes;
  for (size_t i = 0; i < model_->inputs.size(); ++i) {
    std::vector<int> declared;
    for (int64_t d : model_->inputs[i].dims) declared.push_back(static_cast<int>(d));
    shapes.push_back(i == 0 ? inputShape : declared);
  }
  Result<Graph> graph = translateOnnx(*model_, shapes);
  Result<std::unique_ptr<Model>> runtime =
      graph.ok() ? buildModel(std::move(graph.value()), threads_) : Result<std::unique_ptr<Model>>(graph.error());
  if (!runtime.ok()) return withPath(path_, runtime.error());
  {
    std::lock_guard hold(lock_);
    ++built_;
  }
  return Lease(this, inputShape, std::move(runtime).value());
}

int64_t SizedModelPool::builtCount() const {
  std::lock_guard hold(lock_);
  return built_;
}

size_t SizedModelPool::idleCount() const {
  std::lock_guard hold(lock_);
  return idle_.size();
}

void SizedModelPool::giveBack(std::vector<int> shape, std::unique_ptr<Model> model) {
  std::vector<std::unique_ptr<Model>> dropped;  // freed after the lock is let go
  std::lock_guard hold(lock_);
  idle_.push_back(Idle{std::move(shape), std::move(model), ++clock_});
  auto values = [](const Idle& i) { return TensorShape{i.shape}.elementCount(); };
  size_t kept = 0;
  for (const Idle& i : idle_) kept += values(i);
  // The runtime just given back (the last) stays, however large: the next picture is often of the same size.
  while (kept > keptValues_ && idle_.size() > 1) {
    auto oldest = std::min_element(idle_.begin(), idle_.end() - 1,
                                   [](const Idle& a, const Idle& b) { return a.lastUse < b.lastUse; });
    kept -= values(*oldest);
    dropped.push_back(std::move(oldest->model));
    idle_.erase(oldest);
  }
}

Result<SizedModelPool*> sharedSizedModel(std::string_view name, Threads threads, size_t keptValues) {
  struct Loaded {
    std::mutex lock;
    std::map<std::pair<std::string, Threads>, Result<std::unique_ptr<SizedModelPool>>> pools;
  };
  // Never destroyed: services in static storage may still use their models while the process ends.
  static auto* loaded = new Loaded();
  std::lock_guard hold(loaded->lock);
  auto key = std::make_pair(std::string(name), threads);
  auto found = loaded->pools.find(key);
  if (found == loaded->pools.end()) {
    const std::string path = modelPath(name);
    Result<OnnxModel> model = readOnnxFile(path);
    if (model.ok()) {
      auto parsed = std::make_unique<const OnnxModel>(std::move(model.value()));
      std::unique_ptr<SizedModelPool> pool(new SizedModelPool(std::move(parsed), path, threads, keptValues));
      found = loaded->pools.emplace(key, std::move(pool)).first;
    } else {
      found = loaded->pools.emplace(key, model.error()).first;
    }
  }
  if (!found->second.ok()) return found->second.error();
  return found->second.value().get();
}

}  // namespace platform::nn
