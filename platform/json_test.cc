#include "platform/json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>

namespace platform {
namespace {

std::string written(const JsonValue& value) {
  const std::optional<std::string> text = writeJson(value);
  EXPECT_TRUE(text.has_value());
  return text.value_or("<not written>");
}

TEST(WriteJson, SortsKeysAtEveryLevelAndWritesCompactly) {
  JsonObject inner;
  inner["b"] = 2.0;
  inner["a"] = JsonArray{};
  JsonObject outer;
  outer["time"] = 0.5;
  outer["errors"] = JsonArray{JsonValue("x")};
  outer["bodies"] = JsonArray{JsonValue(inner)};
  outer["Zed"] = JsonObject{};
  EXPECT_EQ(written(outer), R"({"Zed":{},"bodies":[{"a":[],"b":2}],"errors":["x"],"time":0.5})");
}

TEST(WriteJson, EscapesWhatJsonRequiresAndTheSolidus) {
  const struct {
    std::string text;
    std::string json;
  } cases[] = {
      {"a/b", R"("a\/b")"},
      {"say \"hi\"", R"("say \"hi\"")"},
      {"back\\slash", R"("back\\slash")"},
      {"line\nfeed\ttab\rreturn\bback\fform", R"("line\nfeed\ttab\rreturn\bback\fform")"},
      {std::string("nul\0one\x01\x1f", 9), R"("nul\u0000one\u0001\u001f")"},
      {"\x7f", "\"\x7f\""},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\""},
  };
  for (const auto& c : cases) EXPECT_EQ(written(c.text), c.json);
}

TEST(WriteJson, NumbersReadBackAsTheSameValue) {
  EXPECT_EQ(written(0.0), "0");
  EXPECT_EQ(written(2.0), "2");
  EXPECT_EQ(written(0.1), "0.1");
  EXPECT_EQ(written(-0.25), "-0.25");
  std::mt19937_64 random(7);
  for (int i = 0; i < 2000; ++i) {
    double value;
    const uint64_t bits = random();
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) continue;
    const std::string text = written(value);
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
    EXPECT_EQ(text.find_first_not_of("0123456789.-+e"), std::string::npos) << text;
  }
}

TEST(WriteJson, RefusesWhatJsonCannotHold) {
  for (const double bad : {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN()}) {
    JsonObject record;
    record["time"] = bad;
    EXPECT_FALSE(writeJson(record).has_value());
  }
  EXPECT_FALSE(writeJson(JsonArray{JsonValue("ok"), JsonValue("\xFF")}).has_value());
  JsonObject badKey;
  badKey["\xC3"] = 1.0;
  EXPECT_FALSE(writeJson(badKey).has_value());
}

TEST(Utf8, TellsWellFormedFromMalformed) {
  for (const char* good : {"", "plain", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF"}) {
    EXPECT_TRUE(isValidUtf8(good)) << good;
  }
  for (const char* bad :
       {"\xFF", "\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80", "\xE2\x82"}) {
    EXPECT_FALSE(isValidUtf8(bad)) << bad;
  }
}

TEST(Utf8, ReplacesEachBadByteWithTheReplacementCharacter) {
  EXPECT_EQ(replacingInvalidUtf8("ok.jpg"), "ok.jpg");
  EXPECT_EQ(replacingInvalidUtf8("a\xFF"
                                 "b.jpg"),
            "a\xEF\xBF\xBD"
            "b.jpg");
  EXPECT_EQ(replacingInvalidUtf8("\xC3\xA9\xC3"), "\xC3\xA9\xEF\xBF\xBD");
  EXPECT_EQ(replacingInvalidUtf8("\xE2\x82"
                                 "x"),
            "\xEF\xBF\xBD\xEF\xBF\xBDx");
  EXPECT_TRUE(isValidUtf8(replacingInvalidUtf8("\xF0\x9F\x98")));
}

}  // namespace
}  // namespace platform
