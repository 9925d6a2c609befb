#include "platform/nn/model_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/nn/model_errors.h"

namespace platform::nn {
namespace {

namespace fs = std::filesystem;

// Things put in a model file's place that are not a file to read: each is refused at once, not
// read until it ends (a FIFO with no writer blocks for ever, /dev/urandom never ends).
TEST(ModelFiles, OnlyRegularFilesAreRead) {
  const fs::path folder = fs::temp_directory_path() / ("model_files_test_" + std::to_string(getpid()));
  fs::create_directories(folder);
  ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0600), 0);
  fs::create_symlink("/dev/urandom", folder / "random");
  fs::create_directory(folder / "folder");
  std::ofstream(folder / "model.bin") << "abc";
  fs::create_symlink(folder / "model.bin", folder / "link");
  for (const char* refused : {"fifo", "random", "folder", "missing"}) {
    const Result<std::vector<uint8_t>> bytes = readModelBytes((folder / refused).string());
    ASSERT_FALSE(bytes.ok()) << refused;
    EXPECT_EQ(bytes.error().code, static_cast<int64_t>(ModelError::unreadableFile)) << refused;
    EXPECT_NE(bytes.error().description.find((folder / refused).string()), std::string::npos) << refused;
  }
  for (const char* read : {"model.bin", "link"}) {
    const Result<std::vector<uint8_t>> bytes = readModelBytes((folder / read).string());
    ASSERT_TRUE(bytes.ok()) << read;
    EXPECT_EQ(std::string(bytes.value().begin(), bytes.value().end()), "abc") << read;
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace platform::nn
