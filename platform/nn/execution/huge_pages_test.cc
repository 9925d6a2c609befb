#include "platform/nn/execution/huge_pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace platform::nn {
namespace {

TEST(HugePages, BlocksAreAlignedAsAskedAndWholeAtEverySize) {
  struct Case {
    size_t alignment, size, expectedAlignment;
  };
  // Large blocks are aligned to a huge page whatever was asked, so that the advice covers them.
  for (const Case& c : {Case{64, 1, 64}, Case{64, 4096, 64}, Case{16, kHugePage - 1, 16},
                        Case{64, kHugePage, kHugePage}, Case{64, 3 * kHugePage + 5, kHugePage}}) {
    void* block = allocateAligned(c.alignment, c.size);
    ASSERT_NE(block, nullptr) << c.size;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % c.expectedAlignment, 0u) << c.size;
    std::memset(block, 0xab, c.size);  // every byte writable (the sanitizer build checks the bounds)
    EXPECT_EQ(static_cast<unsigned char*>(block)[c.size - 1], 0xab);
    freeAligned(block);
  }
}

TEST(HugePages, VectorsKeepTheirValuesAcrossGrowth) {
  std::vector<float, HugePageAllocator<float>> values;
  for (int i = 0; i < 1 << 20; ++i) values.push_back(static_cast<float>(i));
  values.assign(values.size() + 16, 0.5f);
  EXPECT_EQ(values.front(), 0.5f);
  EXPECT_EQ(values.back(), 0.5f);
  std::vector<float, HugePageAllocator<float>> copy = values;
  EXPECT_EQ(copy, values);
}

}  // namespace
}  // namespace platform::nn
