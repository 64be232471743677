#include "command_line/memory_limit.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

namespace locprox {
namespace {

constexpr std::uint64_t kMaximum = std::numeric_limits<std::uint64_t>::max();

std::uint64_t add(std::uint64_t a, std::uint64_t b) {
  return a > kMaximum - b ? kMaximum : a + b;
}

std::uint64_t times(std::int64_t elements, std::uint64_t bytes) {
  if (elements <= 0) return 0;
  const auto count = static_cast<std::uint64_t>(elements);
  return count > kMaximum / bytes ? kMaximum : count * bytes;
}

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::optional<std::uint64_t> parse_memory_size(std::string_view text) {
  std::size_t i = 0;
  std::uint64_t whole = 0;
  std::size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    if (whole > (kMaximum - 9) / 10) return std::nullopt;
    whole = whole * 10 + static_cast<std::uint64_t>(text[i++] - '0');
    ++digits;
  }
  // A decimal fraction, kept as tenths, hundredths, ... up to 9 digits.
  std::uint64_t fraction = 0, scale = 1;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      if (scale < 1000000000) {
        fraction = fraction * 10 + static_cast<std::uint64_t>(text[i] - '0');
        scale *= 10;
      }
      ++i;
      ++digits;
    }
  }
  if (digits == 0) return std::nullopt;
  std::string unit;
  for (; i < text.size(); ++i) unit += lower(text[i]);
  int power = 0;
  if (unit.empty() || unit == "b") {
    power = 0;
  } else {
    const std::string_view prefixes = "kmgt";
    const std::size_t at = prefixes.find(unit[0]);
    if (at == std::string_view::npos) return std::nullopt;
    const std::string_view rest = std::string_view(unit).substr(1);
    if (!rest.empty() && rest != "b" && rest != "ib") return std::nullopt;
    power = static_cast<int>(at) + 1;
  }
  std::uint64_t multiplier = 1;
  for (int p = 0; p < power; ++p) multiplier *= 1024;
  if (whole > kMaximum / multiplier) return std::nullopt;
  std::uint64_t bytes = whole * multiplier;
  // The fraction's share, rounded down to whole bytes.
  bytes = add(bytes, static_cast<std::uint64_t>(static_cast<long double>(fraction) * multiplier /
                                                 static_cast<long double>(scale)));
  if (bytes == 0 || bytes == kMaximum) return std::nullopt;
  return bytes;
}

std::optional<std::uint64_t> available_memory() {
  std::ifstream meminfo("/proc/meminfo");
  std::string line;
  while (std::getline(meminfo, line)) {
    if (line.rfind("MemAvailable:", 0) != 0) continue;
    std::istringstream fields(line.substr(13));
    std::uint64_t kib = 0;
    std::string unit;
    if (!(fields >> kib >> unit) || unit != "kB") return std::nullopt;
    return kib > kMaximum / 1024 ? kMaximum : kib * 1024;
  }
  return std::nullopt;
}

std::uint64_t default_memory_limit() {
  const std::optional<std::uint64_t> available = available_memory();
  if (!available) return kMaximum;
  const std::uint64_t margin = std::max(*available / 10, std::uint64_t{128} << 20);
  return *available > margin ? *available - margin : 0;
}

std::string memory_text(std::uint64_t bytes) {
  const char* const units[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  double value = static_cast<double>(bytes) / 1024.0;
  int unit = 0;
  while (value >= 1024.0 && unit < 5) {
    value /= 1024.0;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, value < 10.0 ? "%.1f %s" : "%.0f %s", value, units[unit]);
  return text;
}

RunMemory run_memory(const ProblemRequirements& need) {
  RunMemory memory;
  memory.work_arrays = add(add(times(need.DZREQ, 8), times(need.ZREQ, 4)),
                           add(times(need.MZREQ, 4), times(need.AZREQ, 8)));
  memory.total = add(memory.work_arrays, kRunOverhead);
  return memory;
}

}  // namespace locprox
