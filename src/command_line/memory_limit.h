// Memory for a run whose work arrays are sized to its problem: what the run
// needs, what it may take (--max-memory SIZE, by default the memory
// available less a margin), and sizes as people write them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "job/problem_requirements.h"

namespace locprox {

// "512M", "4G", "1.5G", "64MiB", "2048" (bytes): a number, whole or with a
// decimal point, and a unit K, M, G or T (powers of 1024, case does not
// matter, with or without "B" or "iB"). Nothing for anything else, zero, or a
// size beyond 2^64 bytes.
std::optional<std::uint64_t> parse_memory_size(std::string_view text);

// The memory the system says is available (MemAvailable of /proc/meminfo),
// in bytes; nothing when it cannot be read.
std::optional<std::uint64_t> available_memory();

// The default limit: the available memory less a margin for the rest of the
// system (a tenth of it, at least 128 MiB); without /proc/meminfo, no limit.
std::uint64_t default_memory_limit();

// "12.3 GiB", "512 MiB", "900 KiB", "100 bytes".
std::string memory_text(std::uint64_t bytes);

// What a run needs: its four work arrays at their requirements (8 bytes a DZ
// element, 4 a Z or MZ element, 8 an AZ name) and the rest of the program
// (buffers of the files and the year loop), in bytes; saturates instead of
// wrapping.
struct RunMemory {
  std::uint64_t work_arrays = 0;
  std::uint64_t total = 0;
};
RunMemory run_memory(const ProblemRequirements& need);

// The memory the program takes besides the work arrays: file buffers, the
// year loop's threads and the code.
constexpr std::uint64_t kRunOverhead = std::uint64_t{32} << 20;

}  // namespace locprox
