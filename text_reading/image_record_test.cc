#include "text_reading/image_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace text_reading {
namespace {

using namespace platform::vision;

std::string json(const platform::JsonValue& value) { return platform::writeJson(value).value_or("<unwritable>"); }

TextObservation line(std::string text, float confidence, NormalizedRect box = {0.1, 0.2, 0.3, 0.4}) {
  TextObservation observation;
  observation.boundingBox = box;
  observation.candidates.push_back(TextCandidate{std::move(text), confidence});
  return observation;
}

FaceObservation face(NormalizedRect box, float confidence) {
  FaceObservation observation;
  observation.boundingBox = box;
  observation.confidence = confidence;
  return observation;
}

TEST(Rounding, HalvesGoAwayFromZeroAfterScaling) {
  struct Case {
    double value;
    double expected;
  };
  for (const Case& c : std::vector<Case>{
           {0.03125, 0.0313},  // a half: away from zero, not to even
           {-0.03125, -0.0313},
           {0.123456, 0.1235},
           {1 - 0.9, 0.1},  // 0.09999999999999998
           {0.00004, 0.0},
           {1.0, 1.0},
       }) {
    EXPECT_EQ(round4(c.value), c.expected) << c.value;
  }
  struct ConfidenceCase {
    float confidence;
    double expected;
  };
  for (const ConfidenceCase& c : std::vector<ConfidenceCase>{
           {0.0625f, 0.063},  // exactly a half at three decimals
           {0.9876f, 0.988},
           {1.0f, 1.0},
           {0.0f, 0.0},
           {0.5f, 0.5},
       }) {
    EXPECT_EQ(round3(c.confidence), c.expected) << c.confidence;
  }
}

TEST(FromTop, MovesTheOriginToTheTopLeftAndRounds) {
  EXPECT_EQ(json(fromTop({0.123456, 0.4, 0.5, 0.5})), "[0.1235,0.1,0.5,0.5]");
  EXPECT_EQ(json(fromTop({0.0, 0.75, 0.25, 0.25})), "[0,0,0.25,0.25]");  // top side on the top edge
  EXPECT_EQ(json(fromTop({0.0, 0.0, 1.0, 1.0})), "[0,0,1,1]");
  // Negative extents describe the same area as positive ones.
  EXPECT_EQ(json(fromTop({0.6, 0.9, -0.5, -0.5})), json(fromTop({0.1, 0.4, 0.5, 0.5})));
  EXPECT_EQ(json(fromTop({0.2, 0.1, 0.03125, 0.5})), "[0.2,0.4,0.0313,0.5]");
}

TEST(Trimming, RemovesWhiteSpaceAndLineEndsAtBothEndsOnly) {
  struct Case {
    std::string text;
    std::string expected;
  };
  for (const Case& c : std::vector<Case>{
           {"  Total\n", "Total"},
           {"two  words", "two  words"},  // inner spaces stay
           {"\t\v\f\r\n", ""},
           {"\u00a0\u2003price\u2028\u2029\u0085", "price"},  // no-break, em space, separators, NEL
           {"\u3000\u6587\u5b57\u3000", "\u6587\u5b57"},      // ideographic space
           {"\u200bword", "\u200bword"},                      // zero width space is not white space
           {"caf\u00e9 ", "caf\u00e9"},
           {"", ""},
       }) {
    EXPECT_EQ(trimmed(c.text), c.expected) << c.text;
  }
}

TEST(LineRecord, TakesTheBestCandidateAndLeavesOutEmptyLines) {
  TextObservation total = line("  Total\n", 0.9876f, {0.123456, 0.4, 0.5, 0.5});
  total.candidates.push_back(TextCandidate{"Tota1", 0.5f});
  EXPECT_EQ(json(*lineRecord(total)), R"({"box":[0.1235,0.1,0.5,0.5],"confidence":0.988,"text":"Total"})");

  EXPECT_FALSE(lineRecord(line(" \t \n", 0.9f)));
  EXPECT_FALSE(lineRecord(TextObservation{}));  // no candidate at all
}

TEST(ImageRecord, KeepsReportedOrderAndSortsKeys) {
  const std::vector<TextObservation> lines = {
      line("second line first", 1.0f, {0.0, 0.0, 0.5, 0.25}),
      line("   ", 0.5f),  // left out without a trace
      line("12/05/2024 \"quoted\" \\ caf\u00e9", 0.0625f, {0.5, 0.5, 0.25, 0.5}),
  };
  const std::vector<FaceObservation> faces = {face({0.5, 0.5, 0.25, 0.25}, 0.5f), face({0.0, 0.0, 0.1, 0.1}, 0.99f)};
  EXPECT_EQ(json(imageRecord("photos/IMG_1.JPG", lines, faces)),
            R"({"faces":[{"box":[0.5,0.25,0.25,0.25],"confidence":0.5},{"box":[0,0.9,0.1,0.1],"confidence":0.99}],)"
            R"("file":"IMG_1.JPG","text":[{"box":[0,0.75,0.5,0.25],"confidence":1,"text":"second line first"},)"
            R"({"box":[0.5,0,0.25,0.5],"confidence":0.063,"text":"12\/05\/2024 \"quoted\" \\ caf)"
            "\u00e9\"}]}");
  EXPECT_EQ(json(imageRecord("blank.jpg", {}, {})), R"({"faces":[],"file":"blank.jpg","text":[]})");
}

TEST(ImageRecord, FailureHasTheErrorFirstAndEmptyLists) {
  const platform::Error error{"platform.image", 5,
                              "The picture \"a/b.jpg\" could not be read: it is not a JPEG picture."};
  EXPECT_EQ(
      json(failedImageRecord("a/b.jpg", error)),
      R"({"error":"The picture \"a\/b.jpg\" could not be read: it is not a JPEG picture.","faces":[],"file":"b.jpg","text":[]})");
}

TEST(FileName, NamesThatAreNotUtf8StillGiveALine) {
  EXPECT_EQ(fileName("/photos/\u00e9t\u00e9.jpg"), "\u00e9t\u00e9.jpg");  // written as it is
  EXPECT_EQ(fileName("/photos/caf\xe9.jpg"), "caf\ufffd.jpg");            // Latin-1 byte
  EXPECT_EQ(fileName("dir/\xff\xfe.jpg"), "\ufffd\ufffd.jpg");
  EXPECT_EQ(json(imageRecord("dir/\xc3.jpg", {}, {})), "{\"faces\":[],\"file\":\"\ufffd.jpg\",\"text\":[]}");
}

}  // namespace
}  // namespace text_reading
