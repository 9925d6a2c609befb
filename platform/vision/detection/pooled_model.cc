#include "platform/vision/detection/pooled_model.h"

#include <optional>
#include <vector>

#include "platform/vision/detection/detection_errors.h"

namespace platform::vision {

Result<PooledModel> PooledModel::open(const std::string& modelFile, int width, int height, nn::Threads threads) {
  Result<nn::ModelPool*> pool = nn::sharedModel(modelFile, threads);
  if (!pool) return wrapError(kDetectionDomain, DetectionError::modelUnavailable, pool.error());
  const PooledModel model(modelFile, pool.value());
  Result<nn::ModelPool::Lease> runtime = model.take();
  if (!runtime) return wrapError(kDetectionDomain, DetectionError::modelUnavailable, runtime.error());
  if (runtime.value()->inputCount() != 1 ||
      runtime.value()->inputShape(0).dims != std::vector<int>{1, height, width, 3}) {
    return model.unexpected("the input is not one " + std::to_string(width) + "x" + std::to_string(height) +
                            " RGB picture");
  }
  return model;
}

Result<nn::ModelPool::Lease> PooledModel::take() const {
  Result<nn::ModelPool::Lease> runtime = pool_->take();
  if (!runtime) return wrapError(kDetectionDomain, DetectionError::modelFailed, runtime.error());
  return runtime;
}

Result<void> PooledModel::run(nn::ModelPool::Lease& model) {
  Result<void> ran = model.run();
  if (!ran) return wrapError(kDetectionDomain, DetectionError::modelFailed, ran.error());
  return {};
}

Result<size_t> PooledModel::output(std::string_view name, size_t elementCount) const {
  Result<nn::ModelPool::Lease> runtime = take();
  if (!runtime) return wrapError(kDetectionDomain, DetectionError::modelUnavailable, runtime.error());
  const std::optional<size_t> index = runtime.value()->outputIndex(name);
  if (!index || runtime.value()->outputShape(*index).elementCount() != elementCount) {
    return unexpected("no output " + std::string(name) + " of " + std::to_string(elementCount) + " values");
  }
  return *index;
}

Error PooledModel::unexpected(const std::string& what) const {
  return detectionError(DetectionError::modelUnavailable, file_ + ": " + what);
}

}  // namespace platform::vision
