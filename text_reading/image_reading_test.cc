#include "text_reading/image_reading.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace text_reading {
namespace {

const std::string kFixtures = TEST_FIXTURES_DIR;

// Standard output sent into a pipe for the life of the object, as when a host reads look.
class CapturedOutput {
 public:
  CapturedOutput() {
    std::fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    EXPECT_EQ(pipe2(pipe_, O_NONBLOCK), 0);
    dup2(pipe_[1], STDOUT_FILENO);
  }
  ~CapturedOutput() {
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
    close(pipe_[0]);
    close(pipe_[1]);
  }
  // What has reached the pipe so far, without waiting.
  std::string arrived() {
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(pipe_[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(got));
    return text;
  }

 private:
  int saved_ = -1;
  int pipe_[2] = {-1, -1};
};

TEST(ReadImage, EachLineReachesThePipeBeforeTheNextImageBegins) {
  CapturedOutput output;
  EXPECT_TRUE(readImage(kFixtures + "/text/blank.jpg"));
  EXPECT_EQ(output.arrived(), "{\"faces\":[],\"file\":\"blank.jpg\",\"text\":[]}\n");
  EXPECT_TRUE(readImage(kFixtures + "/missing.jpg"));
  EXPECT_EQ(output.arrived().substr(0, 10), "{\"error\":\"");
}

}  // namespace
}  // namespace text_reading
