#include "tools/character_error_rate.h"

#include <gtest/gtest.h>

namespace tools {
namespace {

TEST(CharacterErrorRate, CountsEditsPerKnownCharacterIgnoringSpacing) {
  EXPECT_EQ(characterErrorRate("Men may\n  seem ", "Men may seem"), 0.0);
  EXPECT_DOUBLE_EQ(characterErrorRate("Men rnay", "Men may"), 2.0 / 7);  // one substitution, one insertion
  EXPECT_DOUBLE_EQ(characterErrorRate("caf\u00e9", "cafe"), 1.0 / 4);    // é is one character
  EXPECT_DOUBLE_EQ(characterErrorRate("", "abcd"), 1.0);
  EXPECT_DOUBLE_EQ(characterErrorRate("junk junk", "ab"), 4.5);  // extra text counts
  EXPECT_EQ(characterErrorRate("", " \n"), 0.0);
  EXPECT_EQ(characterErrorRate("x", ""), 1.0);
}

}  // namespace
}  // namespace tools
