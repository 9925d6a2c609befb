#include "platform/nn/execution/huge_pages.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace platform::nn {

void* allocateAligned(size_t alignment, size_t size) {
  if (size >= kHugePage) alignment = std::max(alignment, kHugePage);
  void* block = nullptr;
  if (posix_memalign(&block, std::max(alignment, sizeof(void*)), std::max<size_t>(size, 1)) != 0) return nullptr;
  adviseHugePages(block, size);
  return block;
}

void adviseHugePages(void* block, size_t size) {
  if (block == nullptr || size < kHugePage) return;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + size) & ~(kHugePage - 1);
  // Where the kernel has no huge pages to give, the memory works as before.
  if (end > begin) (void)madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

void freeAligned(void* block) noexcept { std::free(block); }

}  // namespace platform::nn
