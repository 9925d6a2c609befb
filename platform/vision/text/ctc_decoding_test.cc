#include "platform/vision/text/ctc_decoding.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace platform::vision {
namespace {

// Classes: 0 blank, 1 "a", 2 "b", 3 ".", 4 " ".
const Alphabet kLetters({"a", "b", ".", " "});

// Rows of 5 class probabilities, one per step; `best` is the likeliest class of each step with
// probability `sure`, the rest shared out, and the space given `space` where asked.
std::vector<float> steps(const std::vector<int>& best, float sure = 0.9f, const std::vector<float>& space = {}) {
  std::vector<float> rows;
  for (size_t t = 0; t < best.size(); ++t) {
    std::vector<float> row(5, (1 - sure) / 4);
    row[static_cast<size_t>(best[t])] = sure;
    if (t < space.size() && best[t] != 4) row[4] = space[t];
    rows.insert(rows.end(), row.begin(), row.end());
  }
  return rows;
}

TEST(CtcDecoding, RepeatsCollapseAndBlanksSeparate) {
  struct Case {
    const char* name;
    std::vector<int> best;
    std::string text;
  };
  const Case cases[] = {
      {"repeats collapse", {1, 1, 1, 2, 2}, "ab"},
      {"a blank splits a repeat", {1, 0, 1}, "aa"},
      {"blanks alone", {0, 0, 0}, ""},
      {"the space class is a space", {1, 4, 2}, "a b"},
      {"no steps", {}, ""},
  };
  for (const Case& c : cases) {
    const std::vector<float> rows = steps(c.best);
    EXPECT_EQ(decodeGreedy(rows.data(), c.best.size(), 5, kLetters).text, c.text) << c.name;
  }
}

TEST(CtcDecoding, ARisingSpaceBetweenCharactersWritesOneButNotBeforeClosingMarks) {
  // The space's probability rises to kSpaceHint between the letters: a space is written.
  std::vector<float> rows = steps({1, 0, 2}, 0.9f, {0, kSpaceHint, 0});
  EXPECT_EQ(decodeGreedy(rows.data(), 3, 5, kLetters).text, "a b");
  rows = steps({1, 0, 2}, 0.9f, {0, kSpaceHint / 2, 0});
  EXPECT_EQ(decodeGreedy(rows.data(), 3, 5, kLetters).text, "ab");
  rows = steps({1, 0, 3}, 0.9f, {0, 0.2f, 0});
  EXPECT_EQ(decodeGreedy(rows.data(), 3, 5, kLetters).text, "a.");
  rows = steps({0, 1}, 0.9f, {0.5f, 0});  // nothing before it: no leading space
  EXPECT_EQ(decodeGreedy(rows.data(), 2, 5, kLetters).text, "a");
}

TEST(CtcDecoding, ConfidenceIsTheMeanAndTheLeastOfTheWrittenCharacters) {
  std::vector<float> rows = steps({1, 0, 2});
  rows[5 * 2 + 2] = 0.5f;  // "b" less sure
  const CtcReading reading = decodeGreedy(rows.data(), 3, 5, kLetters);
  EXPECT_NEAR(reading.confidence, (0.9f + 0.5f) / 2, 1e-6);
  EXPECT_NEAR(reading.leastConfidence, 0.5f, 1e-6);
  const std::vector<float> blank = steps({0, 0});
  EXPECT_EQ(decodeGreedy(blank.data(), 2, 5, kLetters).confidence, 0.0f);
}

TEST(CtcDecoding, TheLeastSureWordLeavesOutWordsOfMarksAlone) {
  // "a . b": the lone "." is read at 0.3, the letters at 0.9 and 0.6.
  std::vector<float> rows = steps({1, 4, 3, 4, 2});
  rows[5 * 2 + 3] = 0.3f;
  rows[5 * 4 + 2] = 0.6f;
  const CtcReading reading = decodeGreedy(rows.data(), 5, 5, kLetters);
  ASSERT_EQ(reading.text, "a . b");
  EXPECT_EQ(reading.wordConfidences, (std::vector<float>{0.9f, 0.3f, 0.6f}));
  EXPECT_NEAR(reading.leastWordConfidence, 0.6f, 1e-6);
}

TEST(CtcDecoding, TheLongestGapIsTheMostStepsWithoutACharacterInsideTheLine) {
  struct Case {
    const char* name;
    std::vector<int> best;
    size_t lineSteps;
    size_t gap;
  };
  const Case cases[] = {
      {"between characters", {1, 0, 0, 0, 2, 0}, 0, 3},  // "a" at 0, "b" at 4
      {"before the first", {0, 0, 0, 1, 0, 2}, 0, 3},
      {"after the last, up to the line's end", {1, 0, 2, 0, 0, 0, 0, 0}, 6, 3},
      {"spaces are no characters", {1, 4, 4, 4, 2}, 0, 3},
      {"nothing read", {0, 0, 0}, 0, 3},
      {"a character's repeats are its own", {1, 1, 1, 0, 2}, 0, 1},
  };
  for (const Case& c : cases) {
    const std::vector<float> rows = steps(c.best);
    EXPECT_EQ(decodeGreedy(rows.data(), c.best.size(), 5, kLetters, c.lineSteps).longestGap, c.gap) << c.name;
  }
}

TEST(CtcDecoding, ClassesBeyondTheAlphabetCountAsBlanks) {
  // Seven classes against an alphabet of four letters: classes 5 and 6 write nothing.
  std::vector<float> rows(7 * 3, 0.0f);
  rows[0 * 7 + 1] = 1;  // "a"
  rows[1 * 7 + 6] = 1;  // beyond
  rows[2 * 7 + 1] = 1;  // "a" again, after what counted as a blank
  EXPECT_EQ(decodeGreedy(rows.data(), 3, 7, kLetters).text, "aa");
}

TEST(CtcDecoding, AlphabetFromAFileEndsWithTheSpace) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "ctc_alphabet_test.txt";
  std::ofstream(path) << "x\r\ny\n\xc3\xa9\n";
  const std::optional<Alphabet> read = Alphabet::fromFile(path.string());
  ASSERT_TRUE(read);
  EXPECT_EQ(read->classCount(), 5u);
  EXPECT_EQ(read->character(1), "x");  // the carriage return is dropped
  EXPECT_EQ(read->character(3), "\xc3\xa9");
  EXPECT_EQ(read->spaceClass(), 4u);
  EXPECT_TRUE(read->writes("\xc3\xa9"));
  EXPECT_FALSE(read->writes("\xc3\xb1"));
  std::filesystem::remove(path);
  EXPECT_FALSE(Alphabet::fromFile(path.string()));
  std::ofstream(path).close();
  EXPECT_FALSE(Alphabet::fromFile(path.string()));  // empty
  std::filesystem::remove(path);
  // A FIFO in the alphabet's place is refused, not waited on.
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  EXPECT_FALSE(Alphabet::fromFile(path.string()));
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace platform::vision
