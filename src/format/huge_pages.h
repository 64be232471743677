// Memory in huge pages for the commands that hold large tables. On a
// virtual machine the first touch of a 4 KiB page costs about 10 us (a
// fault the host sees as well), and the import and the summary of a large
// table touch tens of thousands of them: a 2.7 M-row table took 92,000
// faults, about a third of its processor time. glibc's malloc asks for
// transparent huge pages (one fault per 2 MiB) only when its tunable
// glibc.malloc.hugetlb is set, and tunables are read once, as the program
// starts. So these commands start the program again, the same arguments in
// the same process, with the tunable added to the environment, and with it
// two that make blocks below 32 MiB come from the heap, grown 32 MiB at a
// time (a block mapped on its own, as glibc maps those from 128 KiB on, gets
// a huge page only where it spans a whole aligned 2 MiB). The outputs do not
// change: only where the pages come from.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace locprox {

// The GLIBC_TUNABLES value to restart with, or nothing when there is no
// reason to: the tunable is named already (by an earlier start or by the
// user, who can turn it off with glibc.malloc.hugetlb=0), the program runs
// under valgrind (whose preload is in LD_PRELOAD: the new start would run
// outside it), or the system's transparent huge pages (the bracketed word of
// /sys/kernel/mm/transparent_hugepage/enabled) are not "madvise" ("always"
// gives them without asking, "never" not at all). Null pointers stand for
// unset variables. Under a limit of the address space, only the huge pages
// are asked for, not the heap grown 32 MiB at a time.
std::optional<std::string> huge_page_tunables(const char* tunables, const char* preload,
                                              std::string_view huge_page_mode,
                                              bool address_space_limited = false);

// Starts the program again with the tunable when huge_page_tunables says
// so; returns only when it does not or the new start fails (then nothing
// has changed). Call it first thing, before any thread and any output.
void restart_with_huge_pages(char** argv);

}  // namespace locprox
