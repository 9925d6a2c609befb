// look restarts itself once, at the top of main, with glibc's malloc asked for huge pages. The
// Latin Tesseract model is an 88 MB word list that Tesseract reads, copies and unpacks: faulted
// in 4 KB pages that took 2.3 s, in 2 MB pages 0.8 s, and the model runtimes gain the same way.
// glibc reads that setting only from the environment when a process starts.
#pragma once

#include <optional>
#include <string>

namespace text_reading {

// The GLIBC_TUNABLES value that adds malloc's huge pages to `current` (null when unset), or none
// when `current` already chooses them (or chooses against them).
std::optional<std::string> tunablesWithHugePages(const char* current);

// Runs this program again with that setting, unless it is already set or the process is
// privileged (glibc ignores tunables there, and the restart would repeat). Returns when it does
// not restart, or when the restart fails: the run then goes on with ordinary pages.
void restartWithHugePages(char** argv);

}  // namespace text_reading
