// The observations file, by running the program over a job of three years,
// two locations and two entries: what each year's reading writes between
// "   Read data" and the counts, and the error stops.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/job_run.h"

namespace locprox {
namespace {

using namespace locprox::testing;

const std::string kSizes = "3\n2\n2\n1\n3\n";
const std::string kRequired = "DZ=     4 Z=     5 MZ=    39 AZ=     8";
const std::string kOptions = "w\ns\nc\n";
const std::string kNames = "Obs\n3 2 2\nY1\nY2\nY3\nL1\nL2\nE1\nE2\n";

std::string dup(const std::string& fields) {
  return rec(" Duplicate observation in YR/Loc/En " + fields);
}
std::string out_of_range(const std::string& fields) {
  return rec(" Observation out of range in YR/Loc/En " + fields);
}

// The console from the title on, for the messages of years 1, 2 and 3.
std::string expected_console(const std::vector<std::string>& years) {
  return job_is("Obs") + options_echo('W', 'S', 'C', '\0') + opening(1, 3) +
         year_block("Y1      ", years[0]) + year_block("Y2      ", years[1]) +
         year_block("Y3      ", years[2]);
}

TEST(ObservationsFile, MessagesOfEachYear) {
  const std::string end = kEndOfData;
  struct Case {
    const char* name;
    std::string seq;
    std::vector<std::string> years;  // what each year writes after "   Read data"
  } cases[] = {
      {"an empty file: End of data every year", "", {end, end, end}},
      {"data for every year", "1 1 1 1.0\n2 1 1 1.0\n3 1 1 1.0\n", {"", "", end}},
      {"starting after IYS: earlier years are empty and silent", "3 1 1 1.0\n", {"", "", end}},
      {"starting in year 2", "2 1 1 1.0\n2 2 2 2.0\n", {"", end, end}},
      {"three duplicates: two messages, the last values",
       "1 2 1 1.0\n1 2 1 2.0\n1 2 1 3.0\n",
       {dup("    1    2    1     2.000") + dup("    1    2    1     3.000") + end, end, end}},
      {"records out of year order are skipped without a message",
       "1 1 1 1.0\n2 1 1 2.0\n1 1 1 3.0\n2 1 1 4.0\n",
       {"", dup("    2    1    1     4.000") + end, end}},
      {"a line with six values: the fifth and sixth are ignored",
       "1 1 1 2.5 2 1\n2 1 1 9.0\n2 2 2 1.0\n",
       {"", end, end}},
      {"a line with six values does not hide the next line",
       "1 1 1 2.5 7 8\n1 1 1 3.0\n",
       {dup("    1    1    1     3.000") + end, end, end}},
      {"a slash keeps the previous value",
       "1 1 2 7.0\n1 1 1 /\n1 1 1 /\n",
       {dup("    1    1    1     7.000") + end, end, end}},
      {"a slash keeps the previous entry and value",
       "1 1 2 7.0\n1 2 /\n1 2 2 1.5\n",
       {dup("    1    2    2     1.500") + end, end, end}},
      {"before the first observation the kept fields are zero",
       "1 1 1 /\n1 1 1 /\n",
       {dup("    1    1    1     0.000") + end, end, end}},
      {"a lone slash repeats the whole previous observation",
       "2 2 1 4.0\n/\n",
       {"", dup("    2    2    1     4.000") + end, end}},
      {"records out of range are skipped with a message",
       "0 5 5 1.0\n1 0 1 1.0\n1 3 1 2.0\n1 1 0 3.0\n1 1 3 4.0\n1 -1 -1 5.0\n"
       "1 3 1 6.0\n1 1 2 7.0\n2 99999 1 8\n2 100000 1 9\n3 2 2 -1.0\n",
       {out_of_range("    1    0    1     1.000") + out_of_range("    1    3    1     2.000") +
            out_of_range("    1    1    0     3.000") + out_of_range("    1    1    3     4.000") +
            out_of_range("    1   -1   -1     5.000") + out_of_range("    1    3    1     6.000"),
        // Location 3 entry 1 would be the cell of location 1 entry 2 had it
        // been stored: no duplicate for 1 1 2 shows it was not.
        out_of_range("    299999    1     8.000") + out_of_range("    2*****    1     9.000"),
        end}},
      {"lines with no values are skipped",
       "\n   \n\t\n1 1 1 1.0\n\n\r\n2 1 1 1.0\n",
       {"", end, end}},
      {"commas, signs and exponents",
       "1,1,1,2.5D0\n1, 1, +1, 25E-1\n1 1 1 -1.5e-2\n",
       {dup("    1    1    1     2.500") + dup("    1    1    1    -0.015") + end, end, end}},
      {"a value too wide for F10.3 shows asterisks",
       "1 1 1 1.0\n1 1 1 -1e30\n1 1 1 12345678\n",
       {dup("    1    1    1**********") + dup("    1    1    1**********") + end, end, end}},
      {"a value too small for single precision is zero",
       "1 1 1 1.0\n1 1 1 1e-50\n",
       {dup("    1    1    1     0.000") + end, end, end}},
      {"null values keep their fields",
       "1 1 2 7.0\n1,1,1,,\n1 1 1 3\n",
       {dup("    1    1    1     3.000") + end, end, end}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory dir;
    ProgramRun run = run_job_files(dir, kNames, c.seq, answers(kSizes, kOptions));
    ASSERT_EQ(run.exit_status, 0) << run.errors;
    EXPECT_EQ(console_from_title(run.console), expected_console(c.years));
    // The same messages reach the report, in the same order.
    EXPECT_EQ(shared_report_records(dir.read("T.OCC"), run.console), console_messages(run.console));
  }
}

TEST(ObservationsFile, BadLinesAreErrorStopsWithFileAndLine) {
  const std::string where = "locprox: unit 20 (T.SEQ), line ";
  struct Case {
    std::string seq;
    std::string error;  // the whole of standard error
  } cases[] = {
      {"1 1 1\n",
       where + "1: an observation needs its year, location, entry and value on one line, and "
               "this line holds 3 values\n"},
      {"1 1 1 1.0\n\n1 1\n2 1 1 1.0\n",
       where + "3: an observation needs its year, location, entry and value on one line, and "
               "this line holds 2 values\n"},
      {"1\n1 1 1.0\n",
       where + "1: an observation needs its year, location, entry and value on one line, and "
               "this line holds 1 value\n"},
      {"1 1 1 x\n", where + "1: malformed number \"x\" where a real number is expected\n"},
      {"1 1 1.5 1\n", where + "1: malformed number \"1.5\" where an integer is expected\n"},
      {"1 1 1 NaN\n", where + "1: malformed number \"NaN\" where a real number is expected\n"},
      {"1 1 1 2e39\n", where + "1: malformed number \"2e39\" where a real number is expected\n"},
      {"1 1 1 1e31\n", where + "1: observed value \"1e31\" exceeds 1.0E+30 in magnitude\n"},
      {"1 1 1 -2.0E30\n", where + "1: observed value \"-2.0E30\" exceeds 1.0E+30 in magnitude\n"},
      // An error in a record read again after the step back has its own line.
      {"1 1 1 1\n2 1 1 1\n2 1 1 bad\n",
       where + "3: malformed number \"bad\" where a real number is expected\n"},
      {"3 1 1 1\n9999999999 1 1 1\n",
       where + "2: malformed number \"9999999999\" where an integer is expected\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seq);
    ScratchDirectory dir;
    ProgramRun run = run_job_files(dir, kNames, c.seq, answers(kSizes, kOptions));
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_EQ(run.errors, c.error);
    // What was written before the stop is kept, up to the year's reading.
    EXPECT_TRUE(run.console.ends_with(rec("   Read data"))) << run.console;
    EXPECT_TRUE(dir.read("T.OCC").ends_with(rec("   Read data")));
  }
}

TEST(ObservationsFile, CarriageReturnLineFeedFilesReadAsLineFeedFiles) {
  const std::string naq = "Title of the job\n3 2 2\n1995 main\n1996\n1997\nL1\nL2\nE1\nE2\n";
  const std::string seq =
      "1 1 1 1.0\n1 2 1 2.0\n1 2 1 3.0\n2 1 1 /\n2 1 2 4.5 extra\n3 3 1 1.0\n3 2 2 -1\n";
  auto crlf = [](const std::string& text) {
    std::string out;
    for (char ch : text) out += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    return out;
  };
  ScratchDirectory lf;
  ProgramRun lf_run = run_job_files(lf, naq, seq, answers(kSizes, kOptions));
  ScratchDirectory cr;
  ProgramRun cr_run = run_job_files(cr, crlf(naq), crlf(seq), answers(kSizes, kOptions));
  ASSERT_EQ(lf_run.exit_status, 0) << lf_run.errors;
  ASSERT_EQ(cr_run.exit_status, 0) << cr_run.errors;
  EXPECT_EQ(cr_run.console, lf_run.console);
  EXPECT_EQ(cr.read("T.OCC"), lf.read("T.OCC"));
  EXPECT_EQ(cr.read("T.PRX"), lf.read("T.PRX"));
  // And what they both show is right.
  EXPECT_EQ(console_from_title(lf_run.console),
            job_is("Title of the job") + options_echo('W', 'S', 'C', '\0') + opening(1, 3) +
                year_block("1995 mai", dup("    1    2    1     3.000")) +
                year_block("1996    ", "") +
                year_block("1997    ", out_of_range("    3    3    1     1.000") + kEndOfData));
}

}  // namespace
}  // namespace locprox
