#include "platform/vision/text/ctc_decoding.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <string_view>

#include "platform/nn/model_files.h"

namespace platform::vision {

namespace {

// ASCII punctuation and symbols: everything printable but letters, digits and the space.
bool asciiMark(const std::string& character) {
  if (character.size() != 1) return false;
  const unsigned char c = static_cast<unsigned char>(character[0]);
  return c > ' ' && c < 0x7f && !std::isalnum(c);
}

}  // namespace

std::optional<Alphabet> Alphabet::fromFile(const std::string& path, bool spaceLast) {
  // Read as the models are: a FIFO or a device in its place is refused, not waited on.
  const Result<std::vector<uint8_t>> bytes = nn::readModelBytes(path);
  if (!bytes) return std::nullopt;
  std::istringstream file(std::string(bytes.value().begin(), bytes.value().end()));
  std::vector<std::string> characters;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    characters.push_back(line);
  }
  if (characters.empty()) return std::nullopt;
  if (spaceLast) characters.push_back(" ");
  return Alphabet(std::move(characters));
}

Alphabet::Alphabet(std::vector<std::string> characters)
    : characters_(std::move(characters)), known_(characters_.begin(), characters_.end()) {}

size_t Alphabet::spaceClass() const {
  for (size_t i = characters_.size(); i-- > 0;) {
    if (characters_[i] == " ") return i + 1;
  }
  return 0;
}

CtcReading decodeGreedy(const float* probabilities, size_t steps, size_t classes, const Alphabet& alphabet,
                        size_t lineSteps) {
  CtcReading reading;
  if (lineSteps == 0 || lineSteps > steps) lineSteps = steps;
  size_t lastCharacter = 0;  // the step after the last one holding a character (spaces aside)
  const size_t space = alphabet.spaceClass() < classes ? alphabet.spaceClass() : 0;
  size_t previous = 0;
  double sum = 0;
  double wordSum = 0;
  size_t wordLength = 0;
  bool wordHasLetters = false;  // marks alone (">>", "-") are read less surely than words
  float leastWord = 1;
  StepSpan wordSpan;
  auto endWord = [&] {
    if (wordLength > 0) {
      if (wordHasLetters) leastWord = std::min(leastWord, static_cast<float>(wordSum / wordLength));
      reading.wordConfidences.push_back(static_cast<float>(wordSum / wordLength));
      reading.wordSteps.push_back(wordSpan);
    }
    wordSum = 0;
    wordLength = 0;
    wordHasLetters = false;
  };
  size_t emitted = 0;
  float least = 1;
  float spaceHint = 0;  // the space's highest probability since the last character
  for (size_t t = 0; t < steps; ++t) {
    const float* row = probabilities + t * classes;
    size_t best = static_cast<size_t>(std::max_element(row, row + classes) - row);
    if (best >= alphabet.classCount()) best = 0;
    if (space != 0) spaceHint = std::max(spaceHint, row[space]);
    if (best != 0 && best != previous) {
      const std::string& character = alphabet.character(best);
      const bool closing =
          character.size() == 1 && std::string_view(".,;:!?)]}%").find(character[0]) != std::string_view::npos;
      if (best != space && !closing && spaceHint >= kSpaceHint && !reading.text.empty() && reading.text.back() != ' ') {
        reading.text += ' ';
        endWord();
      }
      if (best == space) {
        endWord();
      } else {
        if (wordLength == 0) wordSpan.first = t;
        wordSum += row[best];
        ++wordLength;
        wordHasLetters = wordHasLetters || !asciiMark(character);
      }
      spaceHint = 0;
      reading.text += alphabet.character(best);
      if (best != space && t < lineSteps) reading.longestGap = std::max(reading.longestGap, t - lastCharacter);
      sum += row[best];
      least = std::min(least, row[best]);
      ++emitted;
    }
    if (best != 0 && best != space) {
      lastCharacter = t + 1;  // a character's repeats are its own steps
      wordSpan.end = t + 1;
    }
    previous = best;
  }
  reading.longestGap = std::max(reading.longestGap, lineSteps - std::min(lastCharacter, lineSteps));
  endWord();
  if (emitted > 0) {
    reading.confidence = static_cast<float>(sum / emitted);
    reading.leastConfidence = least;
    reading.leastWordConfidence = leastWord;
  }
  return reading;
}

}  // namespace platform::vision
