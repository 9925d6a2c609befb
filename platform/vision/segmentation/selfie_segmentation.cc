#include "platform/vision/segmentation/selfie_segmentation.h"

#include <algorithm>
#include <string>

#include "platform/nn/shared_model.h"
#include "platform/vision/segmentation/person_segmenter.h"

namespace platform::vision {
namespace {

// One thread: the models are small (1-3 ms), and on a busy two-core machine a run split over
// both cores waits for the slower one while the decoder and encoder want the other core too
// (bench/matte_bench.sh).
constexpr nn::Threads kThreads = nn::Threads::one;

struct ModelFile {
  const char* name;
  const char* input;
  const char* output;
  GridSize grid;
};

ModelFile fileOf(SelfieModel model) {
  if (model == SelfieModel::landscape)
    return {"selfie_segmentation_landscape.tflite", "input_1", "segment_back", {256, 144}};
  return {"selfie_segmentation.tflite", "input_1", "activation_10", {256, 256}};
}

Error fail(const std::string& what) { return personSegmentationError(PersonSegmentationError::modelFailed, what); }

// The pool of `file`'s runtimes, with the indices of its input and output; checked once.
struct CheckedModel {
  nn::ModelPool* pool = nullptr;
  size_t input = 0;
  size_t output = 0;
};

Error wrapped(const Error& lower) {
  return wrapError(kSegmentationDomain, PersonSegmentationError::modelFailed, lower);
}

Result<CheckedModel> check(const ModelFile& file) {
  Result<nn::ModelPool*> pool = nn::sharedModel(file.name, kThreads);
  if (!pool.ok()) return wrapped(pool.error());
  Result<nn::ModelPool::Lease> model = pool.value()->take();
  if (!model.ok()) return wrapped(model.error());
  const std::optional<size_t> input = model.value()->inputIndex(file.input);
  const std::optional<size_t> output = model.value()->outputIndex(file.output);
  const GridSize grid = file.grid;
  if (!input || !output || model.value()->inputShape(*input).dims != std::vector<int>{1, grid.height, grid.width, 3} ||
      model.value()->outputShape(*output).dims != std::vector<int>{1, grid.height, grid.width, 1}) {
    return fail(std::string(file.name) + " does not have the input and output the segmentation expects");
  }
  return CheckedModel{pool.value(), *input, *output};
}

const Result<CheckedModel>& checkedModel(SelfieModel which) {
  static const Result<CheckedModel> general = check(fileOf(SelfieModel::general));
  static const Result<CheckedModel> landscape = check(fileOf(SelfieModel::landscape));
  return which == SelfieModel::landscape ? landscape : general;
}

}  // namespace

GridSize selfieGrid(SelfieModel model) { return fileOf(model).grid; }

Result<void> segmentPicture(SelfieModel which, const BgraPlane& picture, FloatPlane& probabilities) {
  const ModelFile file = fileOf(which);
  const int width = file.grid.width, height = file.grid.height;
  if (picture.width != width || picture.height != height || picture.bytes.size() != size_t(width) * height * 4) {
    return fail("the picture for the segmentation model has the wrong size");
  }
  const Result<CheckedModel>& checked = checkedModel(which);
  if (!checked.ok()) return checked.error();
  Result<nn::ModelPool::Lease> leased = checked.value().pool->take();
  if (!leased.ok()) return wrapped(leased.error());
  nn::ModelPool::Lease& model = leased.value();

  // B, G, R, A bytes to R, G, B in [0, 1].
  float* in = model->input(checked.value().input);
  const uint8_t* bgra = picture.bytes.data();
  const size_t pixels = size_t(width) * height;
  for (size_t i = 0; i < pixels; ++i, bgra += 4, in += 3) {
    in[0] = bgra[2] * (1.0f / 255.0f);
    in[1] = bgra[1] * (1.0f / 255.0f);
    in[2] = bgra[0] * (1.0f / 255.0f);
  }
  if (Result<void> ran = model.run(); !ran) return wrapped(ran.error());

  // The outputs are probabilities already (the models end in a sigmoid); clamped in case a
  // value strays outside [0, 1] or is not a number.
  probabilities.resize(width, height);
  const float* values = model->output(checked.value().output);
  for (size_t i = 0; i < pixels; ++i) {
    const float value = values[i];
    probabilities.values[i] = value > 0.0f ? std::min(value, 1.0f) : 0.0f;
  }
  return {};
}

}  // namespace platform::vision
