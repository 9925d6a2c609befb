#include "platform/name_order.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

std::vector<std::string> sorted(const std::vector<std::string>& names) {
  std::vector<std::string> result;
  for (const size_t i : nameOrder(names)) result.push_back(names[i]);
  return result;
}

TEST(NameOrder, AsciiNamesGoInByteOrder) {
  EXPECT_EQ(sorted({"frame2.jpg", "frame10.jpg", "a.jpg", "B.jpg", ".thumb.jpg", "frame1.jpg"}),
            (std::vector<std::string>{".thumb.jpg", "B.jpg", "a.jpg", "frame1.jpg", "frame10.jpg", "frame2.jpg"}));
}

TEST(NameOrder, PrefixComesFirst) {
  EXPECT_EQ(sorted({"ab.jpg", "a.jpg", "a"}), (std::vector<std::string>{"a", "a.jpg", "ab.jpg"}));
}

TEST(NameOrder, ComparesCanonicalComposedForms) {
  const std::string decomposed =
      "e\xCC\x81"
      "a.jpg";  // e + combining acute, then a
  const std::string composed =
      "\xC3\xA9"
      "b.jpg";  // precomposed e-acute, then b
  // As raw bytes the decomposed name would come before f.jpg; composed, both come after it.
  EXPECT_EQ(sorted({composed, "f.jpg", decomposed}), (std::vector<std::string>{"f.jpg", decomposed, composed}));
}

TEST(NameOrder, OrdersByScalarValueBeyondTheBasicPlane) {
  const std::string bmp = "\xEF\xBD\x81.jpg";         // U+FF41
  const std::string astral = "\xF0\x9F\x98\x80.jpg";  // U+1F600
  EXPECT_EQ(sorted({astral, bmp, "z.jpg"}), (std::vector<std::string>{"z.jpg", bmp, astral}));
}

TEST(NameOrder, EqualNamesKeepTheirListingOrder) {
  const std::string decomposed = "e\xCC\x81.jpg";
  const std::string composed = "\xC3\xA9.jpg";
  EXPECT_EQ(nameOrder({decomposed, composed}), (std::vector<size_t>{0, 1}));
  EXPECT_EQ(nameOrder({composed, decomposed}), (std::vector<size_t>{0, 1}));
}

TEST(NameOrder, NamesThatAreNotTextSortByTheirBytes) {
  const std::string invalid =
      "\xFF"
      "a.jpg";
  const std::string truncated = "\xC3.jpg";
  EXPECT_EQ(nameOrderKey(invalid), invalid);
  EXPECT_EQ(sorted({invalid, "b.jpg", truncated, "\xC3\xA9.jpg"}),
            (std::vector<std::string>{"b.jpg", truncated, "\xC3\xA9.jpg", invalid}));
}

}  // namespace
}  // namespace platform
