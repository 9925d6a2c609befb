// The memory policy, linked into this test as into the programs.
#include "platform/memory_policy.h"

#include <gtest/gtest.h>
#include <jemalloc/jemalloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace platform {
namespace {

// The kernel's flags for the mapping that holds `address` (from /proc/self/smaps), or "".
std::string mappingFlags(const void* address) {
  std::ifstream smaps("/proc/self/smaps");
  const auto at = reinterpret_cast<uintptr_t>(address);
  bool inside = false;
  for (std::string line; std::getline(smaps, line);) {
    uintptr_t begin = 0, end = 0;
    if (std::sscanf(line.c_str(), "%lx-%lx ", &begin, &end) == 2 && line.find(':') > line.find(' ')) {
      inside = begin <= at && at < end;
    } else if (inside && line.rfind("VmFlags:", 0) == 0) {
      return line + " ";
    }
  }
  return "";
}

TEST(MemoryPolicy, JemallocServesMallocAndOperatorNewWithTheBinarysOptions) {
  // The options come from the binary, not from the environment.
  const char* thp = nullptr;
  size_t length = sizeof(thp);
  ASSERT_EQ(mallctl("opt.thp", &thp, &length, nullptr, 0), 0) << "malloc is not jemalloc";
  EXPECT_STREQ(thp, "always");
  // Both allocation paths land in jemalloc: it knows the size of what they return.
  void* fromMalloc = std::malloc(1000);
  auto* fromNew = new std::vector<char>(1000);
  EXPECT_GE(malloc_usable_size(fromMalloc), 1000u);
  EXPECT_GE(malloc_usable_size(fromNew->data()), 1000u);
  std::free(fromMalloc);
  delete fromNew;
}

TEST(MemoryPolicy, LargeBlocksAreAdvisedForHugePages) {
  if (!std::filesystem::exists("/sys/kernel/mm/transparent_hugepage")) GTEST_SKIP() << "no huge pages here";
  std::vector<float> weights(16 << 20);  // 64 MB, as a model's packed weights
  std::memset(weights.data(), 1, weights.size() * sizeof(float));
  EXPECT_NE(mappingFlags(weights.data()).find(" hg "), std::string::npos);
}

}  // namespace
}  // namespace platform
