#include "platform/result.h"

#include <cstdio>
#include <cstdlib>

namespace platform::detail {

void misusedResult(const char* what) {
  std::fprintf(stderr, "programming error: %s\n", what);
  std::abort();
}

}  // namespace platform::detail
