// How well `look`'s text recognition reads the committed pictures whose text is known. The
// pinned rates are the ones measured with Debian 12's Tesseract 5.3.0 and its English model,
// rounded up: a change that reads worse fails here (bench/look_bench.sh prints the figures
// beside the tesseract command's).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/vision/image_request_handler.h"
#include "platform/vision/text/text_request.h"
#include "text_reading/image_record.h"
#include "tools/character_error_rate.h"

namespace {

using namespace platform::vision;

const std::string kFixtures = TEST_FIXTURES_DIR;

// The picture's lines as look reads them (same request settings), one per line.
std::string readLines(const std::string& path) {
  TextRecognitionRequest request;
  request.setRecognitionLevel(TextRecognitionLevel::accurate);
  request.setUsesLanguageCorrection(true);
  request.setDetectsScript(true);
  ImageRequestHandler handler(path);
  const platform::Result<void> done = handler.perform({&request});
  EXPECT_TRUE(done) << done.error().description;
  std::string text;
  if (!request.results()) return text;
  for (const TextObservation& line : *request.results()) {
    if (std::optional<platform::JsonObject> record = text_reading::lineRecord(line)) {
      text += std::get<std::string>(record->at("text").get()) + "\n";
    }
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
