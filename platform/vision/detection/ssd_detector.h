// Running an SSD-style detector model on a whole picture: the picture letterboxed into the model's
// input, the raw outputs decoded against the anchors, duplicates merged, and the detections
// mapped back to picture pixels. The pose, palm and face detectors differ only in their settings.
#pragma once

#include <string>
#include <vector>

#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/detection/detection_decoding.h"
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

 private:
  SsdDetector(SsdDetectorSettings settings, PooledModel model, size_t boxesOutput, size_t scoresOutput);

  SsdDetectorSettings settings_;
  PooledModel model_;
  std::vector<AnchorCentre> anchors_;
  size_t boxesOutput_;
  size_t scoresOutput_;
};

}  // namespace platform::vision
