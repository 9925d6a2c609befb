// Lines of text found by the PP-OCRv4 DB detector and read by the PP-OCRv4 CTC recogniser, both
// run by the platform's own runtime. The detector sees the picture scaled to at most
// kDetectorSide pixels on its longer side; each line is cut from the full picture, straightened
// and scaled to the recogniser's height of 48 pixels, so a large photo reads as well as a small
// one. Safe to call from any thread: the models load once per process, and each call runs on
// runtimes of its own.
#pragma once

#include <string>
#include <vector>

#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/detection/image_to_tensor.h"
#include "platform/vision/text/ctc_decoding.h"

namespace platform::vision {

inline constexpr int kDetectorSide = 960;

struct NeuralLine {
  RotatedRect box;  // picture pixels; the width runs along the text
  std::string text;
  float confidence = 0;       // the recogniser's mean character probability
  float leastConfidence = 0;  // its least sure character
};

// Every line the detector finds and the recogniser reads with at least some text, in reading
// order. Fails with the model runtime's error (domain platform.model) when a model cannot be read
// or run; the caller wraps it.
Result<std::vector<NeuralLine>> readLinesNeurally(const media::ImageView& image);

// The characters the recogniser writes; fails as readLinesNeurally does.
Result<const Alphabet*> recogniserAlphabet();

// Reads one line (picture pixels) with the recogniser alone.
Result<NeuralLine> recogniseLine(const media::ImageView& image, const RotatedRect& line);

}  // namespace platform::vision
