// The vision program as a host application sees it: arguments, exit statuses, the exact bytes on
// standard output and standard error.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "frame_analysis/request_names.h"
#include "tests/support/files.h"
#include "tests/support/jpeg_fixtures.h"
#include "tests/support/program_run.h"

namespace {

using test_support::ProgramRun;
using test_support::TemporaryFolder;
using test_support::writeFile;

constexpr const char* kUsage = "Usage: vision FRAME_DIRECTORY FPS [faces]\n";
constexpr const char* kFolderUnreadable = "Error: the folder could not be read\n";

ProgramRun vision(const std::vector<std::string>& arguments, const std::string& workingDirectory = "") {
  return test_support::runProgram(VISION_PROGRAM, arguments, test_support::RunOptions().inFolder(workingDirectory));
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) result.push_back(line);
  return result;
}

std::string emptyFrame(const std::string& time) {
  return R"({"bodies":[],"errors":[],"faces":[],"hands":[],"time":)" + time + "}";
}

// A folder of `count` good frames named frame000.jpg, frame001.jpg, ...
void addFrames(const TemporaryFolder& folder, int count) {
  const std::string jpeg = test_support::tinyJpeg();
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "frame%03d.jpg", i);
    writeFile(folder / name, jpeg);
  }
}

TEST(VisionArguments, WrongArgumentsGiveTheUsageAndStatus2) {
  TemporaryFolder frames;
  addFrames(frames, 1);
  const std::vector<std::vector<std::string>> cases = {
      {},
      {frames.path()},
      {frames.path(), "30", "Faces"},
      {frames.path(), "30", "all"},
      {frames.path(), "30", "faces "},
      {frames.path(), "30", ""},
      {frames.path(), "30", "faces", "extra"},
      {"/nonexistent", "30", "FACES"},
  };
  for (const auto& arguments : cases) {
    const ProgramRun run = vision(arguments);
    EXPECT_EQ(run.exitStatus, 2) << arguments.size();
    EXPECT_EQ(run.standardError, kUsage);
    EXPECT_EQ(run.standardOutput, "");
  }
}

// A rate must be a finite positive number whose frame times a record can hold: infinity, or a
// rate so small that index / rate overflows, would leave frames without a writable time.
TEST(VisionArguments, FrameRatesThatAreNotFinitePositiveNumbersGiveTheUsage) {
  TemporaryFolder frames;
  addFrames(frames, 1);
  for (const char* rate : {"0", "-25", "nan", "abc", "30fps", "1e400", " 30", "30 ", "", "-inf", "1e-400", "0x", "-0",
                           "30\n", "inf", "INFINITY", "1e-310", "1e-300"}) {
    for (const std::string& folder : {frames.path(), std::string("/nonexistent/folder")}) {
      const ProgramRun run = vision({folder, rate});
      EXPECT_EQ(run.exitStatus, 2) << '"' << rate << '"';
      EXPECT_EQ(run.standardError, kUsage) << '"' << rate << '"';
      EXPECT_EQ(run.standardOutput, "") << '"' << rate << '"';
    }
  }
}

TEST(VisionArguments, AcceptedFrameRatesSetTheTimes) {
  TemporaryFolder frames;
  addFrames(frames, 2);
  const struct {
    const char* rate;
    const char* secondTime;
  } cases[] = {
      {"30", "0.03333333333333333"},
      {"29.97", "0.033366700033366704"},
      {"+25", "0.04"},
      {"2.5e1", "0.04"},
      {"0x1Ep0", "0.03333333333333333"},
      {"0.5", "2"},
      {"1e-290", "9.999999999999999e+289"},
  };
  for (const auto& c : cases) {
    const ProgramRun run = vision({frames.path(), c.rate});
    EXPECT_EQ(run.exitStatus, 0) << c.rate;
    EXPECT_EQ(run.standardError, "") << c.rate;
    EXPECT_EQ(run.standardOutput, emptyFrame("0") + "\n" + emptyFrame(c.secondTime) + "\n") << c.rate;
  }
}

TEST(VisionListing, AFolderThatCannotBeListedEndsWithStatus1) {
  TemporaryFolder place;
  writeFile(place / "file", "x");
  for (const std::string& path : {place / "missing", place / "file", std::string("")}) {
    const ProgramRun run = vision({path, "30"});
    EXPECT_EQ(run.exitStatus, 1) << path;
    EXPECT_EQ(run.standardError, kFolderUnreadable) << path;
    EXPECT_EQ(run.standardOutput, "") << path;
  }
}

TEST(VisionListing, NothingToAnalyseGivesNoOutputAndStatus0) {
  TemporaryFolder empty;
  TemporaryFolder others;
  for (const char* name : {"IMG_1.JPG", "frame.jpeg", "frame.jpg.txt", "c.Jpg", "jpg", "notes"}) {
    writeFile(others / name, test_support::tinyJpeg());
  }
  for (const TemporaryFolder* folder : {&empty, &others}) {
    const ProgramRun run = vision({folder->path(), "30"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.standardOutput, "");
    EXPECT_EQ(run.standardError, "");
  }
}

// Every entry is a text file, so each analysed frame announces its path on standard error: the
// order of those lines is the order of analysis.
TEST(VisionListing, ChoosesExactlyJpgAndGoesInNameOrder) {
  TemporaryFolder frames;
  const std::string decomposed =
      "e\xCC\x81"
      "a.jpg";
  for (const std::string& name : {std::string("frame2.jpg"), std::string("frame10.jpg"), std::string("B.jpg"),
                                  std::string("a.jpg"), std::string(".thumb.jpg"), std::string("frame.001.jpg"),
                                  std::string("IMG_1.JPG"), std::string("frame.jpeg"), std::string("frame.jpg.txt"),
                                  std::string("\xC3\xA9"
                                              "b.jpg"),
                                  decomposed, std::string("f.jpg"),
                                  std::string("\xFF"
                                              "bad.jpg")}) {
    writeFile(frames / name, "not a picture");
  }
  std::filesystem::create_directory(frames / "clip.jpg");
  writeFile(frames / "clip.jpg/inside.jpg", "never looked at");

  const ProgramRun run = vision({frames.path(), "10", "faces"});
  EXPECT_EQ(run.exitStatus, 0);
  const std::vector<std::string> expectedOrder = {".thumb.jpg",
                                                  "B.jpg",
                                                  "a.jpg",
                                                  "clip.jpg",
                                                  "f.jpg",
                                                  "frame.001.jpg",
                                                  "frame10.jpg",
                                                  "frame2.jpg",
                                                  decomposed,
                                                  "\xC3\xA9"
                                                  "b.jpg",
                                                  "\xFF"
                                                  "bad.jpg"};
  const std::vector<std::string> errors = lines(run.standardError);
  ASSERT_EQ(errors.size(), expectedOrder.size()) << run.standardError;
  for (size_t i = 0; i < errors.size(); ++i) {
    EXPECT_NE(errors[i].find(frames / expectedOrder[i]), std::string::npos) << i << ": " << errors[i];
  }
  const std::vector<std::string> frameLines = lines(run.standardOutput);
  ASSERT_EQ(frameLines.size(), expectedOrder.size());
  EXPECT_NE(frameLines[1].find(R"("time":0.1})"), std::string::npos) << frameLines[1];
  EXPECT_NE(frameLines[10].find(R"("time":1})"), std::string::npos) << frameLines[10];
}

TEST(VisionListing, NumberedFramesGoInOrderAndGapsAreNotNoticed) {
  TemporaryFolder frames;
  const std::string jpeg = test_support::tinyJpeg();
  for (const char* name : {"f4.jpg", "f1.jpg", "f2.jpg"}) writeFile(frames / name, jpeg);
  const ProgramRun run = vision({frames.path(), "10"});
  EXPECT_EQ(run.standardOutput, emptyFrame("0") + "\n" + emptyFrame("0.1") + "\n" + emptyFrame("0.2") + "\n");
}

TEST(VisionListing, ARelativeFolderIsTakenFromTheWorkingDirectory) {
  TemporaryFolder place;
  std::filesystem::create_directory(place / "frames");
  writeFile(place / "frames/a.jpg", test_support::tinyJpeg());
  const ProgramRun run = vision({"frames", "30"}, place.path());
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.standardOutput, emptyFrame("0") + "\n");
}

TEST(VisionFrames, EveryFrameGetsOneLineInOrder) {
  TemporaryFolder frames;
  addFrames(frames, 51);
  const ProgramRun run = vision({frames.path(), "30"});
  const std::vector<std::string> frameLines = lines(run.standardOutput);
  ASSERT_EQ(frameLines.size(), 51u);
  EXPECT_EQ(frameLines[0], emptyFrame("0"));
  EXPECT_EQ(frameLines[15], emptyFrame("0.5"));
  EXPECT_EQ(frameLines[50], emptyFrame("1.6666666666666667"));
  EXPECT_EQ(run.standardOutput.back(), '\n');
  EXPECT_EQ(run.standardError, "");

  const ProgramRun at25 = vision({frames.path(), "25", "faces"});
  EXPECT_EQ(lines(at25.standardOutput)[50], emptyFrame("2"));
}

// Frames that cannot be read: each request run gets its error entry, in the order face, body,
// hand, and its description on standard error; the run goes on to the next frame. A fault the
// decoder steps over without losing a pixel is no error.
TEST(VisionFrames, FramesThatCannotBeReadGetErrorEntriesAndTheRunGoesOn) {
  TemporaryFolder frames;
  const std::string jpeg = test_support::tinyJpeg();
  const struct {
    const char* name;
    std::string bytes;
    int code;  // the still-image error; 0 for a frame that reads as the intact one
  } cases[] = {
      {"a_text.jpg", "just some text\n", 5},
      {"b_empty.jpg", "", 4},
      {"c_folder.jpg", "", 2},
      {"d_truncated.jpg", jpeg.substr(0, jpeg.size() - 200), 6},
      {"e_huge.jpg", test_support::withDeclaredSize(jpeg, 20000, 20000), 7},
      {"f_cut_marked.jpg", test_support::cutWithEndMarker(jpeg), 6},
      {"g_claims_more.jpg", test_support::withDeclaredSize(jpeg, 10000, 10000), 6},
      {"h_stray_byte.jpg", test_support::withStrayByte(jpeg), 0},
      {"i_good.jpg", jpeg, 0},
  };
  for (const auto& c : cases) {
    if (std::string(c.name) == "c_folder.jpg") {
      std::filesystem::create_directory(frames / c.name);
    } else {
      writeFile(frames / c.name, c.bytes);
    }
  }

  for (const bool facesOnly : {false, true}) {
    std::vector<std::string> arguments = {frames.path(), "1"};
    if (facesOnly) arguments.push_back("faces");
    const ProgramRun run = vision(arguments);
    EXPECT_EQ(run.exitStatus, 0);
    const std::vector<std::string> frameLines = lines(run.standardOutput);
    const std::vector<std::string> errorLines = lines(run.standardError);
    ASSERT_EQ(frameLines.size(), std::size(cases)) << run.standardOutput;
    // The first frame's line in full: the request names are what hosts match on.
    using frame_analysis::kBodyRequestName, frame_analysis::kFaceRequestName, frame_analysis::kHandRequestName;
    const std::string face(kFaceRequestName), body(kBodyRequestName), hand(kHandRequestName);
    EXPECT_EQ(frameLines[0], facesOnly ? R"({"bodies":[],"errors":[")" + face +
                                             R"(: platform.image 5"],)"
                                             R"("faces":[],"hands":[],"time":0})"
                                       : R"({"bodies":[],"errors":[")" + face +
                                             R"(: platform.image 5",)"
                                             R"(")" +
                                             body +
                                             R"(: platform.image 5",)"
                                             R"(")" +
                                             hand +
                                             R"(: platform.image 5"],)"
                                             R"("faces":[],"hands":[],"time":0})");
    const size_t perFrame = facesOnly ? 1 : 3;
    size_t errorLine = 0;
    for (size_t i = 0; i < std::size(cases); ++i) {
      const auto& c = cases[i];
      if (c.code == 0) {
        EXPECT_EQ(frameLines[i], emptyFrame(std::to_string(i))) << c.name;
        continue;
      }
      const std::string code = std::to_string(c.code);
      std::string errors = "\"" + face + ": platform.image " + code + "\"";
      if (!facesOnly) {
        errors += ",\"" + body + ": platform.image " + code + "\"";
        errors += ",\"" + hand + ": platform.image " + code + "\"";
      }
      EXPECT_EQ(frameLines[i],
                R"({"bodies":[],"errors":[)" + errors + R"(],"faces":[],"hands":[],"time":)" + std::to_string(i) + "}");
      for (size_t k = 0; k < perFrame; ++k, ++errorLine) {
        ASSERT_LT(errorLine, errorLines.size()) << run.standardError;
        EXPECT_NE(errorLines[errorLine].find(c.name), std::string::npos) << errorLines[errorLine];
      }
    }
    EXPECT_EQ(errorLine, errorLines.size()) << run.standardError;
  }
}

// Lines that do not arrive are a failed run, not a silent success: standard output on a full
// disk or closed, found out on the way (many frames fill the buffer) or at the last flush (a few).
TEST(VisionOutput, LinesThatCannotBeDeliveredEndTheRunWithStatus1) {
  const struct {
    const char* name;
    test_support::RunOptions options;
  } outputs[] = {
      {"full disk", test_support::RunOptions().standardOutputTo("/dev/full")},
      {"closed", test_support::RunOptions().withoutStandardOutput()},
      {"reader gone", test_support::RunOptions().withOutputReaderGone()},
  };
  for (const int count : {3, 150}) {
    TemporaryFolder frames;
    addFrames(frames, count);
    for (const auto& output : outputs) {
      const ProgramRun run = test_support::runProgram(VISION_PROGRAM, {frames.path(), "30", "faces"}, output.options);
      EXPECT_EQ(run.exitStatus, 1) << output.name << ", " << count << " frames";
      EXPECT_EQ(run.standardError, "Error: the frame records could not be written\n") << output.name;
    }
  }
}

}  // namespace

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UNDER_ADDRESS_SANITIZER
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define UNDER_ADDRESS_SANITIZER
#endif

namespace {

// Under a memory ceiling (a container's limit, ulimit -v) the run works or ends with a message,
// never by a signal. AddressSanitizer reserves terabytes of address space: no ceiling there.
TEST(VisionMemory, ACeilingEndsTheRunWithAMessageNotASignal) {
#if defined(UNDER_ADDRESS_SANITIZER)
  GTEST_SKIP() << "no address-space ceiling under AddressSanitizer";
#endif
  TemporaryFolder frames;
  test_support::copyFile(std::string(TEST_FIXTURES_DIR) + "/pose/one_person.jpg", frames / "1.jpg");
  for (const char* ceilingKib : {"60000", "120000", "250000"}) {
    for (const std::string mode : {"full", "faces"}) {
      const std::string command =
          std::string("ulimit -v ") + ceilingKib + "; exec \"$0\" \"$1\" 25 " + (mode == "faces" ? "faces" : "");
      const ProgramRun run = test_support::runProgram("/bin/sh", {"-c", command, VISION_PROGRAM, frames.path()});
      const std::string where = std::string(ceilingKib) + " KiB, " + mode;
      EXPECT_TRUE(run.exitStatus == 0 || run.exitStatus == 1) << where << ": status " << run.exitStatus;
      if (run.exitStatus == 1) {
        EXPECT_TRUE(run.standardError.ends_with("Error: memory ran out\n")) << where << ": " << run.standardError;
      }
    }
  }
}

}  // namespace
