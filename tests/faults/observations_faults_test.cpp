// The observations file: malformed numbers at every field, locations and
// entries outside the arrays, year numbers far outside the sequence, long
// lines, NUL bytes and line ends. Records that the run must skip leave the
// proximity file exactly as the run without them wrote it.
#include "faults/fault_job.h"

namespace locprox::testing {
namespace {

// The observations with `line` (1-based) replaced by `text`.
std::string with_line(std::size_t line, const std::string& text) {
  std::string observations = kObservations;
  std::size_t start = 0;
  for (std::size_t n = 1; n < line; ++n) start = observations.find('\n', start) + 1;
  const std::size_t end = observations.find('\n', start);
  return observations.replace(start, end - start, text);
}

// The observations with `text` inserted as a whole line before `line`.
std::string with_line_before(std::size_t line, const std::string& text) {
  std::string observations = kObservations;
  std::size_t start = 0;
  for (std::size_t n = 1; n < line; ++n) start = observations.find('\n', start) + 1;
  return observations.insert(start, text + "\n");
}

const FaultRun& plain_run() {
  static const FaultRun run(job_files(), joined(kAnswers));
  return run;
}

TEST(ObservationFaults, MalformedNumberAtEveryFieldStopsTheRunAtItsLine) {
  // Line 7 is "2 1 1 2.0", the first record of year 2.
  const std::vector<std::string> not_integers = {"abc", "3.5",         "1e40", "1e-50", "NaN",
                                                 "Inf", "99999999999", "-",    "."};
  const std::vector<std::string> not_reals = {"abc", "1e40", "NaN", "Inf", "-", ".", "+", "1.5.2"};
  for (int field = 0; field < 4; ++field) {
    for (const std::string& bad : field < 3 ? not_integers : not_reals) {
      SCOPED_TRACE("field " + std::to_string(field + 1) + " = " + bad);
      std::vector<std::string> values = {"2", "1", "1", "2.0"};
      values[static_cast<std::size_t>(field)] = bad;
      FaultRun run(job_files(kNames, with_line(7, values[0] + " " + values[1] + " " + values[2] +
                                                      " " + values[3])),
                   joined(kAnswers));
      run.expect_error_stop("unit 20 (T.SEQ), line 7",
                            "malformed number \"" + bad + "\" where " +
                                (field < 3 ? "an integer" : "a real number") + " is expected");
      run.expect_only_changed({"T.OCC", "T.PRX"});
    }
  }
}

TEST(ObservationFaults, ValuesAtTheEdgesOfSinglePrecision) {
  struct Row {
    std::string value;
    bool accepted;
  };
  const std::vector<Row> rows = {{"3.5", true},     {"1e-50", true}, {"99999999999", true},
                                 {"1.0E+30", true}, {"-1e30", true}, {"1.0000001e30", false},
                                 {"2e30", false},   {"-3D37", false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.value);
    FaultRun run(job_files(kNames, with_line(7, "2 1 1 " + row.value)), joined(kAnswers));
    if (row.accepted) {
      run.expect_normal_end();
    } else {
      run.expect_error_stop("unit 20 (T.SEQ), line 7", "exceeds 1.0E+30 in magnitude");
    }
  }
}

TEST(ObservationFaults, LocationOrEntryOutsideTheArraysIsSkippedWithAMessage) {
  // 2 locations, 4 entries.
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"0 1", "    2    0    1     5.000"},
      {"-1 1", "    2   -1    1     5.000"},
      {"3 1", "    2    3    1     5.000"},
      {"1 0", "    2    1    0     5.000"},
      {"1 -1", "    2    1   -1     5.000"},
      {"1 5", "    2    1    5     5.000"},
      {"2147483647 -2147483648", "    2**********     5.000"},
  };
  for (const auto& [location_entry, shown] : rows) {
    SCOPED_TRACE(location_entry);
    FaultRun run(job_files(kNames, with_line_before(8, "2 " + location_entry + " 5.0")),
                 joined(kAnswers));
    run.expect_normal_end();
    const std::string message = " Observation out of range in YR/Loc/En " + shown;
    EXPECT_NE(run.console().find(message + "\r\n"), std::string::npos) << run.console();
    EXPECT_NE(run.file("T.OCC").find(message + "\r\n"), std::string::npos);
    EXPECT_EQ(run.file("T.PRX"), plain_run().file("T.PRX"));
  }
}

TEST(ObservationFaults, YearNumbersFarOutsideTheSequenceAreNeverUsed) {
  // Before the first record every such year is below year 1 and skipped;
  // after the last it is never reached.
  const std::vector<std::pair<std::size_t, std::string>> rows = {
      {1, "-2147483648 1 1 9.0"}, {1, "0 1 1 9.0"},  {1, "-5 2 4 9.0"},
      {7, "-99999 1 1 9.0"},      {19, "4 1 1 9.0"}, {19, "2147483647 2 4 9.0"},
      {19, "99999 1 1 9.0"}};
  for (const auto& [line, record] : rows) {
    SCOPED_TRACE(record + " before line " + std::to_string(line));
    FaultRun run(job_files(kNames, with_line_before(line, record)), joined(kAnswers));
    if (line == 7) {
      // Inside the sequence, a record of an earlier year is out of year
      // order: skipped, and said so on standard error.
      run.expect_normal_end_with_warning(
          "T.SEQ: 1 record was skipped because its year is below the year being read (the file "
          "is not sorted by year); the first is line 7");
    } else {
      run.expect_normal_end();
    }
    EXPECT_EQ(run.file("T.PRX"), plain_run().file("T.PRX"));
  }
  // A far later year inside year 1 ends the data of every year early.
  FaultRun early(job_files(kNames, with_line_before(3, "2147483647 1 1 9.0")), joined(kAnswers));
  early.expect_normal_end();
}

TEST(ObservationFaults, LongLinesLineEndsAndNoFinalLineEndKeepTheResult) {
  std::string mixed;
  bool crlf = false;
  for (char c : kObservations) {
    if (c == '\n' && (crlf = !crlf)) mixed += '\r';
    mixed += c;
  }
  const std::vector<std::pair<const char*, std::string>> rows = {
      {"1 MB blank line", with_line_before(5, std::string(1 << 20, ' '))},
      {"1 MB of blanks before a record", with_line(5, std::string(1 << 20, ' ') + "1 1 3 4.0")},
      {"1 MB of trailing values", with_line(5, "1 1 3 4.0 " + std::string(1 << 20, '7'))},
      {"CR LF and LF mixed", mixed},
      {"no final line end", kObservations.substr(0, kObservations.size() - 1)},
      {"CR LF before a final line without line end", mixed.substr(0, mixed.size() - 1)},
  };
  for (const auto& [name, observations] : rows) {
    SCOPED_TRACE(name);
    FaultRun run(job_files(kNames, observations), joined(kAnswers));
    run.expect_normal_end();
    EXPECT_EQ(run.file("T.PRX"), plain_run().file("T.PRX"));
  }
}

TEST(ObservationFaults, UnreadableBytesStopTheRunWithAReadableMessage) {
  const std::vector<std::tuple<const char*, std::string, std::string>> rows = {
      {"NUL after the value", with_line(7, std::string("2 1 1 2.0\0", 10)), "\"2.0\\x00\""},
      {"a line of NUL bytes", with_line(7, std::string(64, '\0')), "\\x00\\x00"},
      {"a carriage return inside a number", with_line(7, "2 1 1 2\r0"), "\"2\\x0D0\""},
      {"two carriage returns before the line feed", with_line(7, "2 1 1 2.0\r\r"), "\"2.0\\x0D\""},
      {"1 MB number", with_line(7, std::string(1 << 20, '1') + " 1 1 2.0"), "1111..."},
  };
  for (const auto& [name, observations, shown] : rows) {
    SCOPED_TRACE(name);
    FaultRun run(job_files(kNames, observations), joined(kAnswers));
    run.expect_error_stop("unit 20 (T.SEQ), line 7", "malformed number ");
    EXPECT_NE(run.errors().find(shown), std::string::npos) << run.errors();
    EXPECT_LT(run.errors().size(), 300u);
  }
}

}  // namespace
}  // namespace locprox::testing
