#include "platform/nn/shared_model.h"

#include <map>
#include <utility>

#include "platform/nn/execution/model_runtime.h"
#include "platform/nn/formats/tflite/tflite_reader.h"
#include "platform/nn/graph/graph.h"
#include "platform/nn/graph/graph_preparation.h"
#include "platform/nn/model_errors.h"
#include "platform/nn/model_files.h"

namespace platform::nn {
namespace {

// A runtime of the prepared `graph`, reading its weights in place; its failures name the file, as
// Model::load's do.
Result<std::unique_ptr<Model>> buildRuntime(std::shared_ptr<const Graph> graph, const std::string& path,
                                            Threads threads) {
  Result<std::unique_ptr<Model>> model = buildPreparedModel(std::move(graph), threads);
  if (!model.ok()) return withPath(path, model.error());
  return model;
}

// What the process has loaded, kept until exit: pools are never destroyed, because services in
// static storage may still use their models while the process ends.
struct Loaded {
  std::mutex lock;
  // By file name, prepared (prepareGraph): one copy of a model's weights, however many runtimes.
  std::map<std::string, Result<std::shared_ptr<const Graph>>, std::less<>> graphs;
  std::map<std::string, int64_t, std::less<>> reads;
  std::map<std::pair<std::string, Threads>, Result<std::unique_ptr<ModelPool>>> pools;

  // The prepared graph of `name`, read on the first call only. Called with `lock` held.
  const Result<std::shared_ptr<const Graph>>& graph(const std::string& name) {
    auto found = graphs.find(name);
    if (found != graphs.end()) return found->second;
    ++reads[name];
    const std::string path = modelPath(name);
    Result<Graph> read = readTfliteFile(path);
    if (!read.ok()) return graphs.emplace(name, read.error()).first->second;
    if (Result<void> prepared = prepareGraph(&read.value()); !prepared.ok()) {
      return graphs.emplace(name, withPath(path, prepared.error())).first->second;
    }
    return graphs.emplace(name, std::make_shared<const Graph>(std::move(read).value())).first->second;
  }
};

Loaded& loaded() {
  static auto* everything = new Loaded();
  return *everything;
}

}  // namespace

ModelPool::Lease::~Lease() {
  if (model_) pool_->giveBack(std::move(model_));
}

Result<void> ModelPool::Lease::run() { return model_->run(); }

ModelPool::ModelPool(std::shared_ptr<const Graph> graph, std::string path, Threads threads,
                     std::unique_ptr<Model> first)
    : graph_(std::move(graph)), path_(std::move(path)), threads_(threads) {
  free_.push_back(std::move(first));
}

Result<ModelPool::Lease> ModelPool::take() {
  {
    std::lock_guard hold(lock_);
    if (!free_.empty()) {
      std::unique_ptr<Model> model = std::move(free_.back());
      free_.pop_back();
      return Lease(this, std::move(model));
    }
  }
  // Built outside the lock: other callers take and give back runtimes meanwhile.
  Result<std::unique_ptr<Model>> model = buildRuntime(graph_, path_, threads_);
  if (!model.ok()) return model.error();
  {
    std::lock_guard hold(lock_);
    ++built_;
  }
  return Lease(this, std::move(model).value());
}

size_t ModelPool::runtimeCount() const {
  std::lock_guard hold(lock_);
  return built_;
}

void ModelPool::giveBack(std::unique_ptr<Model> model) {
  std::lock_guard hold(lock_);
  free_.push_back(std::move(model));
}

Result<ModelPool*> sharedModel(std::string_view name, Threads threads) {
  Loaded& all = loaded();
  std::lock_guard hold(all.lock);
  auto key = std::make_pair(std::string(name), threads);
  auto found = all.pools.find(key);
  if (found == all.pools.end()) {
    const Result<std::shared_ptr<const Graph>>& graph = all.graph(key.first);
    if (!graph.ok()) {
      found = all.pools.emplace(key, graph.error()).first;
    } else {
      const std::string path = modelPath(name);
      Result<std::unique_ptr<Model>> first = buildRuntime(graph.value(), path, threads);
      if (first.ok()) {
        std::unique_ptr<ModelPool> pool(new ModelPool(graph.value(), path, threads, std::move(first).value()));
        found = all.pools.emplace(key, std::move(pool)).first;
      } else {
        found = all.pools.emplace(key, first.error()).first;
      }
    }
  }
  if (!found->second.ok()) return found->second.error();
  return found->second.value().get();
}

int64_t modelFileReads(std::string_view name) {
  Loaded& all = loaded();
  std::lock_guard hold(all.lock);
  const auto found = all.reads.find(name);
  return found == all.reads.end() ? 0 : found->second;
}

}  // namespace platform::nn
