#include "frame_analysis/frame_record.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "frame_analysis/request_names.h"

namespace frame_analysis {
namespace {

using platform::JsonArray;
using platform::JsonObject;

TEST(FrameReport, ARecordThatCannotBeWrittenBecomesAnErrorLineNotNoLine) {
  JsonObject face;
  face["confidence"] = std::numeric_limits<double>::quiet_NaN();  // say, from a model gone wrong
  const std::string bodyFailure = std::string(kBodyRequestName) + ": vision.pose 3";
  FrameFindings findings{JsonArray{face}, {}, {}, JsonArray{bodyFailure}, "earlier\n"};
  const FrameReport report = frameReport(0.5, std::move(findings));
  ASSERT_TRUE(report.line);
  EXPECT_EQ(*report.line, "{\"bodies\":[],\"errors\":[\"" + bodyFailure +
                              "\",\"record: vision.output 2\"],"
                              "\"faces\":[],\"hands\":[],\"time\":0.5}\n");
  EXPECT_EQ(report.messages, "earlier\nthe frame's record could not be written: a number in it is not finite\n");
}

TEST(FrameReport, AWritableRecordIsWrittenAsFound) {
  JsonObject face;
  face["confidence"] = 0.75;
  const FrameReport report = frameReport(2, FrameFindings{JsonArray{face}, {}, {}, {}, ""});
  ASSERT_TRUE(report.line);
  EXPECT_EQ(*report.line, "{\"bodies\":[],\"errors\":[],\"faces\":[{\"confidence\":0.75}],\"hands\":[],\"time\":2}\n");
  EXPECT_EQ(report.messages, "");
}

}  // namespace
}  // namespace frame_analysis
