#include "format/huge_pages.h"

#include <sys/auxv.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace locprox {
namespace {

constexpr std::string_view kTunable = "glibc.malloc.hugetlb";

// The word in brackets of "always [madvise] never", or "" when unreadable.
std::string huge_page_mode() {
  std::FILE* file = std::fopen("/sys/kernel/mm/transparent_hugepage/enabled", "r");
  if (file == nullptr) return "";
  char line[128] = {};
  const bool read = std::fgets(line, sizeof line, file) != nullptr;
  std::fclose(file);
  if (!read) return "";
  const char* open = std::strchr(line, '[');
  const char* close = open ? std::strchr(open, ']') : nullptr;
  return close ? std::string(open + 1, close) : "";
}

}  // namespace

std::optional<std::string> huge_page_tunables(const char* tunables, const char* preload,
                                              std::string_view huge_page_mode,
                                              bool address_space_limited) {
  if (huge_page_mode != "madvise") return std::nullopt;
  if (tunables != nullptr && std::string_view(tunables).find(kTunable) != std::string_view::npos)
    return std::nullopt;
  if (preload != nullptr && std::string_view(preload).find("vgpreload") != std::string_view::npos)
    return std::nullopt;
  std::string value = tunables != nullptr ? tunables : "";
  const auto add = [&](std::string_view name, std::string_view setting) {
    if (value.find(name) != std::string::npos) return;  // the user's own stands
    if (!value.empty()) value += ':';
    value += name;
    value += '=';
    value += setting;
  };
  add(kTunable, "1");
  // Blocks below 32 MiB from the heap, which grows 32 MiB at a time, rather
  // than each mapped on its own: the history's arrays of 1-2 MiB each would
  // otherwise never fill a huge page. Not under a limit of the address
  // space (ulimit -v), where the heap's first 32 MiB could be refused before
  // the program has started.
  if (!address_space_limited) {
    add("glibc.malloc.mmap_threshold", "33554432");
    add("glibc.malloc.top_pad", "33554432");
  }
  return value;
}

void restart_with_huge_pages(char** argv) {
#ifdef __GLIBC__
  // A program started with raised privileges has GLIBC_TUNABLES taken from
  // its environment by the loader: it would start again and again.
  if (::getauxval(AT_SECURE) != 0) return;
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  struct rlimit address_space {};
  const bool limited =
      ::getrlimit(RLIMIT_AS, &address_space) == 0 && address_space.rlim_cur != RLIM_INFINITY;
  const std::optional<std::string> value =
      huge_page_tunables(tunables, std::getenv("LD_PRELOAD"), huge_page_mode(), limited);
  if (!value) return;
  const std::string before = tunables != nullptr ? tunables : "";
  if (::setenv("GLIBC_TUNABLES", value->c_str(), 1) != 0) return;
  ::execv("/proc/self/exe", argv);
  // Not restarted (no /proc, say): on as before, the environment as it was.
  if (tunables != nullptr) {
    ::setenv("GLIBC_TUNABLES", before.c_str(), 1);
  } else {
    ::unsetenv("GLIBC_TUNABLES");
  }
#else
  (void)argv;
#endif
}

}  // namespace locprox
