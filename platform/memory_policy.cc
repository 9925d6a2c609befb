// The programs' memory policy (memory_policy.h says what and why).
#include "platform/memory_policy.h"

// jemalloc reads its options from this symbol in the program at its first allocation.
extern "C" {
const char* malloc_conf = platform::kMemoryPolicy;
}
