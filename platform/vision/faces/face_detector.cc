#include "platform/vision/faces/face_detector.h"

namespace platform::vision {

SsdDetectorSettings faceDetectorSettings() {
  SsdDetectorSettings settings;
  settings.modelFile = "face_detection_full_range_sparse.tflite";
  settings.anchors =
      SsdAnchorOptions{.inputWidth = 192, .inputHeight = 192, .strides = {4}, .interpolatedScale = false};
  settings.keypointCount = 6;
  settings.low = -1;
  settings.high = 1;
  settings.minScore = 0.6f;
  settings.suppressionThreshold = 0.3;
  return settings;
}

}  // namespace platform::vision
