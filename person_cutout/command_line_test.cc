#include "person_cutout/command_line.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include "tests/support/files.h"

namespace person_cutout {
namespace {

using platform::vision::MaskQuality;

TEST(CommandLineTest, TakesOnlyTheThreeQualityWordsExactly) {
  struct Case {
    const char* word;
    std::optional<MaskQuality> quality;
  };
  const Case cases[] = {
      {"accurate", MaskQuality::accurate},
      {"balanced", MaskQuality::balanced},
      {"fast", MaskQuality::fast},
      {"Fast", std::nullopt},
      {"FAST", std::nullopt},
      {" fast", std::nullopt},
      {"fast ", std::nullopt},
      {"", std::nullopt},
      {"fastest", std::nullopt},
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

TEST(CommandLineTest, BuildsTheRunAndIgnoresWordsAfterTheQuality) {
  test_support::TemporaryFolder folder;
  test_support::writeFile((folder / "in.mp4"), "x");
  std::string words[] = {"matte", (folder / "in.mp4"), (folder / "out.mp4"), "balanced", "extra", "words"};
  char* argv[] = {words[0].data(), words[1].data(), words[2].data(), words[3].data(), words[4].data(), words[5].data()};
  const platform::Result<MatteRun> run = takeArguments(6, argv);
  ASSERT_TRUE(run);
  EXPECT_EQ(run.value().quality, MaskQuality::balanced);
  EXPECT_EQ(run.value().source, (folder / "in.mp4"));
  EXPECT_EQ(run.value().target, (folder / "out.mp4"));
  const platform::Result<MatteRun> plain = takeArguments(3, argv);
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain.value().quality, MaskQuality::accurate);  // when no word is given
}

}  // namespace
}  // namespace person_cutout
