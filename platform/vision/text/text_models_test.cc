#include "platform/vision/text/text_models.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <fstream>

#include "tests/support/files.h"

namespace platform::vision {
namespace {

TEST(TextModels, DetectionChoosesAmongInstalledModelsAndFallsBackToEnglish) {
  const std::vector<std::string> debian = {"Latin", "eng"};
  const std::vector<std::string> many = {"Cyrillic", "HanT", "Latin", "eng", "script/Arabic"};
  struct Case {
    std::optional<ScriptDetection> detection;
    std::vector<std::string> installed;
    std::string expected;
  };
  for (const Case& c : std::vector<Case>{
           {std::nullopt, many, "eng"},                       // too little text to tell
           {ScriptDetection{"Cyrillic", 5.0f}, many, "eng"},  // unsure
           {ScriptDetection{"Cyrillic", std::nanf("")}, many, "eng"},
           {ScriptDetection{"Latin", 30.0f}, debian, "eng"},
           {ScriptDetection{"Cyrillic", 30.0f}, many, "Cyrillic"},
           {ScriptDetection{"Arabic", 30.0f}, many, "script/Arabic"},
           {ScriptDetection{"Han", 30.0f}, many, "HanT"},
           {ScriptDetection{"Greek", 30.0f}, many, "eng"},  // not installed
           {ScriptDetection{"Cyrillic", 30.0f}, debian, "eng"},
       }) {
    EXPECT_EQ(chooseTextModel(c.detection, c.installed), c.expected)
        << (c.detection ? c.detection->script : "none") << " " << c.installed.size();
  }
  // With English and the Latin model only, detection can change nothing, so it need not run.
  EXPECT_FALSE(scriptDetectionMatters(debian));
  EXPECT_TRUE(scriptDetectionMatters(many));
  EXPECT_TRUE(scriptDetectionMatters({"eng", "script/Greek"}));
  EXPECT_FALSE(scriptDetectionMatters({"eng", "deu", "Latin_vert"}));
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
