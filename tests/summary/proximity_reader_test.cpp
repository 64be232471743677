#include "summary/proximity_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <random>
#include <string>
#include <variant>
#include <vector>

#include "format/field_reader.h"
#include "summary/errors.h"
#include "summary/example_files.h"
#include "summary/prx_text.h"
#include "summary/scratch.h"

namespace locprox::summary {
namespace {

using testing::example_prx;
using testing::example_records;
using testing::join_records;
using testing::Scratch;

// The message of the InputError that reading `text` raises; empty if none.
std::string refusal(const std::string& text, std::optional<std::int32_t> year = std::nullopt) {
  Scratch dir;
  dir.write("JOB.PRX", text);
  try {
    read_proximity_file(dir.file("JOB.PRX"), year);
  } catch (const InputError& e) {
    return e.what();
  }
  return {};
}

ProximityFile read_text(const std::string& text, std::optional<std::int32_t> year = std::nullopt) {
  Scratch dir;
  dir.write("JOB.PRX", text);
  return read_proximity_file(dir.file("JOB.PRX"), year);
}

TEST(ProximityFile, ReadsTheLastGroupByDefault) {
  ProximityFile file = read_text(example_prx());
  EXPECT_EQ(file.dims.maxy, 2);
  EXPECT_EQ(file.dims.maxl, 3);
  EXPECT_EQ(file.dims.maxg, 5);
  EXPECT_EQ(file.dims.nya, 2);
  EXPECT_EQ(file.dims.ntm, 6);
  EXPECT_EQ(file.options.WEIGHT, 'W');
  EXPECT_EQ(file.options.PRXTYP, 'C');
  EXPECT_EQ(file.options.SEDTYP, '\0');
  EXPECT_EQ(file.options.CORTYP, 'N');
  EXPECT_TRUE(file.options.weighted());
  EXPECT_FALSE(file.options.distance());
  EXPECT_FALSE(file.options.fisher_z());
  EXPECT_EQ(file.group.year, 2);
  EXPECT_EQ(file.group.year_name, "1996    ");
  EXPECT_EQ(file.group.prox, (std::vector<double>{9.0, 4.0, 11.0, 1.2, -1.5, 8.0}));
  EXPECT_EQ(file.group.ngpair, (std::vector<std::int32_t>{9, 8, 11, 2, 3, 8}));
  EXPECT_EQ(file.group.nypair, (std::vector<std::int32_t>{2, 2, 2, 1, 1, 2}));
  EXPECT_EQ(file.unknown_counts, 0);
}

TEST(ProximityFile, PicksAYearByItsNumber) {
  ProximityFile file = read_text(example_prx(), 1);
  EXPECT_EQ(file.group.year, 1);
  EXPECT_EQ(file.group.year_name, "1995    ");
  EXPECT_EQ(file.group.prox, (std::vector<double>{5.0, 2.4, 6.0, 0.0, -1.5, 4.0}));
  EXPECT_EQ(file.group.ngpair, (std::vector<std::int32_t>{5, 4, 6, 0, 3, 4}));
  EXPECT_EQ(file.group.nypair, (std::vector<std::int32_t>{1, 1, 1, 0, 1, 1}));
}

TEST(ProximityFile, ReadsPlainLineFeedsAndAMissingLastLineEndAlike) {
  ProximityFile crlf = read_text(example_prx());
  std::string lf = join_records(example_records(), "\n");
  for (const std::string& text : {lf, lf.substr(0, lf.size() - 1)}) {
    ProximityFile file = read_text(text);
    EXPECT_EQ(file.group.prox, crlf.group.prox);
    EXPECT_EQ(file.group.ngpair, crlf.group.ngpair);
    EXPECT_EQ(file.group.nypair, crlf.group.nypair);
  }
}

TEST(ProximityFile, RefusesAYearOutsideTheSequence) {
  for (std::int32_t year : {0, 3}) {
    std::string message = refusal(example_prx(), year);
    EXPECT_NE(message.find("--year " + std::to_string(year)), std::string::npos) << message;
    EXPECT_NE(message.find("holds years 1 to 2"), std::string::npos) << message;
  }
}

TEST(ProximityFile, RefusesEveryTruncationNamingTheLastLine) {
  const std::vector<std::string> records = example_records();
  for (size_t kept = 0; kept < records.size(); ++kept) {
    SCOPED_TRACE("records kept: " + std::to_string(kept));
    std::vector<std::string> cut(records.begin(), records.begin() + static_cast<long>(kept));
    if (kept == 1 || kept == 2) continue;  // what a refused run leaves: see below
    std::string message = refusal(join_records(cut));
    if (kept == 0) {
      EXPECT_NE(message.find("the file is empty"), std::string::npos) << message;
    } else {
      EXPECT_NE(message.find("JOB.PRX, line " + std::to_string(kept) + ": the file ends here"),
                std::string::npos)
          << message;
      EXPECT_NE(message.find("truncated"), std::string::npos) << message;
    }
  }
}

// A refused run writes the dimension record alone (a problem size it does
// not take, or work arrays too small), or the dimension and option records
// (names-file counts that disagree): that is a refusal, not a truncation,
// whatever the sizes were.
TEST(ProximityFile, TellsTheFileOfARefusedRunFromATruncatedOne) {
  const std::vector<std::string> records = example_records();
  const std::string too_large = "     2  3000  5000     1     2     2******";
  const std::string backwards = "     2     3     5     2     1     0     6";
  const struct {
    std::vector<std::string> records;
    bool options;
  } cases[] = {
      {{records[0]}, false},
      {{records[0], records[1]}, true},
      {{too_large}, false},
      {{backwards}, false},  // a sequence that ends before it starts
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.records[0]);
    Scratch dir;
    dir.write("JOB.PRX", join_records(c.records));
    try {
      read_proximity_file(dir.file("JOB.PRX"), std::nullopt);
      ADD_FAILURE() << "read as a summarised run";
    } catch (const RefusedRun& refused) {
      const std::string message = refused.what();
      EXPECT_NE(message.find(c.options ? "JOB.PRX holds only the dimension and option records"
                                       : "JOB.PRX holds only the dimension record:"),
                std::string::npos)
          << message;
      EXPECT_NE(message.find("was refused"), std::string::npos) << message;
      EXPECT_EQ(refused.dimension_record(), c.records[0]);
      EXPECT_EQ(refused.option_record(), c.options);
    }
  }
}

struct Damage {
  const char* what;
  size_t line;  // 1-based record that is replaced
  std::string record;
  std::string expected;  // part of the message
};

TEST(ProximityFile, RefusesRecordsOfTheWrongShapeNamingTheLine) {
  const Damage cases[] = {
      {"dimension record one column short", 1, "     2     3     5     1     2     2    6",
       "line 1: the dimension record"},
      {"NTM does not match MAXL", 1, "     2     3     5     1     2     2     7", "line 1: NTM"},
      {"NYA does not match IYS and IYF", 1, "     2     3     5     1     2     1     6",
       "line 1: NYA"},
      {"no year analysed", 1, "     2     3     5     2     1     0     6", "analysed no year"},
      {"letters in the option record's blanks", 2, "    xW     C          N",
       "line 2: the option record"},
      {"year record of the wrong year", 16, "     3    1996    ",
       "line 16: the year record gives year 3 where year 2 is expected"},
      {"year record without its blanks", 3, "     1xxxx1995    ",
       "line 3: expected the year record"},
      {"bad real in the chosen year", 18, "  0.40000000E+01  0.11000O00E+02",
       "line 18: bad field \"  0.11000O00E+02\" in columns 17-32 of the proximity record of "
       "location 2 in year 2"},
      {"asterisks for a sum", 17, "****************", "line 17: bad field"},
      {"bad count in the chosen year", 21, "     8     8   1 1",
       "line 21: bad field \"   1 1\" in columns 13-18 of the first count block"},
      {"negative count", 24, "     2    -2     2", "line 24: a negative count"},
      {"bad character in a year walked over", 5, "  0.24000000E+01  0.6000000xE+01",
       "line 5: a character that cannot be part of a number"},
      {"count record one field short in a year walked over", 9, "     3     0     3",
       "line 9: the first count block (NGLOC, NGPAIR) record of location 3 in year 1 should hold "
       "4"},
      {"proximity record with a field too many", 17, "  0.90000000E+01  0.90000000E+01",
       "line 17: the proximity record of location 1 in year 2 should hold 1 field"},
      {"record after the last group", 28, "     2     1     1     1\r\n     1",
       "line 29: a record after the last year group"},
  };
  for (const Damage& d : cases) {
    SCOPED_TRACE(d.what);
    std::vector<std::string> records = example_records();
    records[d.line - 1] = d.record;
    std::string message = refusal(join_records(records));
    EXPECT_NE(message.find(d.expected), std::string::npos) << message;
  }
}

TEST(ProximityFile, AsterisksMakeACountUnknownOnlyWhereTheyStand) {
  std::vector<std::string> records = example_records();
  records[20] = "     8******    11";  // NGPAIR(1,2) of year 2 too wide
  records[7] = "******     4     6";   // the location total of year 1: walked over
  ProximityFile file = read_text(join_records(records));
  EXPECT_EQ(file.unknown_counts, 1);
  EXPECT_EQ(file.group.ngpair_known, (std::vector<std::uint8_t>{1, 0, 1, 1, 1, 1}));
  EXPECT_EQ(file.group.nypair_known, (std::vector<std::uint8_t>{1, 1, 1, 1, 1, 1}));
  EXPECT_EQ(file.group.ngpair[1], 0);
  EXPECT_EQ(file.group.nypair[1], 2);
}

// The message of the InputError that reading every year of `text` raises;
// empty if none.
std::string history_refusal(const std::string& text) {
  Scratch dir;
  dir.write("JOB.PRX", text);
  try {
    read_proximity_history(dir.file("JOB.PRX"));
  } catch (const InputError& e) {
    return e.what();
  }
  return {};
}

ProximityHistory read_history_text(const std::string& text) {
  Scratch dir;
  dir.write("JOB.PRX", text);
  return read_proximity_history(dir.file("JOB.PRX"));
}

TEST(ProximityHistory, HoldsEveryYearsGroupAsTheOneYearReaderReadsIt) {
  ProximityHistory history = read_history_text(example_prx());
  ProximityFile last = read_text(example_prx());
  EXPECT_EQ(history.dims.nya, 2);
  EXPECT_EQ(history.dims.ntm, 6);
  EXPECT_EQ(history.options.WEIGHT, last.options.WEIGHT);
  EXPECT_EQ(history.options.PRXTYP, last.options.PRXTYP);
  EXPECT_EQ(history.options.CORTYP, last.options.CORTYP);
  ASSERT_EQ(history.years.size(), 2u);
  for (std::int32_t year : {1, 2}) {
    SCOPED_TRACE(year);
    const YearGroup& got = history.years[static_cast<size_t>(year - 1)];
    const YearGroup want = read_text(example_prx(), year).group;
    EXPECT_EQ(got.year, want.year);
    EXPECT_EQ(got.year_name, want.year_name);
    EXPECT_EQ(got.prox, want.prox);
    EXPECT_EQ(got.ngpair, want.ngpair);
    EXPECT_EQ(got.nypair, want.nypair);
    // All counts known: the flags are dropped and every count answers known.
    EXPECT_TRUE(got.ngpair_known.empty());
    EXPECT_TRUE(got.nypair_known.empty());
    for (size_t p = 0; p < 6; ++p) EXPECT_TRUE(got.ngpair_is_known(p) && got.nypair_is_known(p));
  }
  EXPECT_EQ(history.unknown_counts, 0);
}

TEST(ProximityHistory, KeepsTheKnownFlagsOfEveryYearThatHasAsterisks) {
  std::vector<std::string> records = example_records();
  records[20] = "     8******    11";  // NGPAIR(1,2) of year 2 too wide
  records[10] = "     1******     1";  // NYPAIR(1,2) of year 1 too wide
  ProximityHistory history = read_history_text(join_records(records));
  EXPECT_EQ(history.unknown_counts, 2);
  const YearGroup& first = history.years[0];
  const YearGroup& second = history.years[1];
  EXPECT_EQ(first.ngpair_known, (std::vector<std::uint8_t>{1, 1, 1, 1, 1, 1}));
  EXPECT_EQ(first.nypair_known, (std::vector<std::uint8_t>{1, 0, 1, 1, 1, 1}));
  EXPECT_EQ(second.ngpair_known, (std::vector<std::uint8_t>{1, 0, 1, 1, 1, 1}));
  EXPECT_FALSE(second.ngpair_is_known(1));
  EXPECT_TRUE(second.nypair_is_known(1));
}

// Every year is read in full, so damage anywhere is refused with the line it
// stands on, and a truncated or refused run keeps its message.
TEST(ProximityHistory, RefusesTruncationsDamageAndRefusedRunsLikeTheOneYearReader) {
  const std::vector<std::string> records = example_records();
  for (size_t kept = 3; kept < records.size(); ++kept) {
    SCOPED_TRACE("records kept: " + std::to_string(kept));
    std::vector<std::string> cut(records.begin(), records.begin() + static_cast<long>(kept));
    const std::string text = join_records(cut);
    // The messages agree from the file's name on (each read has its own scratch folder).
    auto from_name = [](const std::string& message) {
      return message.substr(message.find("JOB.PRX"));
    };
    EXPECT_EQ(from_name(history_refusal(text)), from_name(refusal(text)));
  }
  const struct {
    size_t line;
    std::string record;
    std::string expected;
  } damage[] = {
      {5, "  0.24000000E+01  0.6000000xE+01", "line 5: bad field \"  0.6000000xE+01\""},
      {9, "     3     0     3", "line 9: the first count block (NGLOC, NGPAIR) record"},
      {11, "     1    -1     1", "line 11: a negative count"},
      {28, "     2     1     1     1\r\n     1", "line 29: a record after the last year group"},
  };
  for (const auto& d : damage) {
    SCOPED_TRACE(d.line);
    std::vector<std::string> damaged = records;
    damaged[d.line - 1] = d.record;
    const std::string message = history_refusal(join_records(damaged));
    EXPECT_NE(message.find(d.expected), std::string::npos) << message;
  }
  for (size_t kept : {1, 2}) {
    Scratch dir;
    dir.write("JOB.PRX",
              join_records({records.begin(), records.begin() + static_cast<long>(kept)}));
    EXPECT_THROW(read_proximity_history(dir.file("JOB.PRX")), RefusedRun);
  }
}

// The summary reads the file once and takes the year it summarises out of
// the history: that must be exactly what the one-year reader gives, flags
// and the year's own count of asterisk fields included.
TEST(ProximityHistory, GivesTheYearAsTheOneYearReaderGivesIt) {
  std::vector<std::string> asterisks = example_records();
  asterisks[20] = "     8******    11";  // NGPAIR(1,2) of year 2 too wide
  asterisks[10] = "     1******     1";  // NYPAIR(1,2) of year 1 too wide
  const struct {
    const char* name;
    std::string text;
  } files[] = {{"every count known", example_prx()},
               {"an asterisk count in each year", join_records(asterisks)}};
  for (const auto& f : files) {
    for (std::optional<std::int32_t> year : {std::optional<std::int32_t>{}, {1}, {2}}) {
      SCOPED_TRACE(std::string(f.name) + ", year " + (year ? std::to_string(*year) : "last"));
      Scratch dir;
      dir.write("JOB.PRX", f.text);
      const ProximityFile got =
          proximity_file_of(read_proximity_history(dir.file("JOB.PRX"), year), year);
      const ProximityFile want = read_proximity_file(dir.file("JOB.PRX"), year);
      EXPECT_EQ(got.dims.iys, want.dims.iys);
      EXPECT_EQ(got.dims.nya, want.dims.nya);
      EXPECT_EQ(got.options.WEIGHT, want.options.WEIGHT);
      EXPECT_EQ(got.options.CORTYP, want.options.CORTYP);
      EXPECT_EQ(got.group.year, want.group.year);
      EXPECT_EQ(got.group.year_name, want.group.year_name);
      EXPECT_EQ(got.group.prox, want.group.prox);
      EXPECT_EQ(got.group.ngpair, want.group.ngpair);
      EXPECT_EQ(got.group.nypair, want.group.nypair);
      EXPECT_EQ(got.group.ngpair_known, want.group.ngpair_known);
      EXPECT_EQ(got.group.nypair_known, want.group.nypair_known);
      EXPECT_EQ(got.unknown_counts, want.unknown_counts);
    }
  }
  // A year outside the file is refused by the history as by the one-year reader.
  Scratch dir;
  dir.write("JOB.PRX", example_prx());
  for (std::int32_t year : {0, 3}) {
    std::string history_message, file_message;
    try {
      read_proximity_history(dir.file("JOB.PRX"), year);
    } catch (const InputError& e) {
      history_message = e.what();
    }
    try {
      read_proximity_file(dir.file("JOB.PRX"), year);
    } catch (const InputError& e) {
      file_message = e.what();
    }
    EXPECT_FALSE(history_message.empty());
    EXPECT_EQ(history_message, file_message);
  }
}

TEST(ProximityFile, TrailingBlanksTrimmedByAnEditorAreAccepted) {
  std::vector<std::string> records = example_records();
  records[1] = "     W     S     C";  // CORTYP (a blank here) dropped with its blanks
  records[15] = "     2    1996";
  ProximityFile file = read_text(join_records(records));
  EXPECT_EQ(file.options.CORTYP, ' ');
  EXPECT_TRUE(file.options.distance());
  EXPECT_EQ(file.group.year_name, "1996    ");
}

// Columns of more than ten sums and rows of more than thirty counts continue
// on further records: every value must land in its own place.
TEST(ProximityFile, ReadsColumnsAndRowsThatSpanRecords) {
  for (std::int32_t maxl : {11, 29, 30, 31}) {
    SCOPED_TRACE("MAXL " + std::to_string(maxl));
    testing::PrxText prx;
    prx.maxl = maxl;
    const size_t ntm = packed_size(maxl);
    testing::PrxGroup group;
    for (size_t p = 0; p < ntm; ++p) {
      group.prox.push_back(0.5 + static_cast<double>(p));
      group.ngpair.push_back(static_cast<std::int64_t>(p) + 7);
      group.nypair.push_back(static_cast<std::int64_t>(p % 3));
    }
    prx.groups = {group};
    const std::string text = prx.text();
    // Count records: location 11 needs two proximity records, location 30 two count records.
    size_t expected_records = 3;
    for (std::int32_t j = 1; j <= maxl; ++j) expected_records += (j + 9) / 10 + 3 * ((j + 30) / 30);
    EXPECT_EQ(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')), expected_records);
    ProximityFile file = read_text(text);
    for (size_t p = 0; p < ntm; ++p) {
      ASSERT_EQ(file.group.prox[p], 0.5 + static_cast<double>(p)) << p;
      ASSERT_EQ(file.group.ngpair[p], static_cast<std::int32_t>(p) + 7) << p;
      ASSERT_EQ(file.group.nypair[p], static_cast<std::int32_t>(p % 3)) << p;
    }
  }
}

TEST(ProximityFile, RefusesAColumnOfElevenSumsOnOneRecord) {
  testing::PrxText prx;
  prx.maxl = 11;
  testing::PrxGroup group;
  group.prox.assign(66, 1.0);
  group.ngpair.assign(66, 1);
  group.nypair.assign(66, 1);
  prx.groups = {group};
  std::string text = prx.text("\n");
  // Join the two records of location 11's column into one.
  size_t first = 3;  // after the dimension, option and year records
  for (int j = 1; j <= 10; ++j) first += 1;
  size_t at = 0;
  for (size_t line = 0; line < first + 1; ++line) at = text.find('\n', at) + 1;
  text.erase(at - 1, 1);
  std::string message = refusal(text);
  EXPECT_NE(message.find("line 14: the proximity record of location 11 in year 1 should hold 10"),
            std::string::npos)
      << message;
}

// A file that is not a proximity file at all may be one endless line: the
// record layer refuses a record longer than 64 MiB instead of buffering it.
TEST(ProximityFile, RefusesARecordLongerThan64MiB) {
  std::string text = example_prx();
  text.insert(0, std::string((std::size_t{64} << 20) + 1, ' '));
  const std::string message = refusal(text);
  EXPECT_NE(message.find("JOB.PRX"), std::string::npos) << message;
  EXPECT_NE(message.find("record longer than 64 MiB"), std::string::npos) << message;
}

// `text` with one to three random edits, each a byte replaced by one of
// `replacements`, a run of up to 20 bytes erased, or one of `replacements`
// inserted; `next(bound)` draws a number below bound.
template <typename Next>
std::string damaged(std::string text, Next& next, std::string_view replacements) {
  const auto replacement = [&] {
    return replacements[next(static_cast<std::uint32_t>(replacements.size()))];
  };
  for (std::uint32_t e = 0, edits = 1 + next(3); e < edits; ++e) {
    const size_t at = next(static_cast<std::uint32_t>(text.size()));
    switch (next(3)) {
      case 0:
        text[at] = replacement();
        break;
      case 1:
        text.erase(at, 1 + next(20));
        break;
      default:
        text.insert(at, 1, replacement());
    }
  }
  return text;
}

// Whatever a damaged file holds, the reader either reads it or refuses it
// with a message; it never crashes, reads out of bounds or hangs (run under
// the sanitizers to see the difference).
TEST(ProximityFile, DamagedFilesAreReadOrRefusedNeverMisread) {
  const std::string original = example_prx();
  std::uint32_t seed = 2024;
  auto next = [&seed](std::uint32_t bound) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % bound;
  };
  const std::string_view replacements("* \n\r09-E+.x\0", 12);
  for (int trial = 0; trial < 400; ++trial) {
    const std::string text = damaged(original, next, replacements);
    Scratch dir;
    dir.write("JOB.PRX", text);
    try {
      ProximityFile file = read_proximity_file(dir.file("JOB.PRX"), std::nullopt);
      EXPECT_EQ(file.group.prox.size(), static_cast<size_t>(file.dims.ntm));
    } catch (const InputError& e) {
      EXPECT_NE(std::string(e.what()).find("JOB.PRX"), std::string::npos);
    }
  }
}

// A file of many years and locations: about 3 MB, so that the reader cuts
// it into many chunks when it looks for the groups, with counts written as
// asterisks in some years.
testing::PrxText many_years(std::int32_t maxl, std::int32_t years) {
  testing::PrxText prx;
  prx.maxy = years;
  prx.maxl = maxl;
  prx.iyf = years;
  prx.weight = 'W';
  prx.prxtyp = 'S';
  prx.sedtyp = 'C';
  prx.cortyp = '\0';
  const size_t ntm = static_cast<size_t>(maxl) * static_cast<size_t>(maxl + 1) / 2;
  std::mt19937_64 random(11);
  std::normal_distribution<double> normal(0.0, 3.0);
  std::vector<double> prox(ntm, 0.0);
  std::vector<std::int64_t> ngpair(ntm, 0), nypair(ntm, 0);
  for (std::int32_t y = 1; y <= years; ++y) {
    for (size_t p = 0; p < ntm; ++p) {
      if (random() % 3 == 0) continue;
      prox[p] += normal(random) * normal(random);
      ngpair[p] += static_cast<std::int64_t>(1 + random() % 40);
      nypair[p] += 1;
    }
    testing::PrxGroup group;
    group.year = y;
    char name[16];
    std::snprintf(name, sizeof name, "Y%d", 1990 + y);
    group.name = name;
    group.prox = prox;
    group.ngpair = ngpair;
    group.nypair = nypair;
    // Too wide for six columns: written as asterisks.
    if (y % 4 == 3) group.ngpair[static_cast<size_t>(y) * 7] = 12345678;
    prx.groups.push_back(group);
  }
  return prx;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

std::string joined(const std::vector<std::string>& lines, bool last_line_feed = true) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  if (!last_line_feed && !text.empty()) text.pop_back();
  return text;
}

// The message reading every year of `text` on `threads` threads raises, from
// the file's name on; empty if none.
std::string refusal_on(const std::string& text, unsigned threads) {
  Scratch dir;
  dir.write("JOB.PRX", text);
  try {
    read_proximity_history(dir.file("JOB.PRX"), std::nullopt, threads);
  } catch (const InputError& e) {
    const std::string message = e.what();
    return message.substr(message.find("JOB.PRX"));
  }
  return {};
}

void expect_same_groups(const YearGroup& got, const YearGroup& want) {
  EXPECT_EQ(got.year, want.year);
  EXPECT_EQ(got.year_name, want.year_name);
  ASSERT_EQ(got.prox.size(), want.prox.size());
  for (size_t p = 0; p < got.prox.size(); ++p) {
    ASSERT_EQ(std::bit_cast<std::uint64_t>(got.prox[p]), std::bit_cast<std::uint64_t>(want.prox[p]))
        << "pair " << p;
  }
  EXPECT_EQ(got.ngpair, want.ngpair);
  EXPECT_EQ(got.nypair, want.nypair);
  EXPECT_EQ(got.ngpair_known, want.ngpair_known);
  EXPECT_EQ(got.nypair_known, want.nypair_known);
}

// The groups are found and parsed on several threads: every value as
// written, the same on any number of threads, and the one-year reader's
// group the history's.
TEST(ProximityHistory, ReadsEveryGroupAsWrittenOnAnyNumberOfThreads) {
  const testing::PrxText prx = many_years(120, 12);
  Scratch dir;
  dir.write("JOB.PRX", prx.text("\n"));
  const ProximityHistory one = read_proximity_history(dir.file("JOB.PRX"), std::nullopt, 1);
  ASSERT_EQ(one.years.size(), 12u);
  EXPECT_EQ(one.unknown_counts, 3);  // years 3, 7 and 11
  for (size_t k = 0; k < one.years.size(); ++k) {
    SCOPED_TRACE("year " + std::to_string(k + 1));
    const YearGroup& got = one.years[k];
    const testing::PrxGroup& written = prx.groups[k];
    std::string name(8 - written.name.size(), ' ');  // right-aligned in 8 columns
    name += written.name;
    EXPECT_EQ(got.year_name, name);
    for (size_t p = 0; p < got.prox.size(); ++p) {
      ASSERT_EQ(got.prox[p], *parse_real_field(testing::real_field(written.prox[p])));
      const bool wide = written.ngpair[p] > 999999;
      ASSERT_EQ(got.ngpair[p], wide ? 0 : written.ngpair[p]);
      ASSERT_EQ(got.ngpair_is_known(p), !wide);
      ASSERT_EQ(got.nypair[p], written.nypair[p]);
    }
  }
  for (unsigned threads : {2u, 7u, 0u}) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    const ProximityHistory many =
        read_proximity_history(dir.file("JOB.PRX"), std::nullopt, threads);
    EXPECT_EQ(many.unknown_counts, one.unknown_counts);
    ASSERT_EQ(many.years.size(), one.years.size());
    for (size_t k = 0; k < one.years.size(); ++k) expect_same_groups(many.years[k], one.years[k]);
    const ProximityFile year7 = read_proximity_file(dir.file("JOB.PRX"), 7, threads);
    expect_same_groups(year7.group, proximity_file_of(one, 7).group);
    EXPECT_EQ(year7.unknown_counts, 1);
  }
}

// Faults in several groups: the first in the file is reported, with its
// line, whatever the number of threads; a file cut anywhere says where it
// ends, the same on any number of threads.
TEST(ProximityHistory, ReportsTheFirstFaultOfTheFileOnAnyNumberOfThreads) {
  const std::vector<std::string> lines = lines_of(many_years(120, 12).text("\n"));
  const size_t per_group = (lines.size() - 2) / 12;
  auto first_line_of = [&](size_t year) { return 2 + (year - 1) * per_group + 1; };  // 1-based
  // Line numbers in the groups of years 4 and 9: the fourth proximity
  // record (location 4) and the first count record of location 1 (after the 780
  // proximity records of 120 locations).
  const size_t in_year4 = first_line_of(4) + 4;
  const size_t in_year9 = first_line_of(9) + 781;
  std::vector<std::string> damaged = lines;
  damaged[in_year9 - 1] = "     1    -1";
  damaged[in_year4 - 1].replace(16, 16, "  0.1234567xE+02");
  damaged.push_back("  stray record");
  const struct {
    const char* name;
    std::string text;
    std::string expected;
  } cases[] = {
      {"faults in years 4 and 9 and after the last group", joined(damaged),
       "JOB.PRX, line " + std::to_string(in_year4) +
           ": bad field \"  0.1234567xE+02\" in columns 17-32 of the proximity record of "
           "location 4 in year 4"},
      {"faults in year 9 and after the last group",
       joined([&] {
         std::vector<std::string> v = damaged;
         v[in_year4 - 1] = lines[in_year4 - 1];
         return v;
       }()),
       "JOB.PRX, line " + std::to_string(in_year9) +
           ": a negative count in the first count block (NGLOC, NGPAIR) record of location 1 "
           "in year 9"},
      {"cut before the year record of year 8",
       joined({lines.begin(), lines.begin() + static_cast<long>(first_line_of(8) - 1)}),
       "JOB.PRX, line " + std::to_string(first_line_of(8) - 1) +
           ": the file ends here, before the year record of year 8; it is truncated"},
      {"cut before year 8, no last line feed",
       joined({lines.begin(), lines.begin() + static_cast<long>(first_line_of(8) - 1)}, false),
       "JOB.PRX, line " + std::to_string(first_line_of(8) - 1) +
           ": the file ends here, before the year record of year 8; it is truncated"},
      {"cut in the middle of year 5",
       joined({lines.begin(), lines.begin() + static_cast<long>(first_line_of(5) + 1)}),
       "JOB.PRX, line " + std::to_string(first_line_of(5) + 1) +
           ": the file ends here, before the proximity record of location 2 in year 5; it is "
           "truncated"},
      {"a line feed inside a record of year 6",
       joined([&] {
         std::vector<std::string> v = lines;
         v[first_line_of(6) + 30 - 1].insert(20, "\n");
         return v;
       }()),
       "JOB.PRX, line " + std::to_string(first_line_of(6) + 30) +
           ": the proximity record of location 20 in year 6 should hold 10 field(s) of 16 "
           "columns"},
      {"one record short", joined({lines.begin(), lines.end() - 1}),
       "JOB.PRX, line " + std::to_string(lines.size() - 1) +
           ": the file ends here, before the third count block (KI, KII) record of location "
           "120 in year 12; it is truncated"},
  };
  for (const auto& c : cases) {
    for (unsigned threads : {1u, 2u, 7u}) {
      SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(threads) + " threads");
      EXPECT_EQ(refusal_on(c.text, threads), c.expected);
    }
  }
}

// The reader takes a file as the writer lays it out without searching for
// each line end, and any other layout record by record: both ways must give
// the same groups. Line ends of either kind, blanks after the fields (lines
// of other lengths, so the groups are not all as long as the first) and a
// last record without a line end change nothing.
TEST(ProximityHistory, ReadsTheSameGroupsWhateverTheLineEndsAndLengths) {
  const testing::PrxText prx = many_years(45, 6);
  const std::vector<std::string> lines = lines_of(prx.text("\n"));
  const size_t per_group = (lines.size() - 2) / 6;
  std::vector<std::string> padded = lines;
  padded[2 + 3 * per_group + 10] += "   ";  // a record of year 4
  std::vector<std::string> padded_first = lines;
  padded_first[2 + 5] += " ";  // a record of year 1: every group is shorter than the first
  std::vector<std::string> mixed = lines;
  for (size_t k = 0; k < mixed.size(); k += 3) mixed[k] += "\r";
  const struct {
    const char* name;
    std::string text;
  } layouts[] = {
      {"CR LF", prx.text("\r\n")},
      {"no line end after the last record", joined(lines, false)},
      {"blanks after a record of year 4", joined(padded)},
      {"blanks after a record of year 1", joined(padded_first)},
      {"CR LF and LF mixed", joined(mixed)},
  };
  Scratch dir;
  dir.write("JOB.PRX", joined(lines));
  const ProximityHistory want = read_proximity_history(dir.file("JOB.PRX"), std::nullopt, 1);
  for (const auto& layout : layouts) {
    for (unsigned threads : {1u, 7u}) {
      SCOPED_TRACE(std::string(layout.name) + ", " + std::to_string(threads) + " threads");
      Scratch other;
      other.write("JOB.PRX", layout.text);
      const ProximityHistory got =
          read_proximity_history(other.file("JOB.PRX"), std::nullopt, threads);
      EXPECT_EQ(got.unknown_counts, want.unknown_counts);
      ASSERT_EQ(got.years.size(), want.years.size());
      for (size_t k = 0; k < want.years.size(); ++k) expect_same_groups(got.years[k], want.years[k]);
    }
  }
}

// Damage anywhere in a file of many groups: one thread and seven read the
// same groups or give the same message.
TEST(ProximityHistory, DamagedFilesReadTheSameOnOneThreadAndOnSeven) {
  const std::string original = many_years(40, 8).text("\n");
  std::uint32_t seed = 77;
  auto next = [&seed](std::uint32_t bound) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % bound;
  };
  const std::string_view replacements("* \n\r09-E+.x");
  for (int trial = 0; trial < 60; ++trial) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    const std::string text = damaged(original, next, replacements);
    Scratch dir;
    dir.write("JOB.PRX", text);
    auto read = [&](unsigned threads) -> std::variant<ProximityHistory, std::string> {
      try {
        return read_proximity_history(dir.file("JOB.PRX"), std::nullopt, threads);
      } catch (const InputError& e) {
        return std::string(e.what());
      }
    };
    const auto one = read(1);
    const auto seven = read(7);
    ASSERT_EQ(one.index(), seven.index());
    if (one.index() == 1) {
      EXPECT_EQ(std::get<1>(one), std::get<1>(seven));
      continue;
    }
    const ProximityHistory& a = std::get<0>(one);
    const ProximityHistory& b = std::get<0>(seven);
    EXPECT_EQ(a.unknown_counts, b.unknown_counts);
    ASSERT_EQ(a.years.size(), b.years.size());
    for (size_t k = 0; k < a.years.size(); ++k) expect_same_groups(b.years[k], a.years[k]);
  }
}

}  // namespace
}  // namespace locprox::summary
