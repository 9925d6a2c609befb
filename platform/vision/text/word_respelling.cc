#include "platform/vision/text/word_respelling.h"

#include <algorithm>
#include <optional>

#include "platform/vision/text/latin_languages.h"
#include "platform/vision/text/line_scripts.h"
#include "platform/vision/text/text_scripts.h"

namespace platform::vision {

namespace {

// Other spellings looked at per word: past the first few they are far less likely.
constexpr size_t kSpellingsTried = 8;

// The word `written` stands for, punctuation off, when it is one of three letters or more.
std::optional<std::string> lettersOf(std::string_view written) {
  const std::vector<std::string> words = wordsForLookUp(written);
  if (words.size() != 1 || codePoints(words.front()).size() < 3) return std::nullopt;
  return words.front();
}

}  // namespace

std::vector<size_t> unknownWords(std::string_view text, const WordCheck& isWord) {
  std::vector<size_t> out;
  const std::vector<std::string> words = wordsAtSpaces(text);
  for (size_t i = 0; i < words.size(); ++i) {
    const std::optional<std::string> letters = lettersOf(words[i]);
    if (letters && !isWord(*letters)) out.push_back(i);
  }
  return out;
}

std::string respelledWords(std::string_view text, const std::vector<StepSpan>& wordSteps,
                           const std::vector<StepChoices>& choices, const Alphabet& alphabet, const WordCheck& isWord) {
  std::vector<std::string> words = wordsAtSpaces(text);
  if (words.size() != wordSteps.size()) return std::string(text);
  // A line of mostly unknown words is names, codes or another language, not misread words.
  const std::vector<size_t> unknown = unknownWords(text, isWord);
  const auto lettered =
      std::count_if(words.begin(), words.end(), [](const std::string& w) { return lettersOf(w).has_value(); });
  if (2 * unknown.size() > static_cast<size_t>(lettered)) return std::string(text);
  bool changed = false;
  for (size_t i : unknown) {
    // The word's own steps and the blanks around it, up to its neighbours' letters.
    const StepSpan span{i == 0 ? 0 : wordSteps[i - 1].end,
                        i + 1 < words.size() ? wordSteps[i + 1].first : choices.size()};
    const std::vector<Spelling> spellings = likeliestSpellings(choices, span, alphabet, kSpellingsTried);
    if (spellings.empty()) continue;
    for (const Spelling& spelling : spellings) {
      if (spelling.probability < kRespellingShare * spellings.front().probability) break;
      const std::optional<std::string> letters = lettersOf(spelling.text);
      if (!letters || !isWord(*letters) || spelling.text.find(' ') != std::string::npos) continue;
      words[i] = spelling.text;
      changed = true;
      break;
    }
  }
  if (!changed) return std::string(text);
  std::string out;
  for (const std::string& word : words) out += (out.empty() ? "" : " ") + word;
  return out;
}

}  // namespace platform::vision
