#include "text_reading/huge_page_restart.h"

#include <gtest/gtest.h>

namespace text_reading {
namespace {

TEST(HugePageRestart, AddsMallocHugePagesOnceKeepingOtherTunables) {
  struct Case {
    const char* current;
    std::optional<std::string> expected;
  };
  for (const Case& c : {
           Case{nullptr, "glibc.malloc.hugetlb=1"},
           Case{"", "glibc.malloc.hugetlb=1"},
           Case{"glibc.malloc.check=3", "glibc.malloc.check=3:glibc.malloc.hugetlb=1"},
           // Already chosen, either way: no restart, so no loop and the user's choice stands.
           Case{"glibc.malloc.hugetlb=1", std::nullopt},
           Case{"glibc.malloc.check=3:glibc.malloc.hugetlb=0", std::nullopt},
       }) {
    EXPECT_EQ(tunablesWithHugePages(c.current), c.expected) << (c.current ? c.current : "(unset)");
  }
}

}  // namespace
}  // namespace text_reading
