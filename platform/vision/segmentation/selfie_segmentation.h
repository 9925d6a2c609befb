// MediaPipe's selfie segmentation models: a picture in, each point's probability of showing a
// person out, on the model's own grid.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/result.h"
#include "platform/vision/segmentation/picture_scaling.h"

namespace platform::vision {

// Numbers on a grid: `width` per row, rows top first, no padding.
struct FloatPlane {
  int width = 0;
  int height = 0;
  std::vector<float> values;

  // Gives the plane this size; keeps the memory it already has when it is large enough.
  void resize(int w, int h) {
    width = w;
    height = h;
    values.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
  }
  float* row(int y) { return values.data() + static_cast<size_t>(y) * static_cast<size_t>(width); }
  const float* row(int y) const { return values.data() + static_cast<size_t>(y) * static_cast<size_t>(width); }
};

enum class SelfieModel {
  general,    // selfie_segmentation.tflite: a 256 x 256 grid
  landscape,  // selfie_segmentation_landscape.tflite: 256 x 144, about half the work
};

// The size of the picture a model takes, which is also the size of its grid of probabilities.
struct GridSize {
  int width = 0;
  int height = 0;
};
GridSize selfieGrid(SelfieModel model);

// Fills `probabilities` (resized to the model's grid) with each point's probability, 0 to 1, of
// showing a person in `input`, a picture of exactly selfieGrid(model): the whole frame stretched
// to it, as the models expect (no letterbox). The model is loaded once per process, on first
// use; each call runs it on the calling thread with a runtime of its own, so any number of
// threads may call at once. Fails with PersonSegmentationError::modelFailed when the model cannot
// be loaded or run, or the input has another size.
Result<void> segmentPicture(SelfieModel model, const BgraPlane& input, FloatPlane& probabilities);

}  // namespace platform::vision
