// An installed tree works wherever it is put: `cmake --install` of this build into a staging
// prefix, the prefix moved elsewhere, and the moved programs run on real input. They must find
// their models beside themselves, not in the build tree nor at the prefix they were installed to.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/support/files.h"
#include "tests/support/program_run.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test_support::ProgramRun;
using test_support::runProgram;
using test_support::TemporaryFolder;

const std::string kFixtures = TEST_FIXTURES_DIR;

std::vector<json> jsonLines(const std::string& text) {
  std::vector<json> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(json::parse(line));
  return lines;
}

// Checks the moved tree's models folder against the build tree's.
void expectModelsIn(const std::string& models) {
  std::ifstream sums(std::string(SOURCE_DIR) + "/models/SHA256SUMS");
  int listed = 0;
  for (std::string sum, file; sums >> sum >> file; ++listed) {
    ASSERT_TRUE(fs::is_regular_file(models + file)) << file;
    EXPECT_EQ(test_support::readFile(models + file), test_support::readFile(std::string(BUILD_DIR) + "/models/" + file))
        << file;
  }
  EXPECT_GT(listed, 0);
  EXPECT_TRUE(fs::is_regular_file(models + "NOTICE"));
}

// Picture programs: one line for the one picture, a face found, no error of any kind.
void expectOneLineWithAFace(const ProgramRun& run, const char* errorKey) {
  ASSERT_EQ(run.exitStatus, 0) << run.standardError;
  EXPECT_EQ(run.standardError, "");
  const std::vector<json> lines = jsonLines(run.standardOutput);
  ASSERT_EQ(lines.size(), 1u) << run.standardOutput;
  EXPECT_FALSE(lines[0]["faces"].empty()) << run.standardOutput;
  EXPECT_TRUE(!lines[0].contains(errorKey) || lines[0][errorKey].empty()) << run.standardOutput;
}

TEST(Install, AMovedInstallFindsItsModelsBesideItself) {
  TemporaryFolder work;
  const ProgramRun install = runProgram(CMAKE_COMMAND, {"--install", BUILD_DIR, "--prefix", work / "staged"});
  ASSERT_EQ(install.exitStatus, 0) << install.standardOutput << install.standardError;
  fs::rename(work / "staged", work / "moved");
  const std::string moved = work / "moved/";
  fs::create_directory(work / "pictures");
  fs::copy_file(kFixtures + "/faces/astronaut.jpg", work / "pictures/astronaut.jpg");

  {
    SCOPED_TRACE("models");
    expectModelsIn(moved + "share/people_vision_tools/models/");
  }
  {
    SCOPED_TRACE("vision");
    expectOneLineWithAFace(runProgram(moved + "bin/vision", {work / "pictures", "1"}), "errors");
  }
  {
    SCOPED_TRACE("look");
    expectOneLineWithAFace(runProgram(moved + "bin/look", {work / "pictures"}), "error");
  }
  {
    SCOPED_TRACE("matte");
    const ProgramRun run = runProgram(moved + "bin/matte", {kFixtures + "/video/person.mp4", work / "cut.mp4", "fast"});
    EXPECT_EQ(run.exitStatus, 0) << run.standardError;
    EXPECT_TRUE(run.standardOutput.starts_with("{\"frames\": ")) << run.standardOutput;
    EXPECT_TRUE(fs::is_regular_file(work / "cut.mp4"));
  }
  {
    // Without the moved tree's face detector there is no face: the models came from that tree,
    // not from the build tree's folder.
    SCOPED_TRACE("vision without its face detector");
    for (const char* model : {"face_detection_full_range.tflite", "face_detection_full_range_sparse.tflite",
                              "face_detection_short_range.tflite"}) {
      fs::remove(moved + "share/people_vision_tools/models/" + model);
    }
    const ProgramRun run = runProgram(moved + "bin/vision", {work / "pictures", "1"});
    EXPECT_EQ(run.exitStatus, 0) << run.standardError;
    const std::vector<json> lines = jsonLines(run.standardOutput);
    ASSERT_EQ(lines.size(), 1u) << run.standardOutput;
    EXPECT_TRUE(lines[0]["faces"].empty()) << run.standardOutput;
    EXPECT_FALSE(lines[0]["errors"].empty()) << run.standardOutput;
  }
}

}  // namespace
