// Which of two readings of a line to keep: the neural recogniser's, or Tesseract's (Latin
// script model). The recogniser reads most lines better, but its alphabet lacks most accented
// Latin letters (ñ, ç, ö, ß, ê ...): where it stumbles on a line, Tesseract reads the line again,
// and its reading is kept when it writes letters the recogniser cannot (or more accents than it
// read) and otherwise says the same (bench/look_bench.sh measures both). Pure functions; safe from any thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/vision/text/ctc_decoding.h"

namespace platform::vision {

struct LineReading {
  std::string text;
  float confidence = 0;       // 0 to 1
  float leastConfidence = 0;  // of its least sure character; the mean where a reader gives no more
  float leastWordConfidence = 1;  // of its least sure word of letters
};

// Tesseract's reading replaces one in the recogniser's alphabet only when its confidence is
// higher by this much.
inline constexpr float kMuchSurer = 0.1f;
// The most doubtful line of a picture is read again when one of its characters is this unsure
// (on accented text the least sure character is an accented letter read without its accent),
// and every line whose mean confidence is below kDoubtfulLine (misread lines of small print)...
inline constexpr float kDoubtfulCharacter = 0.96f;
inline constexpr float kDoubtfulLine = 0.9f;
// ... and Tesseract's reading of it counts when at least this sure...
inline constexpr float kTrustedSecondReading = 0.6f;
// ... and, accents and case set aside, differs from the first in at most this share of its
// characters.
inline constexpr double kMostDifference = 0.34;

// `line` as Tesseract read it without what it makes of the edges of a cut-out line: white
// space, and bars and strokes standing alone at either end ("| AT ALL TIMES |").
std::string withoutEdgeMarks(std::string line);

// Whether the text's letters are all Latin (accented ones included), and it has some.
bool inLatinLetters(std::string_view text);

// The lines of a picture worth a second reading, by index: the most doubtful one and those
// doubtful as a whole, all in Latin letters (a reader of Latin script cannot help with others).
std::vector<size_t> linesWorthReadingAgain(const std::vector<LineReading>& lines);

// Whether `reading` has a character (other than a space) the recogniser cannot write. Once a
// line of a picture has one, the picture's language has letters the recogniser lacks, and it
// reads them as their plain forms quite sure of itself (ñ as n): its other Latin lines are read
// again too.
bool writesBeyond(const LineReading& reading, const Alphabet& alphabet);

// The accented Latin letters of `text` (é, ñ, ß ...).
size_t accentedLetters(std::string_view text);

// Whether `second` has more accented letters than `first`.
bool addsAccents(const LineReading& first, const LineReading& second);

// Whether `second` (Tesseract's) is the better reading of the line than `first` (the
// recogniser's, whose characters are `alphabet`): when it is trusted, and says nearly the same
// with letters the recogniser cannot write, or much surer, or with accents the recogniser missed
// and about as sure; or says exactly the same with word breaks the recogniser ran together.
bool prefersSecondReading(const LineReading& first, const LineReading& second, const Alphabet& alphabet);

// Whether the reading of the line's language model (its word lists put ß, ñ and the Vietnamese
// vowels back) replaces `current`: when it is at most kMuchSurer less sure and, accents and case
// set aside, says nearly the same (a right English line read by a French model stays itself);
// or, surer, differs beyond that only in words of the language (`isWord`: its model's word
// lists) where `current` has none: letters the general model lacks misread ("Igi" for "lợi").
using WordCheck = std::function<bool(const std::string&)>;
bool prefersLanguageReading(const LineReading& current, const LineReading& language, const WordCheck& isWord);

// Whether `second` (Tesseract's) mends words of `first` (the recogniser's): as many words, and
// wherever they differ, `second`'s is a word of the word lists and `first`'s is none ("retum"
// for "return": small print merges letters for the recogniser).
bool correctsUnknownWords(const LineReading& first, const LineReading& second, const WordCheck& isWord);

// Whether `japanese` (the Japanese reader's) is `han` (the recogniser's reading in Han characters)
// with kana added around or among its characters and nothing else changed: the recogniser writes
// no kana, and a Japanese line that is mostly kanji ("お手洗い") comes out of it as Han ("手洗"),
// read surely.
bool addsOnlyKana(std::string_view han, std::string_view japanese);

// `text` with its accents and other marks taken off and its case folded ("Größe" gives "grosse").
std::string foldedForComparison(std::string_view text);

}  // namespace platform::vision
