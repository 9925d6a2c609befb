// Which script a line is in, from the neural recogniser's first reading of it. The recogniser
// reads Chinese and Latin letters well, and says so; everything else it reads as nothing, as
// Latin lookalikes ("Ao6po" for "Добро") or as its few kana and hangul, with low confidence, mixed
// case inside words, or stretches of the line left unread. A line it reads surely and whole is
// settled as Latin or Han; any other line gets the scripts worth trying, most likely first, for
// the readers of those scripts to confirm. Pure functions; safe from any thread.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/vision/text/text_scripts.h"

namespace platform::vision {

struct FirstReading {
  std::string text;
  float confidence = 0;     // the recogniser's mean character probability
  double longestGap = 0;    // the longest stretch read as nothing, in line heights
  float detectorScore = 0;  // the detector's mean text probability over the line
  float leastWordConfidence = 1;  // its least sure word's mean character probability
};

// The recogniser's reading settles a line's script when it is at least this sure of it...
inline constexpr float kSureFirstReading = 0.9f;
// ... and has left no stretch of the line longer than this (line heights) unread: Latin words
// and Han characters follow each other closer than that (1.17 at most on the sign sets and the
// text set), while a word in letters it lacks leaves a gap of its own width (1.33 and more) ...
inline constexpr double kLongestReadGap = 1.3;
// ... and is this sure of each word: a word in letters it lacks, read as its nearest letters
// ("eb" for "مطعم" beside "Restaurant"), comes out below it (0.66 at most; Latin words of the
// sign sets read at 0.78 and more).
inline constexpr float kSureFirstWord = 0.7f;
// Below this, a reading in plain Latin letters may as well be another script's letters read as
// Latin ones: English small print reads at 0.78 and more, Thai as Latin at 0.75 and less.
inline constexpr float kPlainLatinReading = 0.78f;
// Lines the detector is less sure of are leaves, bricks and textures as often as text: only
// the recogniser's own reading counts for them, as it always has.
inline constexpr float kLikelyTextLine = 0.95f;

struct ScriptGuess {
  std::optional<TextScript> settled;   // the script, when the first reading settles it
  std::vector<TextScript> candidates;  // otherwise the scripts to try, most likely first
};

// The guess for one line. `seen` holds the scripts already found in the same picture: a sign's
// lines share their scripts, so those come first among the candidates.
ScriptGuess guessScript(const FirstReading& reading, const std::vector<TextScript>& seen);

// How many words of `text` look like another alphabet read as Latin letters: an upper-case letter
// after a lower-case one ("AnTeKa"), digits between letters ("pa6oTaeT"), or letters of another
// script among Latin ones ("Φapuakeio").
size_t lookalikeWords(std::string_view text);

// The recogniser reads a word of English surely: it counts as English only at this confidence
// (another script's word read as Latin letters comes out below it: "aaas" for Thai at 0.29).
inline constexpr float kSureEnglishWord = 0.9f;

// The recogniser's reading of a line with each word's confidence (FirstReading's text, and
// CtcReading's wordConfidences).
struct RecognisedWords {
  std::string_view text;
  const std::vector<float>& confidences;
};

// Whether the recogniser read English (or other Latin) words among what it could not read:
// plain Latin words of three letters or more, each read surely. The line's reader then reads it
// with English as well.
bool showsEnglishWords(const RecognisedWords& first);

// How many of those words `reading` has too, case set aside: of two readings of a line that
// mixes in English, the one that keeps the English the recogniser read is right, however sure
// the other.
size_t sharedPlainWords(const RecognisedWords& first, std::string_view reading);

// `reading` (a script's reader's, left to right) with each word that the reader's word list lacks
// (`known` says) replaced by the recogniser's word at the same place, where that is one of those
// words, a word of the Latin word lists (`latin` says: not a lookalike of the line's script, as
// "nepexid" is of "перехід"), and both readings have as many words. The recogniser reads English
// well; the script's reader reads it as its own letters now and then ("Меїго" for "Metro").
std::string withRecognisedEnglish(const std::string& reading, const RecognisedWords& first,
                                  const std::function<bool(const std::string&)>& known,
                                  const std::function<bool(const std::string&)>& latin);

// Words the recogniser reads doubtfully among Latin letters may be another alphabet's letters
// read as the nearest Latin ones ("jlho" for "مطار", "Eioosoc" for "Είσοδος"): a word of two
// letters or more, all Latin, read below kSureEnglishWord and not a word of the Latin word lists
// (`known` says); or a short one read below kForeignWord whatever the lists say, in a line whose
// other words it reads surely (the lists hold "obo" and "poho", which Arabic words beside English
// ones come out as at 0.72 to 0.78; in small print, short English words read as doubtfully as that
// beside others it doubts too; long words of the lists are rarely another alphabet's).
inline constexpr float kForeignWord = 0.8f;
inline constexpr size_t kShortWord = 4;
// The places (word indices of the reading, split at spaces) of such words.
std::vector<size_t> foreignWords(const RecognisedWords& first, const std::function<bool(const std::string&)>& known);

// How many words the recogniser read surely as plain Latin words (showsEnglishWords).
size_t sureEnglishWords(const RecognisedWords& first);

// Whether a reader's reading of a line looks like text rather than like a reader of the wrong
// script forcing its letters onto the picture: no words mixing scripts or case, and at least this
// share of its characters (spaces aside) letters and marks, not digits and punctuation
// ("5 ี 50606 ๒๕พอิบัขอบท" is Greek read by the Thai reader). A digit among letters is allowed:
// Tesseract reads і as 1 now and then.
inline constexpr double kLeastLetterShare = 0.75;
bool plausibleReading(std::string_view text);

// Whether a word of the recogniser's reading could be a Cyrillic word read as Latin lookalikes
// ("Mempo" for "Метро", "Kacca" for "Касса"): three letters or more, all of them letters that
// Cyrillic ones are read as. English words of such letters are many; the word lists decide.
bool cyrillicLookalikeWord(std::string_view word);

// Whether a Greek word is written in small letters with two syllables or more and no stress mark
// ("μετρο"): Greek writes the stress on every such word, so this is another alphabet's word read
// as Greek ("Метро" read as "Μετρο"), or a misreading.
bool unstressedGreekWord(std::string_view word);

// The words of `text` split at spaces, punctuation and all.
std::vector<std::string> wordsAtSpaces(std::string_view text);

// `word` in lower case (every script).
std::string lowerCased(std::string_view word);

}  // namespace platform::vision
