// Running a landmark model on a crop of a picture: the crop resampled into the model's square
// input, the model's points decoded and mapped back to picture pixels. The pose and hand landmark
// models differ only in their settings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/detection/landmark_decoding.h"
#include "platform/vision/detection/pooled_model.h"
#include "platform/vision/detection/rotated_rect.h"

namespace platform::vision {

// Moving each point to the centre of its heat map (refineFromHeatmap).
struct HeatmapRefinement {
  std::string output;  // a size x size map with a channel per point row
  int size = 0;
  int kernelSize = 0;
  float minConfidence = 0.5f;
};

struct LandmarkModelSettings {
  std::string modelFile;  // a name for nn::modelPath
  int inputSize = 0;      // the square RGB input, values in [0, 1]
  // What the crop reads beyond the picture's edge. The published graphs crop for the landmark
  // models with edge pixels repeated: a body cut off by the frame's bottom edge then seems to go on,
  // and the model places the shoulders of a head-and-shoulders picture where they are.
  Border border = Border::replicate;
  // The output of the points: `rows` rows of `valuesPerRow` values, x and y first (input pixels).
  std::string pointsOutput;
  size_t rows = 0;
  size_t valuesPerRow = 0;
  std::optional<size_t> visibilityValue;  // the value of a row that is the point's visibility logit
  size_t keptPoints = 0;                  // the leading rows that are points of the body or hand
  // The output of one value: how sure the model is that the crop shows what it looks for, 0 to 1.
  std::string presenceOutput;
  std::optional<HeatmapRefinement> heatmap;
};

// The published presence threshold of the pose and hand landmark models.
inline constexpr float kMinLandmarkPresence = 0.5f;

struct Landmarks {
  float presence = 0;  // the model's presence output, 0 to 1
  // The kept points in the model's own order, in picture pixels; confidence is the point's
  // visibility, or 0 for a model that gives none.
  std::vector<LandmarkPoint> points;
};

// Needs the model file fetched by the set-up. Once loaded, run() may be called from any number of
// threads at once: each call runs the model on a runtime of its own (pooled_model.h).
class LandmarkModel {
 public:
  // Finds the model's pool and checks its input and outputs against the settings. Fails with
  // DetectionError::modelUnavailable (detection_errors.h), naming the file.
  static Result<LandmarkModel> load(const LandmarkModelSettings& settings);

  // The points in the crop `area` of the picture, or nothing when the model's presence is below
  // kMinLandmarkPresence. Fails with DetectionError::noPixels on a picture without pixels,
  // badCrop on an area that is not a finite rectangle, and modelFailed when the model cannot run.
  Result<std::optional<Landmarks>> run(const media::ImageView& image, const RotatedRect& area) const;

  // The points and presence in the crop `area` whatever the presence: where the model would put
  // the points if something were there. Fails as run() does.
  Result<Landmarks> look(const media::ImageView& image, const RotatedRect& area) const;

 private:
  struct Outputs {
    size_t points = 0;
    size_t presence = 0;
    size_t heatmap = 0;
  };
  LandmarkModel(LandmarkModelSettings settings, PooledModel model, Outputs outputs)
      : settings_(std::move(settings)), model_(std::move(model)), outputs_(outputs) {}

  LandmarkModelSettings settings_;
  PooledModel model_;
  Outputs outputs_;
};

}  // namespace platform::vision
