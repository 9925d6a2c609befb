// Which of two readings of a line to keep: the neural recogniser's, or Tesseract's (Latin
// script model). The recogniser reads most lines better, but its alphabet lacks most accented
// Latin letters (ñ, ç, ö, ß, ê ...): where it stumbles on a line, Tesseract reads the line again,
// and its reading is kept when it writes letters the recogniser cannot and otherwise says the
// same (bench/look_bench.sh measures both). Pure functions; safe from any thread.
#pragma once

#include <string>
#include <string_view>

#include "platform/vision/text/ctc_decoding.h"

namespace platform::vision {

struct LineReading {
  std::string text;
  float confidence = 0;       // 0 to 1
  float leastConfidence = 0;  // of its least sure character; the mean where a reader gives no more
};

// Tesseract's reading replaces one in the recogniser's alphabet only when its confidence is
// higher by this much.
inline constexpr float kMuchSurer = 0.1f;
// A line is read again when one of its characters is this unsure...
inline constexpr float kDoubtfulCharacter = 0.96f;
// ... and Tesseract's reading of it counts when at least this sure...
inline constexpr float kTrustedSecondReading = 0.6f;
// ... and, accents and case set aside, differs from the first in at most this share of its
// characters.
inline constexpr double kMostDifference = 0.34;

// Whether the recogniser's reading is worth a second one: a character is doubtful and the text
// is in Latin letters (a second reader of Latin script cannot help with other scripts).
bool worthReadingAgain(const LineReading& first);

// Whether `second` (Tesseract's) is the better reading of the line than `first` (the
// recogniser's, whose characters are `alphabet`).
bool prefersSecondReading(const LineReading& first, const LineReading& second, const Alphabet& alphabet);

// `text` with its accents and other marks taken off and its case folded ("Größe" gives "grosse").
std::string foldedForComparison(std::string_view text);

}  // namespace platform::vision
