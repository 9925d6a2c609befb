#include "platform/directory_listing.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "tests/support/files.h"

namespace platform {
namespace {

TEST(PathExtension, IsWhatFollowsTheLastFullStop) {
  const struct {
    const char* name;
    const char* extension;
  } cases[] = {
      {"a.jpg", "jpg"},
      {"b.JPG", "JPG"},
      {"frame.001.jpg", "jpg"},
      {"frame.jpg.txt", "txt"},
      {"jpg", ""},
      {".thumb.jpg", "jpg"},
      {"noext", ""},
      {"trailing.", ""},
      {"d.jpeg", "jpeg"},
      {"sp ace.jpg ", "jpg "},
  };
  for (const auto& c : cases) EXPECT_EQ(pathExtension(c.name), c.extension) << c.name;
}

TEST(LastPathComponent, IsTheEntryName) {
  const struct {
    const char* path;
    const char* last;
  } cases[] = {
      {"frames/a.jpg", "a.jpg"}, {"a.jpg", "a.jpg"}, {"/x/y/", "y"}, {"/", "/"}, {"dir//b.jpg", "b.jpg"},
  };
  for (const auto& c : cases) EXPECT_EQ(lastPathComponent(c.path), c.last) << c.path;
  EXPECT_EQ(appendPathComponent("frames", "a.jpg"), "frames/a.jpg");
  EXPECT_EQ(appendPathComponent("frames/", "a.jpg"), "frames/a.jpg");
}

class ListDirectory : public ::testing::Test {
 protected:
  test_support::TemporaryFolder temporary_;
  std::string folder_ = temporary_.path();
};

TEST_F(ListDirectory, GivesEveryDirectEntryButNotWhatIsInside) {
  std::ofstream(folder_ + "/a.jpg") << "x";
  std::ofstream(folder_ + "/.hidden.jpg") << "x";
  std::filesystem::create_directory(folder_ + "/sub.jpg");
  std::ofstream(folder_ + "/sub.jpg/inner.jpg") << "x";
  std::filesystem::create_symlink("nowhere", folder_ + "/link.jpg");

  std::optional<std::vector<std::string>> names = listDirectory(folder_);
  ASSERT_TRUE(names.has_value());
  std::sort(names->begin(), names->end());
  EXPECT_EQ(*names, (std::vector<std::string>{".hidden.jpg", "a.jpg", "link.jpg", "sub.jpg"}));
}

TEST_F(ListDirectory, FailsWhenThereIsNoFolder) {
  std::ofstream(folder_ + "/file") << "x";
  EXPECT_FALSE(listDirectory(folder_ + "/missing").has_value());
  EXPECT_FALSE(listDirectory(folder_ + "/file").has_value());
  EXPECT_FALSE(listDirectory("").has_value());
  ASSERT_TRUE(listDirectory(folder_).has_value());
}

TEST_F(ListDirectory, TakesRelativePathsFromTheWorkingDirectory) {
  std::ofstream(folder_ + "/a.jpg") << "x";
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(std::filesystem::path(folder_).parent_path());
  const std::optional<std::vector<std::string>> names =
      listDirectory(std::filesystem::path(folder_).filename().string());
  std::filesystem::current_path(before);
  ASSERT_TRUE(names.has_value());
  EXPECT_EQ(*names, std::vector<std::string>{"a.jpg"});
}

}  // namespace
}  // namespace platform
