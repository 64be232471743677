// The two programs read a names file the same way. A names file's counts are
// read free-form, and the free-form rules have corners (a leading comma is a
// null value, r* is r null values, a slash ends the read, a read goes on over
// further lines and drops the rest of the last one). locprox checks the
// counts against the problem size typed in the dialogue; locprox-summary
// checks them against the proximity file's dimension record. For every
// counts record below both must accept the same files, refuse the others on
// the same count, and then take the same lines for the names.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "summary/scratch.h"

namespace locprox::summary {
namespace {

using testing::ProgramRun;
using testing::Scratch;

// A job of 2 years, 3 locations and 4 entries, a weighted correlation run.
constexpr const char* kAnswers = "Y\nJOB\n2\n3\n4\n1\n2\nW\nR\nN\n";
constexpr const char* kObservations =
    "1 1 1 1\n1 1 2 2\n1 1 3 3\n1 2 1 2\n1 2 2 4\n1 2 3 6\n"
    "1 3 1 5\n1 3 2 1\n1 3 3 3\n1 3 4 3\n2 1 1 0\n2 1 2 2\n2 2 1 5\n2 2 2 3\n";
constexpr const char* kNames = "Y1\nY2\nNorth\nSouth\nEast\nG1\nG2\nG3\nG4\n";

struct Case {
  const char* counts;       // the counts record(s), each line ended
  std::array<int, 3> read;  // years, locations, entries as read
};

const Case kCases[] = {
    {"2 3 4\n", {2, 3, 4}},
    {"2,3,4\n", {2, 3, 4}},
    {" 2 ,\t3\t, 4 \n", {2, 3, 4}},  // blanks and tabs around the commas
    {"\t2\t3\t4\t\n", {2, 3, 4}},
    {"2 3 4\r\n", {2, 3, 4}},
    {"2\n3\n4\n", {2, 3, 4}},    // one count per line
    {"2\n\n3 4\n", {2, 3, 4}},   // an empty line gives nothing
    {"2 3\n4 Y0\n", {2, 3, 4}},  // the rest of the last line used is dropped, not a name
    {"2,\n3,4\n", {2, 3, 4}},
    {"2,3\n,4\n", {2, 3, 4}},      // a comma after a value separates, even on the next line
    {"1*2 1*3 1*4\n", {2, 3, 4}},  // r*v: r copies of v
    {"2 2*3\n", {2, 3, 3}},
    {"2 3 4 5 6\n", {2, 3, 4}},  // values after the third are dropped
    {"2 3 4 / 7\n", {2, 3, 4}},
    {",4,5\n", {0, 4, 5}},    // a leading comma is a null value: the count stays 0
    {"2,,3,4\n", {2, 0, 3}},  // two commas: a null value
    {"3*\n", {0, 0, 0}},      // r*: r null values
    {"1* 3 4\n", {0, 3, 4}},
    {"/\n", {0, 0, 0}},  // a slash ends the read
    {"2 3 /\n", {2, 3, 0}},
    {"2 3\n/\n", {2, 3, 0}},
};

constexpr std::array<int, 3> kJob = {2, 3, 4};
// The kinds of count in the messages of locprox and of locprox-summary.
constexpr const char* kMainKind[3] = {"years", "locations", "genotypes"};
constexpr const char* kSummaryKind[3] = {"years", "locations", "entries"};

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(NamesAgreement, BothProgramsReadTheCountsAndTheNamesAlike) {
  // A proximity file of this job, written from a names file with plain counts.
  Scratch reference;
  reference.write("JOB.SEQ", kObservations);
  reference.write("JOB.NAQ", std::string("Plain\n2 3 4\n") + kNames);
  ProgramRun plain = testing::run(LOCPROX_MAIN_EXE, {}, reference.path(), kAnswers);
  ASSERT_EQ(plain.status, 0) << plain.out << plain.err;
  const std::string prx = reference.read("JOB.PRX");

  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string("counts record \"") + c.counts + "\"");
    Scratch dir;
    dir.write("JOB.SEQ", kObservations);
    dir.write("JOB.NAQ", std::string("Tricky counts\n") + c.counts + kNames);
    int disagrees = -1;  // the first count that differs from the job's, as the table says
    for (int k = 2; k >= 0; --k) {
      if (c.read[k] != kJob[k]) disagrees = k;
    }

    ProgramRun main_run = testing::run(LOCPROX_MAIN_EXE, {}, dir.path(), kAnswers);
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(contains(main_run.out, std::string(" No. ") + kMainKind[k] +
                                           " specified not the same as in *.NAQ file"),
                k == disagrees)
          << main_run.out;
    }

    dir.write("REF.PRX", prx);
    ProgramRun summary = testing::run(LOCPROX_SUMMARY_EXE,
                                      {"REF.PRX", "--names", "JOB.NAQ", "--out", "S"}, dir.path());
    if (disagrees < 0) {
      EXPECT_EQ(summary.status, 0) << summary.err;
      // The names are the lines after the last counts record, as locprox read them.
      EXPECT_TRUE(contains(dir.read("S.pairs.csv"), "1,North,2,South,")) << dir.read("S.pairs.csv");
      EXPECT_TRUE(contains(dir.read("S.pairs.csv"), "2,South,3,East,"));
    } else {
      EXPECT_EQ(summary.status, 2);
      EXPECT_TRUE(contains(summary.err, "JOB.NAQ, line ")) << summary.err;
      EXPECT_TRUE(contains(summary.err, "the names file counts " +
                                            std::to_string(c.read[disagrees]) + " " +
                                            kSummaryKind[disagrees] + " where"))
          << summary.err;
    }
  }
}

}  // namespace
}  // namespace locprox::summary
