#include "platform/vision/text/text_scripts.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace platform::vision {
namespace {

TEST(TextScripts, EachLineIsInTheScriptItsLettersSay) {
  struct Case {
    const char* text;
    std::optional<TextScript> script;
  };
  const Case cases[] = {
      {"Exit 3", TextScript::latin},
      {"Giờ mở cửa", TextScript::latin},  // Vietnamese letters are Latin
      {"前方施工 请绕行", TextScript::han},
      {"ここは関係者以外立入禁止です", TextScript::japanese},  // kana among Han characters
      {"タクシーのりば", TextScript::japanese},
      {"비상구는 왼쪽에", TextScript::hangul},
      {"Осторожно, скользкий пол", TextScript::cyrillic},
      {"Φαρμακείο ανοιχτό", TextScript::greek},
      {"ทางออกฉุกเฉิน", TextScript::thai},
      {"مخرج الطوارئ", TextScript::arabic},
      // Signs that mix in English are in their other script.
      {"切符売り場 Tickets", TextScript::japanese},
      {"출구 Exit 3", TextScript::hangul},
      {"Касса Tickets", TextScript::cyrillic},
      {"洗手间 Toilet", TextScript::han},
      // Nothing to tell from.
      {"", std::nullopt},
      {"12:30 - 4.50", std::nullopt},
      {"שלום", std::nullopt},  // Hebrew: no reader here
  };
  for (const Case& c : cases) EXPECT_EQ(scriptOfLine(c.text), c.script) << c.text;
}

TEST(TextScripts, CountsLettersOfEachScriptAndOthersApart) {
  const ScriptCounts counts = countScripts("Выход Exit 3 שלום");
  EXPECT_EQ(counts[TextScript::cyrillic], 5u);
  EXPECT_EQ(counts[TextScript::latin], 4u);
  EXPECT_EQ(counts.otherLetters, 4u);
  EXPECT_EQ(counts.total(), 13u);
  // Bytes that are not UTF-8 are no letters and end nothing early.
  EXPECT_EQ(countScripts("a\xff" "b").total(), 2u);
  EXPECT_EQ(codePoints("a\xff" "b"), (std::vector<char32_t>{U'a', 0xFFFD, U'b'}));
}

TEST(TextScripts, HanKanaAndThaiAreWrittenWithoutSpaces) {
  for (char32_t c : {U'漢', U'の', U'タ', U'ก', U'。'}) EXPECT_TRUE(writtenWithoutSpaces(c)) << static_cast<int>(c);
  for (char32_t c : {U'a', U'한', U'ж', U'م', U'1'}) EXPECT_FALSE(writtenWithoutSpaces(c)) << static_cast<int>(c);
  EXPECT_TRUE(rightToLeft(TextScript::arabic));
  EXPECT_FALSE(rightToLeft(TextScript::hangul));
}

}  // namespace
}  // namespace platform::vision
