#include "platform/vision/segmentation/selfie_segmentation.h"

#include <algorithm>
#include <mutex>
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
  if (model == SelfieModel::landscape) return {"selfie_segmentation_landscape.tflite", "input_1", "segment_back", {256, 144}};
  return {"selfie_segmentation.tflite", "input_1", "activation_10", {256, 256}};
}

Error fail(const std::string& what) { return personSegmentationError(PersonSegmentationError::modelFailed, what); }

}  // namespace

GridSize selfieGrid(SelfieModel model) { return fileOf(model).grid; }

std::optional<Error> segmentPicture(SelfieModel which, const BgraPlane& picture, FloatPlane& probabilities) {
  const ModelFile file = fileOf(which);
  const int width = file.grid.width, height = file.grid.height;
  if (picture.width != width || picture.height != height || picture.bytes.size() != size_t(width) * height * 4) {
    return fail("the picture for the segmentation model has the wrong size");
  }
  Result<nn::SharedModel*> shared = nn::sharedModel(file.name, kThreads);
  if (!shared.ok()) return fail("the person segmentation model cannot be loaded: " + shared.error().description);
  std::lock_guard hold(shared.value()->lock);
  nn::Model& model = *shared.value()->model;

  const std::optional<size_t> input = model.inputIndex(file.input);
  const std::optional<size_t> output = model.outputIndex(file.output);
  if (!input || !output || model.inputShape(*input).dims != std::vector<int>{1, height, width, 3} ||
      model.outputShape(*output).dims != std::vector<int>{1, height, width, 1}) {
    return fail(std::string(file.name) + " does not have the input and output the segmentation expects");
  }

  // B, G, R, A bytes to R, G, B in [0, 1].
  float* in = model.input(*input);
  const uint8_t* bgra = picture.bytes.data();
  const size_t pixels = size_t(width) * height;
  for (size_t i = 0; i < pixels; ++i, bgra += 4, in += 3) {
    in[0] = bgra[2] * (1.0f / 255.0f);
    in[1] = bgra[1] * (1.0f / 255.0f);
    in[2] = bgra[0] * (1.0f / 255.0f);
  }
  if (Result<void> ran = model.run(); !ran.ok()) return fail("the person segmentation model failed: " + ran.error().description);

  // The outputs are probabilities already (the models end in a sigmoid); clamped in case a
  // value strays outside [0, 1] or is not a number.
  probabilities.resize(width, height);
  const float* values = model.output(*output);
  for (size_t i = 0; i < pixels; ++i) {
    const float value = values[i];
    probabilities.values[i] = value > 0.0f ? std::min(value, 1.0f) : 0.0f;
  }
  return std::nullopt;
}

}  // namespace platform::vision
