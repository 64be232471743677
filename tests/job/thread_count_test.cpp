// The year loop gives the same bytes in the report, the proximity file and on
// the console whatever the number of threads, and whether it reads the years
// into one pair of arrays or two in turn, on a job whose years observe
// different locations and entries (some years all of them, one none), with
// duplicates and records out of range, under every kind of option.

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "format/input_unit.h"
#include "format/output_unit.h"
#include "format/units.h"
#include "job/run_sequence.h"
#include "job/workspace.h"
#include "support/run_program.h"

namespace locprox {
namespace {

using locprox::testing::ScratchDirectory;

constexpr std::int32_t kYears = 7, kLocations = 37, kEntries = 230;

// Years 1 to 7: 1 observes every location and entry; 2 about a third of the
// locations and a fifth of the entries; 3 nothing; 4 and 6 a fresh half of
// each; 5 one location only; 7 everything again, sparsely.
std::string observations() {
  std::mt19937 rng(4321);
  std::uniform_real_distribution<double> noise(-30.0, 30.0);
  std::string seq;
  auto add = [&](int year, int l, int g) {
    char line[64];
    std::snprintf(line, sizeof line, "%d %d %d %.3f\n", year, l, g,
                  100.0 + l * 1.5 - g * 0.25 + noise(rng));
    seq += line;
  };
  for (int year = 1; year <= kYears; ++year) {
    if (year == 3) continue;
    std::bernoulli_distribution location_active(year == 1 || year == 7 ? 1.0
                                                : year == 2          ? 0.33
                                                                     : 0.5);
    std::bernoulli_distribution entry_active(year == 1 || year == 7 ? 1.0
                                             : year == 2          ? 0.2
                                                                  : 0.5);
    std::bernoulli_distribution observed(year == 7 ? 0.15 : 0.7);
    std::vector<int> locations, entries;
    for (int l = 1; l <= kLocations; ++l) {
      if (year == 5 ? l == 11 : location_active(rng)) locations.push_back(l);
    }
    for (int g = 1; g <= kEntries; ++g) {
      if (entry_active(rng)) entries.push_back(g);
    }
    for (int g : entries) {
      for (int l : locations) {
        if (year == 1 || observed(rng)) add(year, l, g);
      }
    }
    if (year == 2) {
      add(year, locations.front(), entries.front());  // a duplicate
      seq += "2 99 1 5.0\n";                           // a location out of range
    }
  }
  return seq;
}

std::string names() {
  std::string naq;
  char line[64];
  std::snprintf(line, sizeof line, "Threads\n%d %d %d\n", kYears, kLocations, kEntries);
  naq.append(line);
  for (int y = 1; y <= kYears; ++y) {
    std::snprintf(line, sizeof line, "Y%d\n", 2000 + y);
    naq.append(line);
  }
  for (int l = 1; l <= kLocations; ++l) {
    std::snprintf(line, sizeof line, "L%d\n", l);
    naq.append(line);
  }
  for (int g = 1; g <= kEntries; ++g) {
    std::snprintf(line, sizeof line, "E%d\n", g);
    naq.append(line);
  }
  return naq;
}

struct Files {
  std::string report, proximity, console;
};

Files run_with(const ScratchDirectory& dir, const Measure& options, unsigned threads,
               bool two_pairs = true) {
  char name[16];
  std::snprintf(name, sizeof name, "T%u%s", threads, two_pairs ? "" : "-one");
  const std::string stem = (dir.path() / name).string();
  {
    OutputUnit console(0, stem + ".console", OutputUnit::Style::kFile, false);
    InputUnit console_input(0, "/dev/null");
    InputUnit observations(kObservationsUnit, (dir.path() / "T.SEQ").string());
    InputUnit names_file(kNamesUnit, (dir.path() / "T.NAQ").string());
    OutputUnit report(kReportUnit, stem + ".OCC", OutputUnit::Style::kFile, false);
    OutputUnit proximity(kProximityUnit, stem + ".PRX", OutputUnit::Style::kFile, false);
    console.open();
    console_input.open();
    observations.open();
    names_file.open();
    report.open();
    proximity.open();
    Units units{console, console_input, observations, names_file, report, proximity};

    ProblemSize size;
    size.MAXY = kYears;
    size.MAXL = kLocations;
    size.MAXG = kEntries;
    size.IYS = 1;
    size.IYF = kYears;
    size.NYA = kYears;
    size.NTM = kLocations * (kLocations + 1) / 2;
    const WorkspaceLengths lengths = workspace_lengths(size);
    std::vector<double> DZ(lengths.DZ);
    std::vector<float> Z(lengths.Z);
    std::vector<std::int32_t> MZ(lengths.MZ);
    std::vector<Name> AZ(lengths.AZ);
    const Workspace work = partition_work_arrays(DZ, Z, MZ, AZ, size);
    SequenceSettings settings;
    settings.threads = threads;
    if (!two_pairs) settings.second_arrays_bytes = 0;
    EXPECT_EQ(run_sequence(units, work, size, options, nullptr, settings), SequenceOutcome::kCompleted);
    report.close();
    proximity.close();
    console.close();
  }
  return {testing::read_file(stem + ".OCC"), testing::read_file(stem + ".PRX"),
          testing::read_file(stem + ".console")};
}

TEST(ThreadCount, EveryNumberOfThreadsGivesTheSameFiles) {
  ScratchDirectory dir;
  dir.write("T.SEQ", observations());
  dir.write("T.NAQ", names());
  const Measure option_sets[] = {
      {'W', 'S', 'C', '\0'},  // distances of centred data, weighted
      {'U', 'S', 'S', '\0'},  // distances of standardised data, unweighted
      {'W', 'C', '\0', 'N'},  // correlations, weighted
      {'U', 'C', '\0', 'Z'},  // Fisher z, unweighted
  };
  for (const Measure& options : option_sets) {
    // One thread reading every year into YDATA and INCID, against every
    // number of threads reading into two pairs of arrays in turn (the
    // workers gathering each year), and into one.
    const Files one = run_with(dir, options, 1, false);
    ASSERT_GT(one.proximity.size(), 10000u);
    ASSERT_NE(one.report.find(" Duplicate observation"), std::string::npos);
    for (const auto& [threads, two_pairs] : {std::pair{1u, true}, std::pair{2u, true},
                                             std::pair{3u, true}, std::pair{8u, true},
                                             std::pair{2u, false}}) {
      const Files more = run_with(dir, options, threads, two_pairs);
      char label[80];
      std::snprintf(label, sizeof label, "%c%c%c%c with %u threads, %s", options.WEIGHT,
                    options.PRXTYP, options.SEDTYP ? options.SEDTYP : '-',
                    options.CORTYP ? options.CORTYP : '-', threads,
                    two_pairs ? "two pairs of arrays" : "one pair");
      EXPECT_TRUE(more.report == one.report) << label << ": report differs";
      EXPECT_TRUE(more.proximity == one.proximity) << label << ": proximity file differs";
      EXPECT_TRUE(more.console == one.console) << label << ": console differs";
    }
  }
}

}  // namespace
}  // namespace locprox
