// How a program ends when memory runs out where nothing can go on: a std::bad_alloc that no code
// catches, on any thread (a worker's as well as main's), ends the process with status 1 and a
// message on standard error instead of std::terminate's abort. Call once from main, before the
// threads start.
#pragma once

#include <string>

namespace platform {

// `message` (a whole line) is written when it happens.
void endRunOutOfMemory(std::string message);

// A file the program is writing and that must not be left half-made if it ends so (matte's
// cut-out): removed first. Empty: none. Call from main's thread while no worker runs.
void removeOnOutOfMemory(std::string path);

}  // namespace platform
