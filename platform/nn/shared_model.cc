#include "platform/nn/shared_model.h"

#include <map>
#include <string>
#include <utility>

#include "platform/nn/model_files.h"

namespace platform::nn {

Result<SharedModel*> sharedModel(std::string_view name, Threads threads) {
  // Loaded models and load failures by file and thread choice. Kept until exit (never destroyed:
  // services in static storage may still use their models while the process ends).
  static std::mutex lock;
  static auto* loaded = new std::map<std::pair<std::string, Threads>, Result<std::unique_ptr<SharedModel>>>();

  std::lock_guard hold(lock);
  auto key = std::make_pair(std::string(name), threads);
  auto found = loaded->find(key);
  if (found == loaded->end()) {
    Result<std::unique_ptr<Model>> model = Model::load(modelPath(name), threads);
    if (model.ok()) {
      auto shared = std::make_unique<SharedModel>();
      shared->model = std::move(model.value());
      found = loaded->emplace(key, std::move(shared)).first;
    } else {
      found = loaded->emplace(key, model.error()).first;
    }
  }
  if (!found->second.ok()) return found->second.error();
  return found->second.value().get();
}

}  // namespace platform::nn
