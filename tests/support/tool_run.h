// Running tools and built programs from tests, with what program_run.h adds for video tests.
#pragma once

#include <string>
#include <vector>

#include "tests/support/program_run.h"

namespace test_support {

struct Outcome {
  int status = -1;  // the exit status; 128 + the signal when a signal ended it
  std::string out;  // all of standard output
  std::string err;  // all of standard error
};

// Runs `program` (looked up in PATH when it holds no slash) with `arguments`, in
// `workingDirectory` when it is not empty, with `environment` entries ("NAME=value") added, and
// standard output sent to the file `standardOutput` instead of collected when that is not empty.
Outcome run(const std::string& program, const std::vector<std::string>& arguments,
            const std::string& workingDirectory = "", const std::vector<std::string>& environment = {},
            const std::string& standardOutput = "");

// True when anything is at `path`, a link to nothing included.
bool exists(const std::string& path);

}  // namespace test_support
