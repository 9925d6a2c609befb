#include "platform/vision/text/latin_languages.h"

#include <gtest/gtest.h>

namespace platform::vision {
namespace {

// Readings of Tesseract's Latin model, as it reads the signs (its own mistakes included).
TEST(LatinLanguages, AccentsAndFrequentWordsNameTheLanguage) {
  struct Case {
    const char* text;
    std::optional<std::string> language;
  };
  const Case cases[] = {
      {"Ausgang für FuRgänger Bitte nicht stören", "deu"},
      {"Fermé le dimanche Boulangerie pâtisserie à côté", "fra"},
      {"Mañana es sábado", "spa"},
      {"Atencion al cliente Estacion de autobuses", "spa"},  // no accent read: its words tell
      {"Città vecchia a destra", std::nullopt},  // French, Italian, Portuguese all write à
      {"Uscita di sicurezza Città vecchia", "ita"},
      {"Informações turísticas", "por"},
      {"Chào mùng quý khách", "vie"},      // ý: no other language here writes it
      {"Giò mô cta tù tám giò sáng", "vie"},  // accents on most words
      {"Keep this door closed", std::nullopt},
      {"Café au lait 2.40", "fra"},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(likelyLatinLanguage(c.text), c.language) << c.text;
  // Decomposed accents count as the letters they make.
  EXPECT_EQ(likelyLatinLanguage("Gru\xcc\x88\xc3\x9f" "e"), "deu");  // u + combining diaeresis, ß
}

TEST(LatinLanguages, ForeignWordsAreNoEnglishWords) {
  EXPECT_TRUE(namesAnotherLanguage("Salida de emergencia"));
  EXPECT_TRUE(namesAnotherLanguage("Zurick zum Bahnhof"));
  EXPECT_TRUE(namesAnotherLanguage("Sortie DE secours"));
  EXPECT_FALSE(namesAnotherLanguage("Do not park in front of the gate"));
  EXPECT_FALSE(namesAnotherLanguage("Delivery entrance"));  // "del" only as a word of its own
}

TEST(LatinLanguages, WordsLoseThePunctuationAroundThem) {
  EXPECT_EQ(wordsForLookUp("¿Dónde está la estación?"),
            (std::vector<std::string>{"Dónde", "está", "la", "estación"}));
  EXPECT_EQ(wordsForLookUp("  12:30 - (Café)  "), std::vector<std::string>{"Café"});
  EXPECT_EQ(wordsForLookUp(""), std::vector<std::string>{});
}

}  // namespace
}  // namespace platform::vision
