#include "summary/job_names.h"

#include <gtest/gtest.h>

#include "summary/errors.h"
#include "summary/scratch.h"

namespace locprox::summary {
namespace {

Dimensions dims(std::int32_t maxy, std::int32_t maxl, std::int32_t maxg) {
  Dimensions d;
  d.maxy = maxy;
  d.maxl = maxl;
  d.maxg = maxg;
  return d;
}

std::string read_error(const std::string& text, const Dimensions& d) {
  testing::Scratch dir;
  dir.write("JOB.NAQ", text);
  try {
    read_job_names(dir.file("JOB.NAQ"), d);
  } catch (const InputError& e) {
    return e.what();
  }
  return {};
}

TEST(NamesFile, ReadsTheCountsInAnyFreeFormAndThenTheNames) {
  // 3 years, 2 locations, 4 entries, the counts written in several ways.
  const std::string names = "Y1\nY2\nY3\nNorth field 2\n  Riverside\nG1\nG2\nG3\nG4\n";
  for (const std::string counts :
       {"3, 2, 4\n", "3 2 4\n", "3\n2\n4\n", "3,2,4,99 more\n", "3\t2 , 4\n", "1*3 1*2 4\n"}) {
    SCOPED_TRACE(counts);
    testing::Scratch dir;
    dir.write("JOB.NAQ", "A title\n" + counts + names);
    JobNames read = read_job_names(dir.file("JOB.NAQ"), dims(3, 2, 4));
    EXPECT_EQ(read.title, "A title");
    EXPECT_EQ(read.years, (std::vector<std::string>{"Y1", "Y2", "Y3"}));
    // Names are the first 8 characters; leading blanks belong to the name.
    EXPECT_EQ(read.locations, (std::vector<std::string>{"North fi", "  Rivers"}));
  }
}

TEST(NamesFile, RefusesTheNamesOfAnotherJobOrAShortFile) {
  const Dimensions d = dims(1, 2, 3);
  struct Case {
    std::string text;
    std::string expected;
  } cases[] = {
      {"T\n1 3 3\nY\nA\nB\nC\n",
       "JOB.NAQ, line 2: the names file counts 3 locations where the proximity file has 2"},
      {"T\n2 2 3\nY\nA\nB\n", "line 2: the names file counts 2 years"},
      {"T\n1 2 4\nY\nA\nB\n", "4 entries"},
      {"T\n1,,3\nY\nA\nB\n", "counts 0 locations"},  // a null value leaves the count at 0
      {"T\n1 2\n", "line 2: the file ends here, before all 3 numbers"},
      // The main program's reader's words, with the file and the line.
      {"T\n1 2 x3\nY\nA\nB\n", "JOB.NAQ, line 2: malformed number \"x3\""},
      {"T\n1 2 3\nY\nA\n", "after line 4, before location name 2 of 2"},
      // A leading comma is a null value: the years stay 0.
      {"T\n,2,3\nY\nA\nB\n", "line 2: the names file counts 0 years"},
      {"", "the file is empty"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string message = read_error(c.text, d);
    EXPECT_NE(message.find(c.expected), std::string::npos) << message;
  }
}

TEST(DisplayName, GivesValidUtf8WithoutTrailingBlanks) {
  const std::pair<std::string, std::string> cases[] = {
      {"Ames    ", "Ames"},
      {"  Ames  ", "  Ames"},
      {"        ", ""},
      {"G\xC3\xB6rz", "G\xC3\xB6rz"},  // UTF-8 kept
      {"G\xF6rz", "G\xC3\xB6rz"},      // Latin-1 converted
      {"Stra\xC3\x9F"
       "e\xC3",
       "Stra\xC3\x9F"
       "e"},                                 // a character cut at the 8th byte
      {std::string("a\tb\0c", 5), "a?b?c"},  // control characters
  };
  for (const auto& [raw, shown] : cases) EXPECT_EQ(display_name(raw), shown) << raw;
}

}  // namespace
}  // namespace locprox::summary
