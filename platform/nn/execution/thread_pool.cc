#include "platform/nn/execution/thread_pool.h"

namespace platform::nn {

pthreadpool_t processThreadPool() {
  // 0 threads asks pthreadpool for one per logical processor. Never destroyed: models may live in
  // static storage and run until exit.
  static pthreadpool_t pool = pthreadpool_create(0);
  return pool;
}

}  // namespace platform::nn
