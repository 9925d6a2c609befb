// How well `look`'s text recognition reads the committed pictures whose text is known. The
// pinned rates are the ones measured with Debian 12's Tesseract 5.3.0 and its English model,
// rounded up: a change that reads worse fails here (bench/look_bench.sh prints the figures
// beside the tesseract command's).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "text_reading/image_reading.h"
#include "tools/character_error_rate.h"

namespace {

const std::string kFixtures = TEST_FIXTURES_DIR;

// The picture's lines as look reads them (its own per-image step), one per line.
std::string readLines(const std::string& path) {
  const platform::JsonObject record = text_reading::analyseImage(path);
  EXPECT_FALSE(record.contains("error")) << std::get<std::string>(record.at("error").get());
  std::string text;
  if (!record.contains("text")) return text;
  for (const platform::JsonValue& line : std::get<platform::JsonArray>(record.at("text").get())) {
    text += std::get<std::string>(std::get<platform::JsonObject>(line.get()).at("text").get()) + "\n";
  }
  return text;
}

std::string knownText(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(TextAccuracy, CommittedPicturesReadWithinTheirPinnedErrorRates) {
  struct Case {
    const char* name;
    double pinned;  // measured character error rate, rounded up
  };
  for (const Case& c :
       {Case{"paragraph", 0.0}, Case{"screenshot", 0.0}, Case{"date", 0.0}, Case{"page", 0.17}, Case{"sign", 0.7}}) {
    const std::string picture = kFixtures + "/text/" + c.name + ".jpg";
    const std::string read = readLines(picture);
    const double rate = tools::characterErrorRate(read, knownText(kFixtures + "/text/" + c.name + ".txt"));
    EXPECT_LE(rate, c.pinned) << c.name << " read as:\n" << read;
    RecordProperty(c.name, std::to_string(rate));
  }
}

}  // namespace
