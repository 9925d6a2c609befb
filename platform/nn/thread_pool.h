// The process-wide thread pool that runs model operators: one per process, one thread per
// processor, created on first use and kept until exit.
#pragma once

#include <pthreadpool.h>

namespace platform::nn {

pthreadpool_t processThreadPool();

}  // namespace platform::nn
