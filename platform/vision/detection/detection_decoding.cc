#include "platform/vision/detection/detection_decoding.h"

#include <algorithm>
#include <cmath>

namespace platform::vision {

float scoreFromLogit(float logit) {
  if (std::isnan(logit)) return logit;
  const float clipped = std::clamp(logit, -100.0f, 100.0f);
  return 1.0f / (1.0f + std::exp(-clipped));
}

std::vector<Detection> decodeDetections(std::span<const float> rawBoxes, std::span<const float> rawScores,
                                        std::span<const AnchorCentre> anchors, const DetectionDecoding& decoding) {
  std::vector<Detection> detections;
  if (decoding.keypointCount < 0 || !(decoding.inputWidth > 0) || !(decoding.inputHeight > 0)) return detections;
  const size_t valuesPerRow = 4 + 2 * static_cast<size_t>(decoding.keypointCount);
  const size_t rows = std::min({anchors.size(), rawScores.size(), rawBoxes.size() / valuesPerRow});
  for (size_t i = 0; i < rows; ++i) {
    const float score = scoreFromLogit(rawScores[i]);
    if (!(score >= decoding.minScore)) continue;
    const float* raw = rawBoxes.data() + i * valuesPerRow;
    if (!std::all_of(raw, raw + valuesPerRow, [](float v) { return std::isfinite(v); })) continue;
    const AnchorCentre& anchor = anchors[i];
    const double centreX = raw[0] / decoding.inputWidth + anchor.x;
    const double centreY = raw[1] / decoding.inputHeight + anchor.y;
    const double width = raw[2] / decoding.inputWidth;
    const double height = raw[3] / decoding.inputHeight;
    Detection detection;
    detection.score = score;
    detection.box = {centreX - width / 2, centreY - height / 2, width, height};
    detection.keypoints.reserve(decoding.keypointCount);
    for (int k = 0; k < decoding.keypointCount; ++k) {
      detection.keypoints.push_back(
          {raw[4 + 2 * k] / decoding.inputWidth + anchor.x, raw[5 + 2 * k] / decoding.inputHeight + anchor.y});
    }
    detections.push_back(std::move(detection));
  }
  return detections;
}

}  // namespace platform::vision
