// When the import and the summary start again with glibc's malloc asking
// for huge pages: once, never under valgrind, never against the user's own
// setting, and keeping the user's other tunables.
#include "format/huge_pages.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace locprox {
namespace {

TEST(HugePageTunables, RestartsOnlyWhenItHelpsAndNeverTwice) {
  const char* const kAdded =
      "glibc.malloc.hugetlb=1:glibc.malloc.mmap_threshold=33554432:glibc.malloc.top_pad=33554432";
  struct Case {
    const char* tunables;
    const char* preload;
    const char* mode;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {nullptr, nullptr, "madvise", kAdded},
      {"", nullptr, "madvise", kAdded},
      // The user's own tunables are kept, the new ones added after them,
      // except those the user set.
      {"glibc.malloc.arena_max=2", nullptr, "madvise",
       std::string("glibc.malloc.arena_max=2:") + kAdded},
      {"glibc.malloc.top_pad=0", nullptr, "madvise",
       "glibc.malloc.top_pad=0:glibc.malloc.hugetlb=1:glibc.malloc.mmap_threshold=33554432"},
      // Already restarted, or the user chose: left as it is.
      {"glibc.malloc.hugetlb=1", nullptr, "madvise", std::nullopt},
      {"glibc.malloc.arena_max=2:glibc.malloc.hugetlb=0", nullptr, "madvise", std::nullopt},
      // Under valgrind the new start would escape the checks.
      {nullptr, "/usr/libexec/valgrind/vgpreload_core-amd64-linux.so", "madvise", std::nullopt},
      {nullptr, "/usr/lib/libfaketime.so", "madvise", kAdded},
      // Huge pages given anyway, never given, or unknown: no restart.
      {nullptr, nullptr, "always", std::nullopt},
      {nullptr, nullptr, "never", std::nullopt},
      {nullptr, nullptr, "", std::nullopt},
  };
  for (const Case& c : cases) {
    // Under a limit of the address space, only the huge pages.
    if (c.expected == kAdded) {
      EXPECT_EQ(huge_page_tunables(c.tunables, c.preload, c.mode, true),
                std::string(c.tunables && *c.tunables ? std::string(c.tunables) + ":" : "") +
                    "glibc.malloc.hugetlb=1");
    }
    SCOPED_TRACE(std::string("tunables ") + (c.tunables ? c.tunables : "(unset)") + ", preload " +
                 (c.preload ? c.preload : "(unset)") + ", mode " + c.mode);
    EXPECT_EQ(huge_page_tunables(c.tunables, c.preload, c.mode), c.expected);
  }
}

}  // namespace
}  // namespace locprox
