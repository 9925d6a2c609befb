#include "platform/vision/text/line_scripts.h"

#include <gtest/gtest.h>

#include <vector>

namespace platform::vision {
namespace {

using enum TextScript;

// The recogniser's readings of real lines (bench/sign_set.py signs and the shared sample signs).
TEST(LineScripts, SureWholeReadingsSettleLatinAndHanAndTheRestGetCandidates) {
  struct Case {
    const char* name;
    struct {
      const char* text;
      float confidence;
      double longestGap;
      float detectorScore;
      float leastWordConfidence = 1;
    } reading;
    std::optional<TextScript> settled;
    std::vector<TextScript> firstCandidates;  // the start of the list, when not settled
  };
  const std::vector<Case> cases = {
      {"English", {"Keep this door closed", 0.99f, 0.7, 0.99f}, latin, {}},
      {"Chinese", {"前方施工请绕行", 1.0f, 1.2, 0.99f}, han, {}},
      {"Chinese and English", {"洗手间Toilet", 0.99f, 1.0, 0.99f}, han, {}},
      {"small print: Latin alone", {"Ingredients: water, sugar", 0.8f, 0.8, 0.99f}, std::nullopt, {latin}},
      {"small print: one word unsure", {"Ingredients: water, sugar, mon juce, alt.", 0.79f, 0.8, 0.99f, 0.62f},
       std::nullopt, {latin}},
      {"Russian as lookalikes", {"AnTeKa pa6oTaeT", 0.85f, 0.7, 0.99f}, std::nullopt, {latin, cyrillic, greek}},
      {"Greek with Greek letters", {"Φapuakeio avoLxto", 0.8f, 0.7, 0.99f}, std::nullopt, {latin, greek, cyrillic}},
      {"Japanese: kana dropped", {"開係者以外立入禁止", 0.86f, 3.5, 0.99f}, std::nullopt, {han, japanese, hangul}},
      {"Japanese: kana as a Latin letter", {"切符壳b場 Tickets", 0.93f, 1.0, 0.99f}, std::nullopt, {japanese, han}},
      {"Japanese: a kana read", {"當業時間の案内", 0.72f, 0.8, 0.99f}, std::nullopt, {japanese, han, hangul}},
      {"Korean: nothing read", {"", 0.0f, 11.0, 0.99f}, std::nullopt, {hangul, arabic, thai, japanese}},
      // Every word sure with a wide stretch unread: the Latin reader first, the others after it.
      {"Korean and English: English read", {"Exit 3", 0.99f, 2.2, 0.99f}, std::nullopt, {latin, hangul, arabic, thai}},
      {"a timetable's columns", {"Platform 2 10:15 Norwich", 0.98f, 1.33, 0.99f, 0.97f}, std::nullopt, {latin}},
      {"Korean and English: English unsure", {"Exit 3", 0.99f, 2.2, 0.99f, 0.8f}, std::nullopt,
       {hangul, arabic, thai}},
      {"digits alone", {"3.55", 1.0f, 0.5, 0.99f}, latin, {}},
      {"Thai as unsure Latin", {"knuauuks", 0.75f, 0.3, 0.99f}, std::nullopt, {hangul, arabic, thai, japanese}},
      // Leaves and bricks: only the recogniser's reading counts, as Latin when it has nothing.
      {"texture", {"", 0.0f, 2.0, 0.7f}, latin, {}},
      {"texture read as a mark", {"福", 0.1f, 0.7, 0.9f}, han, {}},
  };
  for (const Case& c : cases) {
    const ScriptGuess guess =
        guessScript({c.reading.text, c.reading.confidence, c.reading.longestGap, c.reading.detectorScore,
                     c.reading.leastWordConfidence},
                    {});
    EXPECT_EQ(guess.settled, c.settled) << c.name;
    if (c.settled) {
      EXPECT_TRUE(guess.candidates.empty()) << c.name;
      continue;
    }
    ASSERT_GE(guess.candidates.size(), c.firstCandidates.size()) << c.name;
    EXPECT_EQ(std::vector<TextScript>(guess.candidates.begin(), guess.candidates.begin() + c.firstCandidates.size()),
              c.firstCandidates)
        << c.name;
  }
  // Plain Latin is for the Latin reader alone; every other unsure line may be any script.
  EXPECT_EQ(guessScript({"Wivenioe Fark", 0.89f, 0.8, 0.99f}, {}).candidates, std::vector{latin});
  EXPECT_EQ(guessScript({"", 0.0f, 8.0, 0.99f}, {}).candidates.size(), kTextScripts.size());
}

TEST(LineScripts, ScriptsFoundInThePictureComeFirst) {
  const ScriptGuess guess = guessScript({"", 0.0f, 6.3, 0.99f}, {thai, greek});
  ASSERT_GE(guess.candidates.size(), 3u);
  EXPECT_EQ(guess.candidates[0], thai);
  EXPECT_EQ(guess.candidates[1], greek);
  EXPECT_EQ(guess.candidates[2], hangul);
  // Once each.
  EXPECT_EQ(std::count(guess.candidates.begin(), guess.candidates.end(), thai), 1);
}

TEST(LineScripts, LookalikeWordsAreAnotherAlphabetReadAsLatin) {
  struct Case {
    const char* text;
    size_t words;
  };
  const Case cases[] = {
      {"Keep this door closed", 0},
      {"Opening hours 9:00 to 17:30", 0},
      {"AnTeKa pa6oTaeT KpyrnocyToyHo", 3},  // case mixed inside words, digits between letters
      {"Φapuakeio avoLxto", 2},              // a Greek letter among Latin ones
      {"Ka入ws npate", 1},                    // one Han character among Latin letters
      {"洗手间Toilet 北京南站", 0},           // Chinese and English run together
      {"切符壳b場", 1},                       // a lone Latin letter among Han characters
      {"A4 10:15 3rd", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(lookalikeWords(c.text), c.words) << c.text;
}

TEST(LineScripts, ReadingsMostlyOfDigitsAndMarksAreNoText) {
  EXPECT_TRUE(plausibleReading("ทางออก Exit"));
  EXPECT_TRUE(plausibleReading("المدخل Entrance 3"));
  EXPECT_TRUE(plausibleReading("출구 Exit 5"));
  EXPECT_FALSE(plausibleReading("5 ี 50606 ๒๕พอิบัขอบท"));  // Greek as the Thai reader forces it
  EXPECT_FALSE(plausibleReading("TOUGAETEG отоу TIPWTO oрофо 1aB"));
  EXPECT_TRUE(plausibleReading("Каса працюЕ щодня"));  // a last letter read as its capital
  EXPECT_FALSE(plausibleReading("АпТеКа"));            // capitals inside: lookalikes
  EXPECT_FALSE(plausibleReading("12 | 34"));
  EXPECT_FALSE(plausibleReading(""));
}

TEST(LineScripts, CyrillicLookalikeWordsAreThoseMadeOfLettersCyrillicIsReadAs) {
  struct Case {
    const char* word;
    bool lookalike;
  };
  const Case cases[] = {
      {"Mempo", true},    {"Kacca", true},  {"Anmeka", true}, {"Merpo", true},  // т read as r
      {"Hello", false},  // "l" is no lookalike
      {"Metro", false},   {"Pharmacy", false}, {"Ok", false},  // too short
      {"Метро", false},   {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(cyrillicLookalikeWord(c.word), c.lookalike) << c.word;
  EXPECT_EQ(lowerCased("Касса ÉTÉ Tickets"), "касса été tickets");
}

TEST(LineScripts, GreekWordsOfTwoSyllablesInSmallLettersCarryAStressMark) {
  const std::pair<const char*, bool> cases[] = {
      {"Μετρο", true},  // "Метро" read as Greek
      {"λεωφορειου", true},
      {"Μετρό", false}, {"Αεροδρόμιο", false}, {"ΕΞΟΔΟΣ", false},  // capitals carry none
      {"και", false},   {"του", false},        {"να", false},      // one syllable: no mark
      {"Metro", false}, {"", false},
  };
  for (const auto& [word, unstressed] : cases) EXPECT_EQ(unstressedGreekWord(word), unstressed) << word;
}

// The recogniser's readings of mixed signs and of English small print, each word's confidence,
// and the places of the words that may be another alphabet read as Latin letters. The word list
// here holds the English words and "poho", "obo" and "bo", as Tesseract's Latin list does.
TEST(LineScripts, ForeignWordsAreDoubtedWordsNoListHoldsOrShortOnesStandingOut) {
  const auto known = [](const std::string& word) {
    for (const char* listed : {"restaurant", "airport", "entrance", "poho", "obo", "bo", "scalable", "web", "services",
                               "rust", "is", "a", "great", "fit", "students", "on", "their", "own", "better",
                               "fur", "gepack"}) {
      if (word == listed) return true;
    }
    return false;
  };
  struct Case {
    const char* text;
    std::vector<float> confidences;
    std::vector<size_t> foreign;
  };
  const Case cases[] = {
      {"Airport jlho", {0.994f, 0.725f}, {1}},            // Arabic: not a word of the list
      {"Entrance 3 Jiall", {0.999f, 0.996f, 0.837f}, {2}},  // Arabic, beside a number
      {"Restaurant poho", {0.989f, 0.748f}, {1}},         // short and doubted, the rest sure
      {"Airport ,bo", {1.0f, 0.72f}, {1}},
      {"Eioosoc Entrance", {0.829f, 0.986f}, {0}},        // Greek
      {"Gebuhren fur Gepack", {0.952f, 0.864f, 0.942f}, {}},  // sure or listed: umlauts the recogniser lacks
      {"scalable web services, Rust is a great fit.", {0.987f, 0.985f, 0.993f, 0.995f, 0.88f, 0.993f, 0.992f, 0.845f}, {}},
      {"students on their own", {0.988f, 0.797f, 0.888f, 0.937f}, {}},  // short, but small print doubts others
      {"Library closed", {1.0f, 1.0f}, {}},               // sure words are never foreign
      {"Exit x", {0.99f, 0.5f}, {}},                      // one letter says nothing
      {"出口 Exit", {0.6f, 0.99f}, {}},                   // not Latin letters
      {"Airport jlho", {0.994f}, {}},                     // no confidence for the word: not judged
  };
  for (const Case& c : cases) {
    EXPECT_EQ(foreignWords(RecognisedWords{c.text, c.confidences}, known), c.foreign) << c.text;
  }
}

TEST(LineScripts, SureEnglishWordsAreCountedAtSpaces) {
  const std::vector<float> confidences = {0.99f, 0.95f, 0.6f, 0.99f};
  EXPECT_EQ(sureEnglishWords(RecognisedWords{"Railway Station aanusalw 2", confidences}), 2u);
  EXPECT_EQ(wordsAtSpaces("  Entrance  3 "), (std::vector<std::string>{"Entrance", "3"}));
  EXPECT_EQ(wordsAtSpaces(""), std::vector<std::string>{});
}

TEST(LineScripts, AReadingKeepsTheEnglishWordsTheRecogniserRead) {
  const std::vector<float> sure = {0.95f, 0.95f, 0.95f};
  const RecognisedWords first{"Kaca Railway 2", sure};
  struct Case {
    const char* reading;
    size_t kept;
  };
  const Case cases[] = {
      {"Kaca Railway 2", 2},
      {"kaca RAILWAY", 2},      // case set aside
      {"Каса Railway", 2},      // the same word in Cyrillic lookalikes
      {"Каша Railway", 1},      // ш looks like no Latin letter
      {"ทาง 2", 0},             // Thai: nothing kept
  };
  for (const Case& c : cases) EXPECT_EQ(sharedPlainWords(first, c.reading), c.kept) << c.reading;
}

}  // namespace
}  // namespace platform::vision
