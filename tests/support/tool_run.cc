#include "tests/support/tool_run.h"

#include <sys/stat.h>

namespace test_support {

Outcome run(const std::string& program, const std::vector<std::string>& arguments, const std::string& workingDirectory,
            const std::vector<std::string>& environment, const std::string& standardOutput) {
  // env looks the program up in PATH and adds the entries; sh sends standard output elsewhere.
  std::vector<std::string> words;
  if (!standardOutput.empty()) words = {"-c", "exec \"$@\" >\"$0\"", standardOutput, "/usr/bin/env"};
  words.insert(words.end(), environment.begin(), environment.end());
  words.push_back(program);
  words.insert(words.end(), arguments.begin(), arguments.end());
  const ProgramRun ran = runProgram(standardOutput.empty() ? "/usr/bin/env" : "/bin/sh", words, workingDirectory);
  return Outcome{ran.exitStatus, ran.standardOutput, ran.standardError};
}

bool exists(const std::string& path) {
  struct stat facts {};
  return ::lstat(path.c_str(), &facts) == 0;
}

}  // namespace test_support
