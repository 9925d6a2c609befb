// The process-wide thread pool that runs model operators: one per process, one thread per
// processor, created on first use and kept until exit. Safe to ask for from any thread; the pool
// runs one parallel operation at a time and makes a second caller wait for the first.
#pragma once

#include "platform/nn/internal_only.h"

#include <pthreadpool.h>

namespace platform::nn {

// The pool, or null when it could not be created (operators then run on the calling thread).
pthreadpool_t processThreadPool();

}  // namespace platform::nn
