#include "platform/vision/text/word_order.h"

#include <gtest/gtest.h>

namespace platform::vision {
namespace {

TEST(WordOrder, RightToLeftLinesReadFromTheRightWithEnglishRunsInTheirOwnOrder) {
  struct Case {
    const char* name;
    std::vector<PlacedWord> words;  // in any order; each word's own letters in logical order
    std::string line;
  };
  const Case cases[] = {
      {"Arabic alone", {{"الطوارئ", 10, 120, 40}, {"مخرج", 140, 220, 40}}, "مخرج الطوارئ"},
      {"Arabic then English",
       {{"Entrance", 10, 150, 40}, {"3", 160, 180, 40}, {"المدخل", 200, 300, 40}},
       "المدخل Entrance 3"},
      {"a number between Arabic words",
       {{"الطابق", 10, 100, 40}, {"3", 110, 130, 40}, {"المصعد", 150, 250, 40}},
       "المصعد 3 الطابق"},
      {"direction marks dropped",
       {{"Airport", 10, 120, 40}, {"\u200F" "مطار" "\u200E", 140, 220, 40}},
       "مطار Airport"},
      {"English stays left to right", {{"Exit", 100, 160, 40}, {"Fire", 10, 80, 40}}, "Fire Exit"},
  };
  for (const Case& c : cases) EXPECT_EQ(lineFromWords(c.words), c.line) << c.name;
}

TEST(WordOrder, HanKanaAndThaiGetSpacesOnlyWhereThePictureHasThem) {
  struct Case {
    const char* name;
    std::vector<PlacedWord> words;
    std::string line;
  };
  const Case cases[] = {
      {"a reader's split inside Japanese", {{"東京", 0, 80, 40}, {"タワー", 90, 200, 38}}, "東京タワー"},
      {"a full-width gap", {{"前方施工", 0, 160, 40}, {"请绕行", 200, 320, 40}}, "前方施工 请绕行"},
      {"Thai split", {{"ทาง", 0, 60, 44}, {"ออก", 64, 120, 30}}, "ทางออก"},
      {"Japanese then English", {{"東京タワー", 0, 200, 40}, {"Tokyo", 204, 300, 30}}, "東京タワー Tokyo"},
      {"Korean keeps its spaces", {{"비상구는", 0, 160, 40}, {"왼쪽에", 166, 280, 40}}, "비상구는 왼쪽에"},
      {"nothing", {}, ""},
      {"marks only", {{"\u200E", 0, 10, 10}}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(lineFromWords(c.words), c.line) << c.name;
}

}  // namespace
}  // namespace platform::vision
