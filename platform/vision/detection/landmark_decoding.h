// Raw outputs of a landmark model (points in the pixels of its input crop) turned into points in
// the picture.
// Plain functions of their arguments: safe to call from any thread, they never fail and never
// read past the spans they are given.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "platform/vision/detection/detection_decoding.h"
#include "platform/vision/detection/rotated_rect.h"
#include "platform/vision/image_point.h"

namespace platform::vision {

struct LandmarkPoint {
  ImagePoint position;
  float confidence = 0;  // 0 to 1
};

// `count` points from rows of `valuesPerPoint` raw values whose first two are x and y in pixels
// of an input of inputWidth x inputHeight; the points come out as fractions of the input (origin
// top-left). When `visibilityValue` is given, that value of each row is a logit and its score
// becomes the point's confidence; otherwise confidences are 0. Reads no value past `raw`: when it
// holds fewer rows, fewer points come out.
std::vector<LandmarkPoint> decodeLandmarks(std::span<const float> raw, size_t count, size_t valuesPerPoint,
                                           std::optional<size_t> visibilityValue, double inputWidth,
                                           double inputHeight);

// A model's heat map: height x width cells, `channels` values per cell (one per landmark), logits.
struct Heatmap {
  std::span<const float> values;
  int height = 0;
  int width = 0;
  int channels = 0;
};

// Moves each point (input fractions) to the score-weighted centre of the heat map cells in the
// kernelSize x kernelSize window around it, when the best score in that window reaches
// `minConfidence`; points outside the map, or whose channel the map lacks, stay where they are.
// Cells are counted by their index, as the pose landmark model's published post-processing does.
void refineFromHeatmap(std::vector<LandmarkPoint>& points, const Heatmap& heatmap, int kernelSize, float minConfidence);

// Points given as fractions of the crop of `rect`, moved to picture pixels.
void projectFromCrop(std::vector<LandmarkPoint>& points, const RotatedRect& rect);

// The upright box around the points (picture pixels); an empty box when there are none.
DetectionBox boundsOf(std::span<const LandmarkPoint> points);

// Whether two sets of points of the same model (same count, same order) describe one body or
// hand: the mean distance between corresponding points is below `fraction` of the diagonal of the
// larger set's box. Two people or hands side by side, even overlapping, are far apart by this
// measure; one found twice is not. Sets of different sizes, or empty, are never the same.
bool samePoints(std::span<const LandmarkPoint> a, std::span<const LandmarkPoint> b, double fraction);

}  // namespace platform::vision
