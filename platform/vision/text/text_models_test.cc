#include "platform/vision/text/text_models.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "tests/support/files.h"

namespace platform::vision {
namespace {

TEST(TextModels, EachScriptReadsWithItsLanguagesThenItsScriptModel) {
  const std::vector<std::string> debian = {"Latin", "eng"};
  const std::vector<std::string> all = {"Arabic", "Cyrillic", "Greek", "HanT", "Hangul", "Japanese", "Latin", "Thai",
                                        "ara",    "chi_sim",  "chi_tra", "ell", "eng",    "jpn",      "kor",   "rus",
                                        "tha",    "ukr"};
  const std::vector<std::string> scripts = {"Latin", "eng", "script/Cyrillic", "script/Hangul", "script/Thai"};
  struct Case {
    TextScript script;
    std::vector<std::string> installed;
    bool english;
    std::optional<std::string> models;
  };
  const Case cases[] = {
      {TextScript::latin, debian, false, "Latin"},
      {TextScript::latin, {"eng"}, true, "eng"},
      {TextScript::cyrillic, all, false, "rus+ukr"},
      {TextScript::cyrillic, all, true, "rus+ukr+eng"},
      {TextScript::cyrillic, {"rus"}, true, "rus"},  // no English to add
      {TextScript::cyrillic, scripts, true, "script/Cyrillic"},
      {TextScript::greek, all, true, "ell+eng"},
      {TextScript::japanese, all, true, "jpn"},  // its own model reads English
      {TextScript::hangul, all, false, "kor+Hangul"},
      {TextScript::hangul, scripts, false, "script/Hangul"},
      {TextScript::thai, scripts, true, "script/Thai"},
      {TextScript::arabic, all, false, "ara"},
      {TextScript::han, all, true, "chi_tra"},
      {TextScript::greek, debian, false, std::nullopt},
      {TextScript::arabic, {}, false, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(scriptReaderModels(c.script, c.installed, c.english), c.models)
        << scriptName(c.script) << " with " << c.installed.size() << " models";
  }
  // A language its letters name goes first.
  EXPECT_EQ(scriptReaderModels(TextScript::cyrillic, all, true, "ukr"), "ukr+rus+eng");
  EXPECT_EQ(scriptReaderModels(TextScript::cyrillic, {"rus", "eng"}, false, "ukr"), "rus");
  EXPECT_TRUE(writesUkrainian("Вихід до міста"));
  EXPECT_FALSE(writesUkrainian("Выход в город"));
}

TEST(TextModels, ListsRecognitionModelsAtTheTopAndInScript) {
  const test_support::TemporaryFolder temporary;
  const std::string folder = temporary.path();
  ASSERT_EQ(mkdir((folder + "/script").c_str(), 0755), 0);
  for (const char* file : {"eng.traineddata", "osd.traineddata", "equ.traineddata", "Latin.traineddata", "pdf.ttf",
                           "script/Cyrillic.traineddata", ".traineddata"}) {
    std::ofstream(folder + "/" + file) << "x";
  }
  EXPECT_EQ(installedTextModels(folder), (std::vector<std::string>{"Latin", "eng", "script/Cyrillic"}));
  EXPECT_EQ(installedTextModels(folder + "/missing"), std::vector<std::string>{});
}

}  // namespace
}  // namespace platform::vision
