// End-to-end tests of the built `look` program: arguments, selection, order, records and bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/jpeg_fixtures.h"
#include "tests/support/program_run.h"

namespace {

using test_support::ProgramRun;
using test_support::runProgram;

const std::string kLook = LOOK_PROGRAM;
const std::string kFixtures = TEST_FIXTURES_DIR;

// A fresh folder, removed with the test.
class LookFolder : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = root_ + "/images";
    ASSERT_EQ(mkdir(folder_.c_str(), 0755), 0);
  }

  void copy(const std::string& fixture, const std::string& name) {
    std::filesystem::copy_file(kFixtures + "/" + fixture, folder_ + "/" + name);
  }
  void write(const std::string& name, const std::string& bytes) {
    std::ofstream(folder_ + "/" + name, std::ios::binary) << bytes;
  }

  // JSON text of a path as look writes it: every solidus escaped.
  static std::string escaped(const std::string& path) {
    std::string out;
    for (const char c : path) {
      if (c == '/')
        out += "\\/";
      else
        out.push_back(c);
    }
    return out;
  }

  test_support::TemporaryFolder temporary_;
  std::string root_ = temporary_.path();
  std::string folder_;
};

TEST(LookArguments, AnythingButOneArgumentGivesTheUsage) {
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{}, {"a", "b"}, {"a", "b", "c"}}) {
    const ProgramRun run = runProgram(kLook, arguments);
    EXPECT_EQ(run.standardError, "Usage: look <folder>\n") << arguments.size();
    EXPECT_EQ(run.standardOutput, "");
    EXPECT_EQ(run.exitStatus, 1);
  }
}

TEST_F(LookFolder, AFolderThatCannotBeListedFails) {
  write("plain.jpg", "x");
  for (const std::string& path : {root_ + "/missing", folder_ + "/plain.jpg"}) {
    const ProgramRun run = runProgram(kLook, {path});
    EXPECT_EQ(run.standardError, "Error: the folder could not be read\n") << path;
    EXPECT_EQ(run.standardOutput, "");
    EXPECT_EQ(run.exitStatus, 1);
  }
}

TEST_F(LookFolder, NoImagesGiveNoOutput) {
  ProgramRun run = runProgram(kLook, {folder_});
  EXPECT_EQ(run.standardOutput + run.standardError, "");
  EXPECT_EQ(run.exitStatus, 0);
  for (const char* name : {"photo.jpeg", "photo.png", "photo.jpg.txt", "jpg", "photo.jpg "}) write(name, "x");
  run = runProgram(kLook, {folder_});
  EXPECT_EQ(run.standardOutput + run.standardError, "");
  EXPECT_EQ(run.exitStatus, 0);
}

TEST_F(LookFolder, ReadsSelectedEntriesInNameOrderWithTheirRecords) {
  copy("text/blank.jpg", "IMG_2.JPG");
  copy("text/blank.jpg", "Img_3.Jpg");
  copy("text/blank.jpg", ".cover.jpg");
  copy("text/blank.jpg", "frame10.jpg");
  copy("text/blank.jpg", "frame2.jpg");
  copy("text/blank.jpg", "\u00e9t\u00e9 \"q\" \\.jpg");  // non-ASCII, quotation mark, reverse solidus
  copy("text/blank.jpg", "caf\xe9.jpg");                 // a Latin-1 byte: not UTF-8
  write("img_1.jpg", "not a picture");
  write("empty.jpg", "");
  ASSERT_EQ(mkdir((folder_ + "/scans.jpg").c_str(), 0755), 0);
  copy("text/date.jpg", "scans.jpg/inner.jpg");  // inside a subfolder: never read
  for (const char* name : {"photo.jpeg", "photo.png", "photo.jpg.txt", "jpg"}) write(name, "x");

  const ProgramRun run = runProgram(kLook, {folder_});
  const std::string at = escaped(folder_) + "\\/";
  const std::string blank = R"({"faces":[],"file":"NAME","text":[]})";
  const auto blankLine = [&](const std::string& name) {
    return std::string(blank).replace(blank.find("NAME"), 4, name) + "\n";
  };
  EXPECT_EQ(
      run.standardOutput,
      blankLine(".cover.jpg") + blankLine("IMG_2.JPG") + blankLine("Img_3.Jpg") + blankLine("caf\ufffd.jpg") +
          R"({"error":"The picture \")" + at +
          R"(empty.jpg\" could not be read: the file is empty.","faces":[],"file":"empty.jpg","text":[]})"
          "\n" +
          blankLine("frame10.jpg") + blankLine("frame2.jpg") + R"({"error":"The picture \")" + at +
          R"(img_1.jpg\" could not be read: it is not a JPEG or PNG picture.","faces":[],"file":"img_1.jpg","text":[]})"
          "\n" +
          R"({"error":"The picture \")" + at +
          R"(scans.jpg\" could not be read: it is a folder.","faces":[],"file":"scans.jpg","text":[]})"
          "\n" +
          blankLine("\u00e9t\u00e9 \\\"q\\\" \\\\.jpg"));
  EXPECT_EQ(run.standardError, "");  // nothing from Tesseract or Leptonica either
  EXPECT_EQ(run.exitStatus, 0);
}

TEST_F(LookFolder, DamagedPicturesGetTheirErrorAndHarmlessFaultsNone) {
  const std::string blank = test_support::readFile(kFixtures + "/text/blank.jpg");
  const struct {
    const char* name;
    std::string bytes;
    bool damaged;
  } cases[] = {
      {"a_cut_marked.jpg", test_support::cutWithEndMarker(blank), true},
      {"b_claims_more.jpg", test_support::withDeclaredSize(blank, 10000, 10000), true},
      {"c_stray_byte.jpg", test_support::withStrayByte(blank), false},  // decodes as the intact file
  };
  for (const auto& c : cases) write(c.name, c.bytes);
  const ProgramRun run = runProgram(kLook, {folder_});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.standardError, "");
  std::vector<std::string> lines;
  std::istringstream in(run.standardOutput);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), std::size(cases)) << run.standardOutput;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::string tail = std::string(R"("faces":[],"file":")") + cases[i].name + R"(","text":[]})";
    if (cases[i].damaged) {
      EXPECT_TRUE(lines[i].starts_with(R"({"error":"The picture \")")) << lines[i];
      EXPECT_NE(lines[i].find(R"(could not be read: it is damaged ()"), std::string::npos) << lines[i];
      EXPECT_TRUE(lines[i].ends_with("\"," + tail)) << lines[i];
    } else {
      EXPECT_EQ(lines[i], "{" + tail);
    }
  }
}

// Lines that do not arrive are a failed run, not a silent success.
TEST_F(LookFolder, LinesThatCannotBeDeliveredEndTheRunWithStatus1) {
  copy("text/blank.jpg", "a.jpg");
  copy("text/blank.jpg", "b.jpg");
  const struct {
    const char* name;
    test_support::RunOptions options;
  } outputs[] = {
      {"full disk", test_support::RunOptions().standardOutputTo("/dev/full")},
      {"closed", test_support::RunOptions().withoutStandardOutput()},
      {"reader gone", test_support::RunOptions().withOutputReaderGone()},
  };
  for (const auto& output : outputs) {
    const ProgramRun run = runProgram(kLook, {folder_}, output.options);
    EXPECT_EQ(run.exitStatus, 1) << output.name;
    EXPECT_EQ(run.standardError, "Error: the image records could not be written\n") << output.name;
  }
}

TEST_F(LookFolder, ANameThatIsNotUtf8KeepsItsLineWhenTheImageFails) {
  write("bad\xff.jpg", "not a picture");  // the name appears in the error's description too
  const ProgramRun run = runProgram(kLook, {folder_});
  EXPECT_EQ(run.standardOutput, R"({"error":"The picture \")" + escaped(folder_) +
                                    "\\/bad\ufffd.jpg\\\" could not be read: it is not a JPEG or PNG "
                                    "picture.\",\"faces\":[],\"file\":\"bad\ufffd.jpg\",\"text\":[]}\n");
  EXPECT_EQ(run.exitStatus, 0);
}

TEST_F(LookFolder, RecognisedTextIsWrittenWithTheSolidusEscaped) {
  copy("text/date.jpg", "date.jpg");
  // The folder relative to the working directory.
  const ProgramRun run = runProgram(kLook, {"images"}, test_support::RunOptions().inFolder(root_));
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.standardError, "");
  const std::string prefix = R"({"faces":[],"file":"date.jpg","text":[{"box":[)";
  const std::string suffix = R"(,"text":"Due 12\/05\/2024"}]})"
                             "\n";
  ASSERT_GT(run.standardOutput.size(), prefix.size() + suffix.size()) << run.standardOutput;
  EXPECT_EQ(run.standardOutput.substr(0, prefix.size()), prefix);
  EXPECT_EQ(run.standardOutput.substr(run.standardOutput.size() - suffix.size()), suffix);
}

}  // namespace
