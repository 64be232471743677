#include "summary/prx_text.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace locprox::summary::testing {

std::string count_field(std::int64_t value, int width) {
  std::string text = std::to_string(value);
  if (static_cast<int>(text.size()) > width) return std::string(static_cast<size_t>(width), '*');
  return std::string(static_cast<size_t>(width) - text.size(), ' ') + text;
}

std::string real_field(double value) {
  std::string text;
  if (value == 0.0) {
    text = "0.00000000E+00";
  } else {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.7E", value < 0 ? -value : value);
    std::string scientific = buffer;  // d.dddddddE+xx
    std::string digits = scientific.substr(0, 1) + scientific.substr(2, 7);
    int exponent = std::atoi(scientific.c_str() + 10) + 1;
    char tail[16];
    if (exponent > -100 && exponent < 100) {
      std::snprintf(tail, sizeof tail, "E%+03d", exponent);
    } else {
      std::snprintf(tail, sizeof tail, "%+04d", exponent);
    }
    text = (value < 0 ? "-0." : "0.") + digits + tail;
  }
  return std::string(16 - text.size(), ' ') + text;
}

std::string PrxText::text(const std::string& end) const {
  const std::int64_t ntm = std::int64_t{maxl} * (maxl + 1) / 2;
  std::string out;
  for (std::int64_t v : {std::int64_t{maxy}, std::int64_t{maxl}, std::int64_t{maxg},
                         std::int64_t{iys}, std::int64_t{iyf}, std::int64_t{iyf - iys + 1}, ntm}) {
    out += count_field(v);
  }
  out += end;
  for (char option : {weight, prxtyp, sedtyp, cortyp}) {
    out += "     ";
    out += option;
  }
  out += end;
  for (const PrxGroup& g : groups) {
    std::string name = g.name;
    name.resize(8, ' ');
    out += count_field(g.year) + "    " + name + end;
    for (std::int32_t j = 1; j <= maxl; ++j) {
      const size_t column = static_cast<size_t>(j) * (j - 1) / 2;
      for (std::int32_t i = 1; i <= j; ++i) {
        out += real_field(g.prox[column + i - 1]);
        if (i % 10 == 0 || i == j) out += end;
      }
    }
    for (const auto* counts : {&g.ngpair, &g.nypair, &g.kii}) {
      for (std::int32_t j = 1; j <= maxl; ++j) {
        const size_t column = static_cast<size_t>(j) * (j - 1) / 2;
        std::int64_t total = 0;
        for (std::int32_t i = 1; i < j; ++i)
          total += counts->empty() ? 0 : (*counts)[column + i - 1];
        std::vector<std::int64_t> row{total};
        for (std::int32_t i = 1; i <= j; ++i)
          row.push_back(counts->empty() ? 0 : (*counts)[column + i - 1]);
        for (size_t k = 0; k < row.size(); ++k) {
          out += count_field(row[k]);
          if ((k + 1) % 30 == 0 || k + 1 == row.size()) out += end;
        }
      }
    }
  }
  return out;
}

}  // namespace locprox::summary::testing
