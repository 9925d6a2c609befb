// MediaPipe's operators that let a landmark model look again, closer, at part of what it found:
// a crop placed around some of its landmarks (as a 4x4 matrix), a feature map sampled on that crop,
// and landmarks found on the crop carried back through the matrix. Set up once with fixed buffers;
// run() only computes, and is used by one thread at a time (the Model that owns it).
//
// The matrices are row-major 4x4 and take a point (x, y, 0, 1) of the crop's grid to the
// coordinates of the landmarks (and of the map they were found on): only the first two rows and
// the x, y and translation columns matter.
#pragma once

#include "platform/nn/internal_only.h"

#include "platform/nn/graph/graph.h"

namespace platform::nn {

// Landmarks [1, count, valuesPerLandmark] (x and y first) to the matrix of `crop` placed on them.
class LandmarksToTransformMatrix {
 public:
  LandmarksToTransformMatrix() = default;
  // The caller has checked that every index of `crop` is below the landmark count.
  LandmarksToTransformMatrix(const float* landmarks, int valuesPerLandmark, LandmarkCrop crop, float* matrix)
      : landmarks_(landmarks), valuesPerLandmark_(valuesPerLandmark), crop_(std::move(crop)), matrix_(matrix) {}

  void run() const;

 private:
  const float* landmarks_ = nullptr;
  int valuesPerLandmark_ = 3;
  LandmarkCrop crop_;
  float* matrix_ = nullptr;
};

// A map [1, height, width, channels] sampled bilinearly at the centre of each cell of an
// outputHeight x outputWidth grid carried through the matrix; cells that fall outside the map
// read zero.
class TransformTensorBilinear {
 public:
  TransformTensorBilinear() = default;
  TransformTensorBilinear(const float* map, const std::vector<int>& mapShape, const float* matrix, float* output,
                          int outputHeight, int outputWidth)
      : map_(map),
        height_(mapShape[1]),
        width_(mapShape[2]),
        channels_(mapShape[3]),
        matrix_(matrix),
        output_(output),
        outputHeight_(outputHeight),
        outputWidth_(outputWidth) {}

  void run() const;

 private:
  const float* map_ = nullptr;
  int height_ = 0, width_ = 0, channels_ = 0;
  const float* matrix_ = nullptr;
  float* output_ = nullptr;
  int outputHeight_ = 0, outputWidth_ = 0;
};

// Landmarks [1, count, 2 or 3] carried through the matrix; a third value (depth) passes unchanged.
class TransformLandmarks {
 public:
  TransformLandmarks() = default;
  TransformLandmarks(const float* landmarks, int count, int valuesPerLandmark, const float* matrix, float* output)
      : landmarks_(landmarks), count_(count), valuesPerLandmark_(valuesPerLandmark), matrix_(matrix), output_(output) {}

  void run() const;

 private:
  const float* landmarks_ = nullptr;
  int count_ = 0, valuesPerLandmark_ = 2;
  const float* matrix_ = nullptr;
  float* output_ = nullptr;
};

}  // namespace platform::nn
