// The observations reader on its own: what next() returns for each year, in
// file order, what it stores, and the records it counts as skipped.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "format/input_unit.h"
#include "format/run_error.h"
#include "input/year_reader.h"
#include "support/run_program.h"

namespace locprox {
namespace {

using locprox::testing::ScratchDirectory;

// One year's reading, as text: the notes, then the skipped records.
struct YearText {
  std::string notes;  // "dup L G value", "range L G value", "next year", "end of data"
  std::int64_t skipped;
  long first_skipped_line;
};

std::string describe(const YearNote& note) {
  const auto fields = [&note] {
    return std::to_string(note.location) + " " + std::to_string(note.entry) + " " +
           std::to_string(note.value).substr(0, 4);
  };
  switch (note.kind) {
    case YearNote::Kind::kDuplicate:
      return "dup " + fields();
    case YearNote::Kind::kOutOfRange:
      return "range " + fields();
    case YearNote::Kind::kYearEnd:
      return "next year";
    case YearNote::Kind::kEndOfData:
      return "end of data";
  }
  return "?";
}

struct Reading {
  std::vector<YearText> years;
  std::vector<float> YDATA;  // as the last year left them
  std::vector<std::int32_t> INCID;
};

// Reads the years IYS to IYF of `seq` as the year loop does.
Reading read_years(const std::string& seq, std::int32_t MAXL, std::int32_t MAXG, std::int32_t IYS,
                   std::int32_t IYF) {
  ScratchDirectory dir;
  dir.write("T.SEQ", seq);
  InputUnit file(20, (dir.path() / "T.SEQ").string());
  file.open();
  ObservationFields fields;
  Reading r;
  r.YDATA.assign(static_cast<std::size_t>(MAXL * MAXG), -1.0f);
  r.INCID.assign(static_cast<std::size_t>(MAXL * MAXG), -1);
  for (std::int32_t IY = IYS; IY <= IYF; ++IY) {
    YearReader reader(file, fields, r.YDATA, r.INCID, IY, MAXL, MAXG, IYS);
    YearText year;
    YearNote note;
    do {
      note = reader.next();
      year.notes += (year.notes.empty() ? "" : "; ") + describe(note);
    } while (note.kind != YearNote::Kind::kYearEnd && note.kind != YearNote::Kind::kEndOfData);
    // The last note stays.
    EXPECT_EQ(describe(reader.next()), describe(note));
    year.skipped = reader.skipped_records();
    year.first_skipped_line = reader.first_skipped_line();
    r.years.push_back(year);
  }
  return r;
}

TEST(YearReader, NotesOfEachYearInFileOrder) {
  // Seventeen different cells fill and pass the reader's batch of cells
  // waiting to be stored; the notes after them keep the records' order.
  std::string seventeen;
  for (int g = 1; g <= 17; ++g) seventeen += "1 1 " + std::to_string(g) + " 1.0\n";
  struct Case {
    const char* name;
    std::string seq;
    std::int32_t IYS, IYF;
    std::vector<std::string> notes;  // per year
  } cases[] = {
      {"an empty file", "", 1, 2, {"end of data", "end of data"}},
      {"each year ends at the next one's first record",
       "1 1 1 1.0\n2 1 1 2.0\n",
       1,
       3,
       {"next year", "end of data", "end of data"}},
      {"a duplicate and a record out of range, in order",
       "1 1 1 1.0\n1 1 1 2.0\n1 9 1 3.0\n1 1 1 4.0\n",
       1,
       1,
       {"dup 1 1 2.00; range 9 1 3.00; dup 1 1 4.00; end of data"}},
      {"notes behind a full batch keep their order",
       seventeen + "1 1 1 2.5\n1 0 1 3.5\n1 1 2 4.5\n2 1 1 1.0\n",
       1,
       2,
       {"dup 1 1 2.50; range 0 1 3.50; dup 1 2 4.50; next year", "end of data"}},
      {"a year without records",
       "1 1 1 1.0\n3 1 1 1.0\n",
       1,
       3,
       {"next year", "next year", "end of data"}},
  };
  for (const Case& c : cases) {
    const Reading r = read_years(c.seq, 2, 20, c.IYS, c.IYF);
    ASSERT_EQ(r.years.size(), c.notes.size()) << c.name;
    for (std::size_t k = 0; k < c.notes.size(); ++k) {
      EXPECT_EQ(r.years[k].notes, c.notes[k]) << c.name << ", year " << c.IYS + k;
    }
  }
}

TEST(YearReader, StoresTheLastValueOfEachCell) {
  const Reading r = read_years("1 2 1 1.5\n1 1 2 2.5\n1 2 1 3.5\n1 3 3 9.0\n", 2, 2, 1, 1);
  EXPECT_EQ(r.YDATA, (std::vector<float>{0.0f, 3.5f, 2.5f, 0.0f}));
  EXPECT_EQ(r.INCID, (std::vector<std::int32_t>{0, 1, 1, 0}));
}

TEST(YearReader, CountsRecordsBelowTheYearOnceTheSequenceHasStarted) {
  struct Case {
    const char* name;
    std::string seq;
    std::int32_t IYS, IYF;
    std::vector<std::int64_t> skipped;  // per year
    std::vector<long> first_line;
  } cases[] = {
      {"years before the sequence, at the start: not counted",
       "1 1 1 1.0\n2 1 1 1.0\n3 1 1 1.0\n",
       3,
       3,
       {0},
       {0}},
      {"a record of an earlier year inside the first year",
       "1 1 1 1.0\n3 1 1 1.0\n2 1 1 1.0\n1 2 1 1.0\n3 2 1 1.0\n",
       3,
       3,
       {2},
       {3}},
      {"an earlier year's record in a later year, each year counted apart",
       "1 1 1 1.0\n2 1 1 1.0\n1 2 1 1.0\n3 1 1 1.0\n2 2 1 1.0\n1 2 2 1.0\n",
       1,
       3,
       {0, 1, 2},
       {0, 3, 5}},
      {"the first year without records: the sequence starts with a later year",
       "1 1 1 1.0\n3 1 1 1.0\n1 2 1 1.0\n",
       2,
       3,
       {0, 1},
       {0, 3}},
  };
  for (const Case& c : cases) {
    const Reading r = read_years(c.seq, 2, 2, c.IYS, c.IYF);
    ASSERT_EQ(r.years.size(), c.skipped.size()) << c.name;
    for (std::size_t k = 0; k < c.skipped.size(); ++k) {
      EXPECT_EQ(r.years[k].skipped, c.skipped[k]) << c.name << ", year " << c.IYS + k;
      EXPECT_EQ(r.years[k].first_skipped_line, c.first_line[k]) << c.name << ", year " << c.IYS + k;
    }
  }
}

TEST(YearReader, NotesBeforeAMalformedRecordComeFirst) {
  ScratchDirectory dir;
  dir.write("T.SEQ", "1 1 1 1.0\n1 1 1 2.0\n1 1 1 x\n");
  InputUnit file(20, (dir.path() / "T.SEQ").string());
  file.open();
  ObservationFields fields;
  std::vector<float> YDATA(1);
  std::vector<std::int32_t> INCID(1);
  YearReader reader(file, fields, YDATA, INCID, 1, 1, 1, 1);
  EXPECT_EQ(describe(reader.next()), "dup 1 1 2.00");
  try {
    reader.next();
    FAIL() << "the malformed record did not stop the run";
  } catch (const RunError& error) {
    EXPECT_NE(std::string(error.what()).find("line 3"), std::string::npos) << error.what();
  }
}

// The year's notes and arrays as a record-at-a-time reading gives them: each
// record through the unit's next_record and parse_observation, each cell
// stored at once.
Reading read_record_by_record(const std::filesystem::path& seq, std::int32_t MAXL,
                              std::int32_t MAXG, long& lines) {
  InputUnit file(20, seq.string());
  file.open();
  Reading r;
  r.YDATA.assign(static_cast<std::size_t>(MAXL * MAXG), 0.0f);
  r.INCID.assign(static_cast<std::size_t>(MAXL * MAXG), 0);
  YearText year{"", 0, 0};
  ObservationFields fields;
  std::string_view record;
  while (file.next_record(record)) {
    if (parse_observation(file, record, fields) == ObservationLine::kBlank) continue;
    const std::int32_t L = fields.location, G = fields.entry;
    YearNote note;
    if (L < 1 || L > MAXL || G < 1 || G > MAXG) {
      note = {YearNote::Kind::kOutOfRange, L, G, fields.value};
    } else {
      const std::size_t cell = static_cast<std::size_t>((L - 1) + (G - 1) * MAXL);
      r.YDATA[cell] = fields.value;
      if (r.INCID[cell] == 0) {
        r.INCID[cell] = 1;
        continue;
      }
      note = {YearNote::Kind::kDuplicate, L, G, fields.value};
    }
    year.notes += (year.notes.empty() ? "" : "; ") + describe(note);
  }
  year.notes += (year.notes.empty() ? "" : "; ") + std::string("end of data");
  r.years.push_back(year);
  lines = file.line_number();
  return r;
}

// Lines of every shape in one year, read from blocks of several sizes (so
// that lines and line ends fall across the edge of what was read), give the
// same notes, cells and line count as reading record by record.
TEST(YearReader, LinesOfEveryShapeAcrossBlockEdgesAsRecordByRecord) {
  std::mt19937_64 random(7);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const std::int32_t MAXL = 5, MAXG = 7;
  for (const char* last_line : {"", "1 2 3 7.25", "1 2 3 7.25\r", "1 2 3 7.25\r\n"}) {
    std::string seq;
    for (int n = 0; n < 3000; ++n) {
      const std::string L = std::to_string(pick(MAXL + 1) + (pick(50) == 0 ? 10 : 0));
      const std::string G = std::to_string(1 + pick(MAXG));
      const std::string value = std::to_string(pick(100000)) + "." + std::to_string(pick(1000));
      switch (pick(14)) {
        case 0:
          seq += "  1   " + L + " " + G + "  " + value + "  \n";
          break;
        case 1:
          seq += "1\t" + L + "\t" + G + "\t" + value + "\r\n";
          break;
        case 2:
          seq += "1," + L + "," + G + ",-" + value + "\n";
          break;
        case 3:
          seq += "\n";
          break;
        case 4:
          seq += "1 " + L + " " + G + " 1*" + value + "E-2\n";
          break;
        case 5:
          seq += "1 " + L + " " + G + " /\n";
          break;
        case 6:
          seq += "001 " + L + " 0" + G + " " + value + " 9 9\r\n";
          break;
        case 7:
          // Text after the value that takes the line feed past 32 bytes.
          seq += "1 " + L + " " + G + " " + value + " " + std::string(40, 'x') + "\n";
          break;
        case 8:
          // A carriage return as the 32nd byte, its line feed the 33rd.
          seq += "00000001 " + L + " 000" + G + " 1234567.123456" + std::to_string(pick(10)) +
                 "\r\n";
          break;
        default:
          seq += "1 " + L + " " + G + " " + value + (pick(3) == 0 ? "\r\n" : "\n");
          break;
      }
    }
    seq += last_line;
    ScratchDirectory dir;
    dir.write("T.SEQ", seq);
    long expected_lines = 0;
    const Reading expected =
        read_record_by_record(dir.path() / "T.SEQ", MAXL, MAXG, expected_lines);
    for (std::size_t block : {std::size_t{16}, std::size_t{64}, std::size_t{1000},
                              InputUnit::kLargeBlock}) {
      InputUnit file(20, (dir.path() / "T.SEQ").string(), nullptr, block);
      file.open();
      ObservationFields fields;
      Reading r;
      r.YDATA.assign(static_cast<std::size_t>(MAXL * MAXG), -1.0f);
      r.INCID.assign(static_cast<std::size_t>(MAXL * MAXG), -1);
      YearReader reader(file, fields, r.YDATA, r.INCID, 1, MAXL, MAXG, 1);
      std::string notes;
      YearNote note;
      do {
        note = reader.next();
        notes += (notes.empty() ? "" : "; ") + describe(note);
      } while (note.kind != YearNote::Kind::kEndOfData);
      EXPECT_EQ(notes, expected.years[0].notes) << "block " << block;
      EXPECT_EQ(r.YDATA, expected.YDATA) << "block " << block;
      EXPECT_EQ(r.INCID, expected.INCID) << "block " << block;
      EXPECT_EQ(file.line_number(), expected_lines) << "block " << block;
    }
  }
}

// The reader for the observed part of a year: LOCSEEN ends as the number of
// cells each location holds in INCID (a repeated cell counted once), ENTSEEN
// marks the entries, and records out of range leave both alone.
TEST(YearReader, CountsEachLocationsCellsOnceAndMarksTheEntries) {
  const std::int32_t MAXL = 4, MAXG = 5;
  ScratchDirectory dir;
  dir.write("T.SEQ",
            "1 2 3 1.0\n1 2 3 2.0\n1 2 5 1.0\n1 4 1 1.0\n1 9 2 1.0\n1 4 1 3.0\n1 2 1 1.0\n"
            "2 1 1 1.0\n");
  InputUnit file(20, (dir.path() / "T.SEQ").string());
  file.open();
  ObservationFields fields;
  std::vector<float> YDATA(MAXL * MAXG, 0.0f);
  std::vector<std::int32_t> INCID(MAXL * MAXG, 0), LOCSEEN(MAXL, 0), ENTSEEN(MAXG, 0);
  YearReader reader(file, fields, YDATA, INCID, LOCSEEN, ENTSEEN, 1, MAXL, MAXG, 1);
  while (reader.next().kind != YearNote::Kind::kYearEnd) {
  }
  EXPECT_EQ(LOCSEEN, (std::vector<std::int32_t>{0, 3, 0, 1}));
  EXPECT_EQ(ENTSEEN, (std::vector<std::int32_t>{1, 0, 1, 0, 1}));
  for (std::int32_t L = 1; L <= MAXL; ++L) {
    std::int32_t row = 0;
    for (std::int32_t G = 1; G <= MAXG; ++G) row += INCID[(L - 1) + (G - 1) * MAXL];
    EXPECT_EQ(LOCSEEN[L - 1], row) << "location " << L;
  }
}

}  // namespace
}  // namespace locprox
