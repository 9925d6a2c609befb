// Memory for the large blocks of a model runtime (packed weights, workspace, tensors that cross
// from one step to the next): aligned to 2 MB and offered to the kernel for huge pages. A new
// runtime touches hundreds of megabytes for the first time; faulting that in 4 KB pages cost
// more than a run of the model on a virtual machine, in 2 MB pages a small part of it. Small
// blocks are left to malloc. All blocks are freed with std::free. Safe from any thread.
#pragma once

#include "platform/nn/internal_only.h"

#include <cstddef>
#include <new>

namespace platform::nn {

inline constexpr size_t kHugePage = size_t{2} << 20;

// At least `size` bytes aligned to `alignment` (a power of two), or null.
void* allocateAligned(size_t alignment, size_t size);

// Offers the whole 2 MB pages inside the block for huge pages; a hint the kernel may ignore.
void adviseHugePages(void* block, size_t size);

// For std::vector: elements in memory from allocateAligned.
template <typename T>
struct HugePageAllocator {
  using value_type = T;
  HugePageAllocator() = default;
  template <typename U>
  HugePageAllocator(const HugePageAllocator<U>&) noexcept {}

  T* allocate(size_t count) {
    if (count > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    void* block = allocateAligned(alignof(T), count * sizeof(T));
    if (block == nullptr) throw std::bad_alloc();
    return static_cast<T*>(block);
  }
  void deallocate(T* block, size_t) noexcept;

  template <typename U>
  bool operator==(const HugePageAllocator<U>&) const noexcept {
    return true;
  }
};

void freeAligned(void* block) noexcept;

template <typename T>
void HugePageAllocator<T>::deallocate(T* block, size_t) noexcept {
  freeAligned(block);
}

}  // namespace platform::nn
