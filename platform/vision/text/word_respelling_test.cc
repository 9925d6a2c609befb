#include "platform/vision/text/word_respelling.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/vision/text/ctc_spellings.h"
#include "platform/vision/text/english_words.h"

namespace platform::vision {
namespace {

// Classes: 0 blank, 1 "r", 2 "e", 3 "t", 4 "u", 5 "n", 6 "m", 7 "h", 8 "l", 9 " ".
const Alphabet kLetters({"r", "e", "t", "u", "n", "m", "h", "l", " "});
constexpr size_t kClasses = 10;

// One row of class probabilities per step, each given as (class, probability) pairs.
std::vector<float> rows(const std::vector<std::vector<std::pair<int, float>>>& steps) {
  std::vector<float> out(steps.size() * kClasses, 0.0f);
  for (size_t t = 0; t < steps.size(); ++t) {
    for (const auto& [c, p] : steps[t]) out[t * kClasses + static_cast<size_t>(c)] = p;
  }
  return out;
}

TEST(CtcSpellings, EachSpellingSumsEveryPathThatWritesIt) {
  // "l" over two steps is one letter, however the blanks fall; two need a blank between.
  const std::vector<float> twoSteps = rows({{{8, 0.6f}, {0, 0.4f}}, {{8, 0.6f}, {0, 0.4f}}});
  const std::vector<StepChoices> choices = likeliestChoices(twoSteps.data(), 2, kClasses, kLetters);
  const std::vector<Spelling> spellings = likeliestSpellings(choices, {0, 2}, kLetters, 8);
  ASSERT_EQ(spellings.size(), 2u);
  EXPECT_EQ(spellings[0].text, "l");
  EXPECT_NEAR(spellings[0].probability, 0.36 + 0.24 + 0.24, 1e-6);
  EXPECT_EQ(spellings[1].text, "");
  EXPECT_NEAR(spellings[1].probability, 0.16, 1e-6);

  const std::vector<float> split = rows({{{8, 1.0f}}, {{0, 1.0f}}, {{8, 1.0f}}});
  const std::vector<StepChoices> splitChoices = likeliestChoices(split.data(), 3, kClasses, kLetters);
  EXPECT_EQ(likeliestSpellings(splitChoices, {0, 3}, kLetters, 8).front().text, "ll");
}

// "the retum" as the recogniser reads small print: the last letter's two steps hesitate between
// "m" and the pair "rn" by `pair` (of 0.9 in all).
std::vector<float> theRetum(float pair) {
  const float m = 0.9f - pair;
  return rows({{{3, 1.0f}},
               {{7, 1.0f}},
               {{2, 1.0f}},
               {{9, 1.0f}},  // "the "
               {{1, 1.0f}},
               {{2, 1.0f}},
               {{3, 1.0f}},
               {{4, 1.0f}},  // "retu"
               {{6, m}, {1, pair}, {0, 0.1f}},
               {{6, m}, {5, pair}, {0, 0.1f}},
               {{0, 1.0f}}});
}

TEST(WordRespelling, AMisreadWordBecomesItsLikelySpellingThatIsAWord) {
  struct Case {
    const char* name;
    float pair;                   // the probability of "rn" at each of the two steps
    std::set<std::string> words;  // the language's words
    bool stepsMatch;              // whether the reading's words and steps agree
    std::string expected;
  };
  const Case cases[] = {
      {"close second spelling that is a word", 0.4f, {"the", "return"}, true, "the return"},
      {"a word's spelling too unlikely", 0.1f, {"the", "return"}, true, "the retum"},
      {"the misreading is a word itself", 0.4f, {"the", "return", "retum"}, true, "the retum"},
      {"a line of mostly unknown words", 0.4f, {"return"}, true, "the retum"},
      {"words and steps that disagree", 0.4f, {"the", "return"}, false, "the retum"},
  };
  for (const Case& c : cases) {
    const std::vector<float> probabilities = theRetum(c.pair);
    const size_t steps = probabilities.size() / kClasses;
    const CtcReading greedy = decodeGreedy(probabilities.data(), steps, kClasses, kLetters);
    ASSERT_EQ(greedy.text, "the retum") << c.name;
    ASSERT_EQ(greedy.wordSteps.size(), 2u) << c.name;
    EXPECT_EQ(greedy.wordSteps[1].first, 4u) << c.name;
    EXPECT_EQ(greedy.wordSteps[1].end, 10u) << c.name;
    const std::vector<StepChoices> choices = likeliestChoices(probabilities.data(), steps, kClasses, kLetters);
    const std::vector<StepSpan> wordSteps = c.stepsMatch ? greedy.wordSteps : std::vector<StepSpan>{};
    const WordCheck isWord = [&](const std::string& word) { return c.words.contains(word); };
    EXPECT_EQ(respelledWords(greedy.text, wordSteps, choices, kLetters, isWord), c.expected) << c.name;
  }
}

TEST(EnglishWords, KnowsWordsAndTheirFormsButNotCommonMisreadings) {
  ASSERT_TRUE(haveEnglishWords()) << "scripts/setup.sh installs wamerican and wbritish";
  const std::pair<const char*, bool> cases[] = {
      {"return", true},  {"Return", true}, {"returned", true}, {"harbour", true},
      {"Tuesday", true}, {"retum", false}, {"arived", false},  {"tbe", false},
  };
  for (const auto& [word, known] : cases) EXPECT_EQ(isEnglishWord(word), known) << word;
}

}  // namespace
}  // namespace platform::vision
