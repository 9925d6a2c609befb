// Running an SSD-style detector model on a whole picture: the picture letterboxed into the model's
// input, the raw outputs decoded against the anchors, duplicates merged, and the detections
// mapped back to picture pixels. The pose, palm and face detectors differ only in their settings.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/detection/detection_decoding.h"
#include "platform/vision/detection/image_to_tensor.h"
#include "platform/vision/detection/pooled_model.h"
#include "platform/vision/detection/ssd_anchors.h"

namespace platform::vision {

struct SsdDetectorSettings {
  std::string modelFile;     // a name for nn::modelPath
  SsdAnchorOptions anchors;  // its input size is the model's
  int keypointCount = 0;
  // The model's pixel value range.
  float low = 0;
  float high = 1;
  float minScore = 0.5f;
  double suppressionThreshold = 0.3;  // overlap (IoU) above which detections are merged
};

// What one run of a detector found: the detections that reach the settings' score, and the weaker
// ones that reach a lower score asked for, each group merged on its own, best first. A doubtful
// detection hints that something may be there that the detector sees too small or too blurred.
struct SsdFindings {
  std::vector<Detection> found;
  std::vector<Detection> doubtful;
};

// Needs the model file fetched by the set-up. Once loaded, detect() may be called from any number
// of threads at once: each call runs the model on a runtime of its own (pooled_model.h).
class SsdDetector {
 public:
  // Finds the model's pool and checks that its input and outputs have the shapes the settings
  // imply. Fails with DetectionError::modelUnavailable (detection_errors.h), naming the file.
  static Result<SsdDetector> load(const SsdDetectorSettings& settings);

  // The detections in the picture, best first, with boxes and keypoints in picture pixels
  // (origin top-left). Fails with DetectionError::noPixels on a picture without pixels, and
  // with modelFailed when the model cannot run.
  Result<std::vector<Detection>> detect(const media::ImageView& image) const;

  // The detections in the part of the picture under `area` (an upright rectangle in picture
  // pixels, fitted into the model's input with its aspect ratio kept; what lies beyond the picture
  // reads as black padding), in picture pixels; `doubtful` holds those scoring from
  // `doubtfulScore` up to the settings' score. Fails as detect() does, and with badCrop on an
  // area that is not a finite rectangle.
  Result<SsdFindings> detectIn(const media::ImageView& image, const RotatedRect& area, float doubtfulScore) const;

  // The model's square input side, in pixels.
  int inputSize() const { return settings_.anchors.inputWidth; }
  const SsdDetectorSettings& settings() const { return settings_; }

 private:
  SsdDetector(SsdDetectorSettings settings, PooledModel model, size_t boxesOutput, size_t scoresOutput);

  // The model's outputs for an input that is padding throughout, as a tile wholly within a
  // picture's black border gives: the same for every such input, so the model runs on it once.
  struct PaddingOutputs {
    std::once_flag once;
    Result<void> ran;
    std::vector<float> boxes, scores;
  };
  // The padding outputs, found with `model` (whose input holds padding alone) the first time.
  const PaddingOutputs& paddingOutputs(nn::ModelPool::Lease& model) const;

  SsdDetectorSettings settings_;
  PooledModel model_;
  std::vector<AnchorCentre> anchors_;
  size_t boxesOutput_;
  size_t scoresOutput_;
  std::shared_ptr<PaddingOutputs> padding_ = std::make_shared<PaddingOutputs>();
};

}  // namespace platform::vision
