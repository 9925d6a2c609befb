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
#include "platform/vision/text/ctc_spellings.h"

namespace platform::vision {

inline constexpr int kDetectorSide = 960;

struct NeuralLine {
  RotatedRect box;  // picture pixels; the width runs along the text
  std::string text;
  float confidence = 0;       // the recogniser's mean character probability
  float leastConfidence = 0;  // its least sure character
  float leastWordConfidence = 0;  // its least sure word's mean
  // The longest stretch of the line the recogniser read no character in, in line heights.
  double longestGap = 0;
  std::vector<float> wordConfidences;  // each word's mean, in the order of the words of `text`
  std::vector<StepSpan> wordSteps;     // the recogniser's steps each word was read at, likewise
};

// Every line the detector finds and the recogniser reads with at least some text, in reading
// order. Fails with the model runtime's error (domain platform.model) when a model cannot be read
// or run; the caller wraps it.
Result<std::vector<NeuralLine>> readLinesNeurally(const media::ImageView& image);

struct DetectedLine {
  RotatedRect box;  // picture pixels; the width runs along the text
  float score = 0;  // the detector's mean text probability over the line's region
};

// The picture's lines as the detector finds them, in reading order; fails as readLinesNeurally
// does.
Result<std::vector<DetectedLine>> detectTextLines(const media::ImageView& image);

// The characters the recogniser writes; fails as readLinesNeurally does.
Result<const Alphabet*> recogniserAlphabet();

// Reads one line (picture pixels) with the recogniser alone; with `choices`, also keeps each
// step's likeliest classes there, for other spellings of its words (ctc_spellings.h).
Result<NeuralLine> recogniseLine(const media::ImageView& image, const RotatedRect& line,
                                 std::vector<StepChoices>* choices = nullptr);

}  // namespace platform::vision
