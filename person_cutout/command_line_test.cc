#include "person_cutout/command_line.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include "person_cutout/run_state.h"
#include "tests/support/files.h"

namespace person_cutout {
namespace {

TEST(CommandLineTest, TakesOnlyTheThreeQualityWordsExactly) {
  struct Case {
    const char* word;
    std::optional<unsigned> quality;
  };
  const Case cases[] = {
      {"accurate", 0u},        {"balanced", 1u},       {"fast", 2u},
      {"Fast", std::nullopt},  {"FAST", std::nullopt}, {" fast", std::nullopt},
      {"fast ", std::nullopt}, {"", std::nullopt},     {"fastest", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(qualityOfWord(c.word), c.quality) << "'" << c.word << "'";
  EXPECT_EQ(qualityOfWord(std::string_view("fast\0", 5)), std::nullopt);
}

TEST(CommandLineTest, TakesRelativePathsFromTheCurrentFolder) {
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  EXPECT_EQ(fileLocation("clip.mp4"), std::string(here) + "/clip.mp4");
  EXPECT_EQ(fileLocation("/data/clip.mp4"), "/data/clip.mp4");
  EXPECT_TRUE(existsAt(fileLocation("")));  // the current folder itself
}

TEST(CommandLineTest, CountsAnyEntryAsExistingButALinkToNothing) {
  test_support::TemporaryFolder folder;
  test_support::writeFile((folder / "file"), "x");
  ASSERT_EQ(symlink((folder / "file").c_str(), (folder / "link").c_str()), 0);
  ASSERT_EQ(symlink((folder / "gone").c_str(), (folder / "dangling").c_str()), 0);
  EXPECT_TRUE(existsAt((folder / "file")));
  EXPECT_TRUE(existsAt(folder.path()));
  EXPECT_TRUE(existsAt((folder / "link")));
  EXPECT_FALSE(existsAt((folder / "dangling")));
  EXPECT_FALSE(existsAt((folder / "gone")));
}

TEST(CommandLineTest, SetsTheRunStateAndIgnoresWordsAfterTheQuality) {
  test_support::TemporaryFolder folder;
  test_support::writeFile((folder / "in.mp4"), "x");
  std::string words[] = {"matte", (folder / "in.mp4"), (folder / "out.mp4"), "balanced", "extra", "words"};
  char* argv[] = {words[0].data(), words[1].data(), words[2].data(), words[3].data(), words[4].data(), words[5].data()};
  ASSERT_TRUE(takeArguments(6, argv));
  EXPECT_EQ(args.size(), 6u);
  EXPECT_EQ(quality, 1u);
  EXPECT_EQ(source, (folder / "in.mp4"));
  EXPECT_EQ(target, (folder / "out.mp4"));
  ASSERT_TRUE(takeArguments(3, argv));
  EXPECT_EQ(quality, 0u);  // accurate when no word is given
}

}  // namespace
}  // namespace person_cutout
