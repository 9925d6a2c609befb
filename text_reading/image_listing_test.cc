#include "text_reading/image_listing.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "tests/support/files.h"

namespace text_reading {
namespace {

TEST(ImageName, SelectsTheExtensionJpgInAnyCase) {
  for (const char* name :
       {"a.jpg", "b.JPG", "c.Jpg", ".cover.jpg", "archive.tar.jpg", "\u00e9t\u00e9.jPg", "x\xff.jpg"}) {
    EXPECT_TRUE(isImageName(name)) << name;
  }
  for (const char* name :
       {"d.jpeg", "e.png", "f.jpg.txt", "jpg", "g.jpg ", "h. jpg", "i.jp", "j.jpg\xff", "k.\uff2a\uff30\uff27"}) {
    EXPECT_FALSE(isImageName(name)) << name;
  }
}

class ChooseImages : public testing::Test {
 protected:
  void touch(const std::string& name) { std::ofstream(folder_ + "/" + name) << "x"; }

  test_support::TemporaryFolder temporary_;
  std::string folder_ = temporary_.path();
};

TEST_F(ChooseImages, TakesMatchingEntriesOfAnyKindInNameOrder) {
  for (const char* name : {"img_1.jpg", "IMG_2.JPG", "Img_3.Jpg", "frame10.jpg", "frame2.jpg", ".cover.jpg",
                           "photo.jpeg", "photo.png", "photo.jpg.txt", "jpg"}) {
    touch(name);
  }
  ASSERT_EQ(mkdir((folder_ + "/scans.jpg").c_str(), 0755), 0);
  std::ofstream(folder_ + "/scans.jpg/inner.jpg") << "x";  // inside a subfolder: never looked at

  const std::optional<std::vector<std::string>> chosen = chooseImages(folder_);
  ASSERT_TRUE(chosen);
  std::vector<std::string> expected;
  for (const char* name :
       {".cover.jpg", "IMG_2.JPG", "Img_3.Jpg", "frame10.jpg", "frame2.jpg", "img_1.jpg", "scans.jpg"}) {
    expected.push_back(folder_ + "/" + name);
  }
  EXPECT_EQ(*chosen, expected);
}

TEST_F(ChooseImages, FailsOnlyWhenTheFolderCannotBeListed) {
  EXPECT_EQ(chooseImages(folder_), std::vector<std::string>{});  // empty folder: nothing to read
  touch("file.jpg");
  EXPECT_FALSE(chooseImages(folder_ + "/file.jpg"));
  EXPECT_FALSE(chooseImages(folder_ + "/missing"));
}

}  // namespace
}  // namespace text_reading
