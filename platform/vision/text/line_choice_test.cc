#include "platform/vision/text/line_choice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform::vision {
namespace {

// Plain letters, a few accented ones as the recogniser has them, the space.
Alphabet letters() {
  std::vector<std::string> characters;
  for (char c = 'a'; c <= 'z'; ++c) characters.push_back(std::string(1, c));
  for (char c = 'A'; c <= 'Z'; ++c) characters.push_back(std::string(1, c));
  for (const char* c : {"\xc3\xa9", "\xc3\xa8", ".", "?", ":", "1", "2"}) characters.push_back(c);  // é è
  characters.push_back(" ");
  return Alphabet(std::move(characters));
}

TEST(LineChoice, TesseractWinsWhereItWritesMoreAndSaysTheSame) {
  struct Case {
    const char* name;
    LineReading first, second;
    bool second_wins;
  };
  const Case cases[] = {
      {"letters beyond the alphabet", {"GroSe der Briicke", 0.96f, 0.5f}, {"Größe der Brücke", 0.95f, 0.95f}, true},
      {"ñ read as n", {"Manana es sabado", 0.98f, 0.95f}, {"Mañana es sábado", 0.9f, 0.9f}, true},
      {"more accents of the alphabet", {"Ou est la gare", 0.98f, 0.9f}, {"Où est la gare", 0.94f, 0.94f}, true},
      {"unsure second reading", {"GroSe der Briicke", 0.96f, 0.5f}, {"Größe der Brücke", 0.5f, 0.5f}, false},
      {"says something else", {"Platform 2", 0.97f, 0.8f}, {"Plättchen", 0.95f, 0.95f}, false},
      {"the same letters, no surer", {"Platform 2", 0.97f, 0.8f}, {"Platform a", 0.59f, 0.59f}, false},
      {"the same letters, much surer", {"sugar mon juice", 0.8f, 0.5f}, {"sugar, lemon juice", 0.95f, 0.95f}, true},
      {"doubtful as a whole, second less sure",
       {"Ingredints: sugar mon", 0.82f, 0.44f},
       {"Ingredients: sugar lemon", 0.77f, 0.77f},
       true},
      {"empty second reading", {"Open", 0.9f, 0.8f}, {"", 0.95f, 0.95f}, false},
      {"accents of the alphabet missed, about as sure",
       {"Reserve au personnel", 0.97f, 0.9f},
       {"R\xc3\xa9serv\xc3\xa9 au personnel", 0.9f, 0.9f},
       true},
      {"accents of the alphabet, much less sure",
       {"Reserve au personnel", 0.97f, 0.9f},
       {"R\xc3\xa9serv\xc3\xa9 au personnel", 0.8f, 0.8f},
       false},
      {"word breaks run together", {"Reserveaupersonnel", 0.97f, 0.9f}, {"Reserve au personnel", 0.9f, 0.9f}, true},
      {"one word of a long line read as another",
       {"unambiguously as either object or background. Here,", 0.94f, 0.88f},
       {"jigugus\xc4\xb0y as either object or background. Here,", 0.8f, 0.8f},
       false},
      {"word breaks, other letters", {"Reserveaupersonnel", 0.97f, 0.9f}, {"Reserve au personal", 0.9f, 0.9f}, false},
  };
  const Alphabet alphabet = letters();
  for (const Case& c : cases) EXPECT_EQ(prefersSecondReading(c.first, c.second, alphabet), c.second_wins) << c.name;
}

TEST(LineChoice, ALanguageModelsReadingReplacesWhenAboutAsSureAndNearlyTheSame) {
  const WordCheck noWords = [](const std::string&) { return false; };
  const LineReading latin{"Ausgang f\xc3\xbcr FuRg\xc3\xa4nger", 0.77f, 0.77f};
  EXPECT_TRUE(prefersLanguageReading(latin, {"Ausgang f\xc3\xbcr Fu\xc3\x9fg\xc3\xa4nger", 0.72f, 0.72f}, noWords));
  EXPECT_FALSE(prefersLanguageReading(latin, {"Ausgang f\xc3\xbcr Fu\xc3\x9fg\xc3\xa4nger", 0.55f, 0.55f}, noWords));
  EXPECT_FALSE(prefersLanguageReading(latin, {"Dudng m\xc3\xb4t chi\xc3\xaau", 0.9f, 0.9f}, noWords));  // another line
  EXPECT_FALSE(prefersLanguageReading(latin, {"", 0.9f, 0.9f}, noWords));
}

TEST(LineChoice, ALanguageModelsWordsReplaceMisreadLettersWhenSurer) {
  // Vietnamese read by the general Latin model: "lợi" as "Igi", "đỗ" as "dð".
  const LineReading shop{"C\xc3\xbc" "a h\xc3\xa0ng ti\xc3\xaan Igi", 0.79f, 0.79f};
  const LineReading vietnamese{"C\xe1\xbb\xad" "a h\xc3\xa0ng ti\xe1\xbb\x87n l\xe1\xbb\xa3i", 0.95f, 0.95f};
  const WordCheck vietnameseWords = [](const std::string& word) {
    return word == "C\xe1\xbb\xad" "a" || word == "h\xc3\xa0ng" || word == "ti\xe1\xbb\x87n" || word == "l\xe1\xbb\xa3i";
  };
  const WordCheck noWords = [](const std::string&) { return false; };
  EXPECT_TRUE(prefersLanguageReading(shop, vietnamese, vietnameseWords));
  EXPECT_FALSE(prefersLanguageReading(shop, vietnamese, noWords));  // no word of the language: another word
  // Less sure: the reading that differs stays out, words or not.
  EXPECT_FALSE(prefersLanguageReading(shop, {vietnamese.text, 0.78f, 0.78f}, vietnameseWords));
  // Every word differs: another line, however sure.
  EXPECT_FALSE(prefersLanguageReading(shop, {"Xin ch\xc3\xa0o qu\xc3\xbd kh\xc3\xa1" "ch", 0.97f, 0.97f},
                                      [](const std::string&) { return true; }));
}

TEST(LineChoice, TesseractsReadingMendsOnlyWordsTheWordListsLack) {
  const WordCheck english = [](const std::string& word) {
    return word == "must" || word == "return" || word == "the" || word == "path" || word == "park";
  };
  const LineReading first{"must retum the path", 0.97f, 0.8f};
  struct Case {
    const char* name;
    LineReading second;
    bool mends;
  };
  const Case cases[] = {
      {"an unknown word made a known one", {"must return the path", 0.9f, 0.9f}, true},
      {"a known word changed too", {"must return the park", 0.9f, 0.9f}, false},
      {"into another unknown word", {"must returm the path", 0.9f, 0.9f}, false},
      {"words split or run together", {"must return thepath", 0.9f, 0.9f}, false},
      {"the same reading", {"must retum the path", 0.9f, 0.9f}, false},
      {"too unsure to count", {"must return the path", 0.5f, 0.5f}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(correctsUnknownWords(first, c.second, english), c.mends) << c.name;
}

TEST(LineChoice, ReadsAgainTheMostDoubtfulLineAndLinesDoubtfulAsAWhole) {
  const std::vector<LineReading> lines = {
      {"Opening hours", 0.99f, 0.97f},           // sure
      {"Mon to Sat", 0.98f, 0.7f},               // a doubtful character
      {"8 am to 6 pm", 0.97f, 0.5f},             // the most doubtful character
      {"sugar mon juice", 0.8f, 0.6f},           // doubtful as a whole
      {"\xe4\xb8\xad\xe6\x96\x87", 0.5f, 0.3f},  // Han: no Latin reader helps
      {"2.40", 0.5f, 0.3f},                      // no letters
  };
  EXPECT_EQ(linesWorthReadingAgain(lines), (std::vector<size_t>{2, 3}));
  EXPECT_TRUE(linesWorthReadingAgain({}).empty());
  EXPECT_TRUE(linesWorthReadingAgain({{"Exit", 0.99f, 0.98f}}).empty());
}

TEST(LineChoice, MarksOfTheCutOutEdgesAreTakenOff) {
  struct Case {
    const char* read;
    const char* kept;
  };
  const Case cases[] = {
      {"| AT ALL TIMES |\n", "AT ALL TIMES"},
      {"; Ato", "Ato"},
      {"_Ingredients: water.", "Ingredients: water."},
      {"Platform 4|", "Platform 4"},
      {"Best before 03/2027.", "Best before 03/2027."},
      {"Wait ...", "Wait ..."},
      {"-5 degrees", "-5 degrees"},
      {"  \n", ""},
      {"|", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(withoutEdgeMarks(c.read), c.kept) << c.read;
}

TEST(LineChoice, AJapaneseReadingReplacesHanOnlyByAddingKana) {
  const struct {
    const char* han;
    const char* japanese;
    bool replaces;
  } cases[] = {
      {"手洗", "お手洗い", true},                  // kana at both ends
      {"営業時間案内", "営業時間のご案内", true},  // and among the kanji
      {"手洗", "手洗", false},                     // nothing added
      {"手洗", "お手洗い室", false},               // a Han character added
      {"手洗", "お毛洗い", false},                 // a Han character changed
      {"出口", "出口 Exit", false},                // Latin added
      {"", "おい", false},
  };
  for (const auto& c : cases) EXPECT_EQ(addsOnlyKana(c.han, c.japanese), c.replaces) << c.japanese;
}

TEST(LineChoice, FoldingSetsAccentsAndCaseAside) {
  EXPECT_EQ(foldedForComparison("Gr\xc3\xb6\xc3\x9f"
                                "e"),
            "grosse");                                            // Größe
  EXPECT_EQ(foldedForComparison("\xc3\x80 GAUCHE"), "a gauche");  // À GAUCHE
  EXPECT_EQ(foldedForComparison("\xff plain"), "\xff plain");     // not UTF-8: as it is
  EXPECT_EQ(accentedLetters("Ma\xc3\xb1"
                            "ana \xc3\xa9t\xc3\xa9"),
            3u);
  EXPECT_TRUE(
      inLatinLetters("\xc2\xbf"
                     "D\xc3\xb3nde?"));  // ¿Dónde?
  EXPECT_FALSE(inLatinLetters("12:40"));
  EXPECT_FALSE(inLatinLetters("\xd0\x9c\xd0\xb8\xd1\x80"));  // Cyrillic
}

}  // namespace
}  // namespace platform::vision
