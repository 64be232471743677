// Writes a proximity file for the summary's benchmark: the file of a weighted
// Fisher z run over LOCATIONS locations and YEARS years, values drawn from a
// fixed seed. The records are written by the main program's record writer
// with the layouts of format/proximity_records.h, so the file has exactly
// the shape of one that locprox writes. Every year's group holds the same
// values: the group body is formatted once and repeated under each year
// record. With --growing every year adds its own values to the running sums
// and counts instead (weighted z of correlations drawn per year, 20 to 49
// entries in common less 3), as a real run's file grows, so that each year's
// values and leaving a year out mean something.
//
//   generate_proximity_file LOCATIONS YEARS FILE [--growing]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "format/layout.h"
#include "format/output_unit.h"
#include "format/proximity_records.h"
#include "format/record_writer.h"
#include "format/run_error.h"
#include "format/units.h"

namespace {

using namespace locprox;
namespace records = locprox::proximity_records;

// The proximity block and the three count blocks of one year.
void write_group_body(OutputUnit& out, std::int32_t L) {
  const Layout proximity_column(records::kProximityColumn);
  const Layout count_column(records::kCountColumn);
  std::mt19937 random(17);
  std::uniform_real_distribution<double> correlation(-0.6, 1.8);
  std::vector<double> column;
  for (std::int32_t j = 1; j <= L; ++j) {
    column.clear();
    for (std::int32_t i = 1; i <= j; ++i)
      column.push_back(i == j ? 40.0 : correlation(random) * 30);
    RecordWriter record(out, proximity_column);
    record.put_all(column);
    record.finish();
  }
  std::vector<std::int32_t> counts;
  for (int block = 0; block < 3; ++block) {
    for (std::int32_t j = 1; j <= L; ++j) {
      counts.assign(1, 25 * (j - 1));  // the location's total
      for (std::int32_t i = 1; i <= j; ++i) {
        counts.push_back(block > 0 ? 1
                         : i == j  ? 40
                                   : 20 + static_cast<std::int32_t>(random() % 30));
      }
      RecordWriter record(out, count_column);
      record.put_all(counts);
      record.finish();
    }
  }
}

// The running state of a growing file: packed PROX, NGPAIR and NYPAIR.
struct RunningSums {
  std::vector<double> prox;
  std::vector<std::int32_t> ngpair, nypair;
};

// Adds one year to `sums` and writes the group body of the state after it.
void write_growing_body(OutputUnit& out, std::int32_t L, RunningSums& sums, std::mt19937& random) {
  const Layout proximity_column(records::kProximityColumn);
  const Layout count_column(records::kCountColumn);
  // Each location has a "family" so that the groups are real; the year's
  // correlation is the family's plus noise.
  std::normal_distribution<double> noise(0.0, 0.25);
  for (std::int32_t j = 1; j <= L; ++j) {
    for (std::int32_t i = 1; i <= j; ++i) {
      const size_t p = packed_index(i, j);
      if (i == j) {
        sums.prox[p] += 40.0;
        sums.ngpair[p] += 40;
        sums.nypair[p] += 1;
        continue;
      }
      const double base = (i % 7) == (j % 7) ? 0.7 : 0.1;
      const double r = std::max(-0.95, std::min(0.95, base + noise(random)));
      const std::int32_t w = 17 + static_cast<std::int32_t>(random() % 30);
      sums.prox[p] += std::atanh(r) * w;
      sums.ngpair[p] += w;
      sums.nypair[p] += 1;
    }
  }
  std::vector<double> column;
  for (std::int32_t j = 1; j <= L; ++j) {
    column.assign(sums.prox.begin() + static_cast<std::ptrdiff_t>(packed_index(1, j)),
                  sums.prox.begin() + static_cast<std::ptrdiff_t>(packed_index(j, j)) + 1);
    RecordWriter record(out, proximity_column);
    record.put_all(column);
    record.finish();
  }
  std::vector<std::int32_t> counts;
  for (int block = 0; block < 3; ++block) {
    const std::vector<std::int32_t>& packed = block == 0 ? sums.ngpair : sums.nypair;
    for (std::int32_t j = 1; j <= L; ++j) {
      counts.assign(1, 0);  // the location's total, not read by the summary
      for (std::int32_t i = 1; i <= j; ++i) {
        const std::int32_t value = packed[packed_index(i, j)];
        counts.push_back(block == 2 ? (value > 0 ? 1 : 0) : value);
      }
      RecordWriter record(out, count_column);
      record.put_all(counts);
      record.finish();
    }
  }
}

std::string read_whole(const std::string& path) {
  std::string text;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw RunError(path + ": cannot be read back");
  char block[1 << 16];
  for (size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) text.append(block, got);
  std::fclose(file);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const bool growing = argc == 5 && std::string(argv[4]) == "--growing";
  if (argc != 4 && !growing) {
    std::fprintf(stderr, "usage: generate_proximity_file LOCATIONS YEARS FILE [--growing]\n");
    return 2;
  }
  const std::int32_t L = std::atoi(argv[1]);
  const std::int32_t N = std::atoi(argv[2]);
  const std::string path = argv[3];
  if (L < 1 || N < 1) {
    std::fprintf(stderr, "generate_proximity_file: LOCATIONS and YEARS must be positive\n");
    return 2;
  }
  try {
    const std::string body_path = path + ".body";
    {
      OutputUnit body(kProximityUnit, body_path, OutputUnit::Style::kFile, false);
      body.open();
      write_group_body(body, L);
      body.close();
    }
    const std::string body = read_whole(body_path);
    std::remove(body_path.c_str());

    OutputUnit out(kProximityUnit, path, OutputUnit::Style::kFile, false);
    out.open();
    const std::int32_t ntm = static_cast<std::int32_t>(packed_size(L));
    write_record(out, Layout(records::kDimensionRecord), N, L, 1, 1, N, N, ntm);
    write_record(out, Layout(records::kOptionRecord), 'W', 'R', '\0', 'Z');
    const Layout year_record(records::kYearRecord);
    RunningSums sums{std::vector<double>(static_cast<size_t>(ntm), 0.0),
                     std::vector<std::int32_t>(static_cast<size_t>(ntm), 0),
                     std::vector<std::int32_t>(static_cast<size_t>(ntm), 0)};
    std::mt19937 random(23);
    for (std::int32_t y = 1; y <= N; ++y) {
      std::string name = "Y" + std::to_string(y);
      name.resize(8, ' ');  // a name is eight characters, blank padded
      write_record(out, year_record, y, name);
      if (growing) {
        write_growing_body(out, L, sums, random);
      } else {
        out.append(body);
      }
    }
    out.close();
  } catch (const RunError& e) {
    std::fprintf(stderr, "generate_proximity_file: %s\n", e.what());
    return 1;
  }
  return 0;
}
