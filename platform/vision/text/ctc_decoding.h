// Greedy decoding of a CTC recogniser's output: at each time step the likeliest class; repeats
// collapse, blanks (class 0) separate them and vanish. Pure functions; safe from any thread.
//
// Recognisers trained mostly on Chinese rarely make the space their likeliest class, even between
// English words; but there the space's probability rises to a tenth or more, while between the
// letters of a word it stays below a hundredth. The decoder writes a space where it rises so.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace platform::vision {

// The characters a recogniser writes: class 0 is the blank, class i > 0 is entry i - 1.
class Alphabet {
 public:
  // From a list with one character (UTF-8) per line, followed by the space that the model's last
  // class stands for. Nothing when the file cannot be read or is empty.
  static std::optional<Alphabet> fromFile(const std::string& path, bool spaceLast = true);
  explicit Alphabet(std::vector<std::string> characters);

  // Classes, the blank included.
  size_t classCount() const { return characters_.size() + 1; }
  // The class of the space, or 0 when the alphabet has none.
  size_t spaceClass() const;
  const std::string& character(size_t classIndex) const { return characters_[classIndex - 1]; }
  // Whether `character` (one, UTF-8) is one the recogniser can write.
  bool writes(std::string_view character) const { return known_.contains(std::string(character)); }

 private:
  std::vector<std::string> characters_;
  std::unordered_set<std::string> known_;
};

// Steps [first, end) of a recogniser's output.
struct StepSpan {
  size_t first = 0;
  size_t end = 0;
};

struct CtcReading {
  std::string text;
  // Mean probability of the emitted characters (0 when there are none), and the least of them.
  float confidence = 0;
  float leastConfidence = 0;
  // The most steps between two characters (spaces aside), or between an end of the line and its
  // nearest character: where the recogniser saw only blanks. Text in letters it does not know
  // (kana, hangul, Thai) leaves such stretches in a line it otherwise reads.
  size_t longestGap = 0;
  // The least of the words' mean character probabilities, words of ASCII marks alone (">>")
  // aside: a word in letters the recogniser lacks, read as its nearest letters ("eb" for
  // "مطعم"), stands out of a line it otherwise reads surely.
  float leastWordConfidence = 0;
  // Each word's mean character probability, in the order of the words of `text` (split at
  // spaces).
  std::vector<float> wordConfidences;
  // The steps each word's characters were read at, from its first character's first step to its
  // last character's last, in the same order.
  std::vector<StepSpan> wordSteps;
};

// Between two characters, a space is written when its probability reaches this at some step.
inline constexpr float kSpaceHint = 0.05f;

// Reads `steps` rows of `classes` probabilities each. Classes past the alphabet count as blanks.
// The line fills the first `lineSteps` steps (all when 0 or more); the rest is padding, not
// counted in longestGap.
CtcReading decodeGreedy(const float* probabilities, size_t steps, size_t classes, const Alphabet& alphabet,
                        size_t lineSteps = 0);

}  // namespace platform::vision
