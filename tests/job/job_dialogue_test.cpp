// The job dialogue and the opening of the four job files, by running the
// program. After the dialogue every run is given a problem size that is
// refused at once (a negative count), so the run ends right after the
// problem-size records and the outputs show which files were written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/run_program.h"

namespace locprox {
namespace {

using locprox::testing::ProgramRun;
using locprox::testing::run_program;
using locprox::testing::ScratchDirectory;

const std::string kRefusedSize = "-1\n0\n0\n0\n0\n";
const std::string kDefaultQuestion = " Do you wish default file names (Y or N)? - ";
const std::string kJobNamePrompt = " Enter job name (ie. name for files without extension)\r\n";
const std::string kExplicitPrompts =
    " Enter name of input file  (*.SEQ) - "
    " Enter name of input file  (*.NAQ) - "
    " Enter name of output file (*.OCC) - "
    " Enter name of output file (*.PRX) - ";
// The first record of the report, as every run below writes it.
const std::string kReportStart =
    " Maximum number of years in data set             (MAXY) =     -1\r\n";
const std::string kPrxRecord = "    -1     0     0     0     0     1     0\r\n";

// True when the run ended as refused (the size -1 makes no sense: status 1),
// writing its report and proximity file under the given names and nothing
// else beside the given inputs.
void expect_outputs(const ScratchDirectory& dir, const ProgramRun& run, const std::string& report,
                    const std::string& proximity) {
  EXPECT_EQ(run.exit_status, 1) << run.errors;
  EXPECT_EQ(run.errors, "");
  EXPECT_TRUE(dir.read(report).starts_with(kReportStart)) << report;
  EXPECT_EQ(dir.read(proximity), kPrxRecord) << proximity;
}

TEST(JobDialogue, DefaultNamesFromTheJobName) {
  struct Case {
    const char* answers;  // default-names answer and job name
    const char* stem;     // the files that must be used
  } cases[] = {
      {"y\nTRIAL\n", "TRIAL"},
      {"Y\nTRIAL\n", "TRIAL"},
      {"yes\nTRIAL\n", "TRIAL"},      // only the first character counts
      {"y\nTRIAL   \n", "TRIAL"},     // trailing blanks are not part of the name
      {"y\r\nTRIAL\r\n", "TRIAL"},    // CR LF answers
      {"y\n\n", ""},                  // an empty job name: .SEQ, .NAQ, .OCC, .PRX
      {"y\n  TRIAL\n", "TRIAL"},      // leading blanks trimmed for the system
      {"y\nmy trial\n", "my trial"},  // embedded blanks stay
  };
  for (const Case& c : cases) {
    ScratchDirectory dir;
    std::string stem = c.stem;
    dir.write(stem + ".SEQ", "");
    dir.write(stem + ".NAQ", "");
    ProgramRun run = run_program(dir.path(), c.answers + kRefusedSize);
    expect_outputs(dir, run, stem + ".OCC", stem + ".PRX");
    EXPECT_TRUE(run.console.starts_with(kDefaultQuestion + kJobNamePrompt +
                                        " Type the number of unique \r\n"))
        << run.console;
  }
}

TEST(JobDialogue, LongJobNamesCutTheExtension) {
  struct Case {
    int length;  // significant characters of the job name
    const char* seq;
    const char* naq;
    const char* occ;
    const char* prx;
  } cases[] = {
      {46, ".SEQ", ".NAQ", ".OCC", ".PRX"},
      {47, ".SE", ".NA", ".OC", ".PR"},
      {48, ".S", ".N", ".O", ".P"},
  };
  for (const Case& c : cases) {
    ScratchDirectory dir;
    std::string job(static_cast<std::size_t>(c.length), 'J');
    dir.write(job + c.seq, "");
    dir.write(job + c.naq, "");
    ProgramRun run = run_program(dir.path(), "y\n" + job + "\n" + kRefusedSize);
    expect_outputs(dir, run, job + c.occ, job + c.prx);
  }
  // The job name is the first 50 characters of its line: what follows 45
  // letters and five blanks is not part of it.
  ScratchDirectory dir;
  std::string job(45, 'J');
  dir.write(job + ".SEQ", "");
  dir.write(job + ".NAQ", "");
  ProgramRun run = run_program(dir.path(), "y\n" + job + "     XXXX\n" + kRefusedSize);
  expect_outputs(dir, run, job + ".OCC", job + ".PRX");
}

TEST(JobDialogue, JobNamesOf49Or50CharactersNameOneFileFourTimes) {
  // All four names become the same file; it is refused before any output is
  // created, and the input, which exists, is left as it was.
  for (int length : {49, 50}) {
    ScratchDirectory dir;
    std::string job(static_cast<std::size_t>(length), 'J');
    std::string name = length == 49 ? job + "." : job;
    dir.write(name, "precious\n");
    ProgramRun run = run_program(dir.path(), "y\n" + job + "\n" + kRefusedSize);
    EXPECT_EQ(run.exit_status, 2) << length;
    EXPECT_EQ(dir.read(name), "precious\n");
    EXPECT_TRUE(run.errors.starts_with("locprox: unit 21 (" + name +
                                       "): names the same file as "
                                       "unit 20 (" +
                                       name + ")"))
        << run.errors;
    EXPECT_EQ(run.console, kDefaultQuestion + kJobNamePrompt);
  }
}

TEST(JobDialogue, ExplicitDialogueUsesTheNamesAsTyped) {
  struct Case {
    const char* answer;  // anything but Y or y
  } cases[] = {{"n"}, {"N"}, {""}, {" yes"}, {"x"}};
  for (const Case& c : cases) {
    ScratchDirectory dir;
    dir.write("obs", "");
    dir.write("nam", "");
    ProgramRun run =
        run_program(dir.path(), std::string(c.answer) + "\nobs\nnam\nrep\nprx\n" + kRefusedSize);
    expect_outputs(dir, run, "rep", "prx");
    EXPECT_TRUE(run.console.starts_with(kDefaultQuestion + kExplicitPrompts +
                                        " Type the number of unique \r\n"))
        << run.console;
    EXPECT_FALSE(dir.exists("rep.OCC"));
  }
}

TEST(JobDialogue, ExplicitNamesAreTrimmedAtBothEnds) {
  ScratchDirectory dir;
  dir.write("obs.dat", "");
  dir.write("nam.dat", "");
  ProgramRun run =
      run_program(dir.path(), "n\n  obs.dat  \n\tnam.dat\n rep.out\nprx.out   \n" + kRefusedSize);
  // A tab is not a blank: "\tnam.dat" is another name, which does not exist.
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_TRUE(run.errors.starts_with("locprox: unit 21 (\tnam.dat): cannot open")) << run.errors;
  run = run_program(dir.path(), "n\n  obs.dat  \nnam.dat\n rep.out\nprx.out   \n" + kRefusedSize);
  expect_outputs(dir, run, "rep.out", "prx.out");
}

TEST(JobDialogue, MissingOrUnnamedInputLeavesNoOutput) {
  struct Case {
    const char* name;
    std::vector<std::string> present;  // input files that exist
    std::string answers;
    std::string error;          // the start of the message on standard error
    bool console_ends = false;  // no problem size follows the answers
  } cases[] = {
      {"missing observations", {"T.NAQ"}, "y\nT\n", "locprox: unit 20 (T.SEQ): cannot open"},
      {"missing names", {"T.SEQ"}, "y\nT\n", "locprox: unit 21 (T.NAQ): cannot open"},
      {"empty observations name",
       {"nam"},
       "n\n   \nnam\nrep\nprx\n",
       "locprox: unit 20 (): no file name"},
      {"empty report name",
       {"obs", "nam"},
       "n\nobs\nnam\n\nprx\n",
       "locprox: unit 22 (): no file name"},
      {"end of console input",
       {"T.SEQ", "T.NAQ"},
       "y\n",
       "locprox: the console: end of file",
       true},
      {"no answer at all", {}, "", "locprox: the console: end of file", true},
  };
  for (const Case& c : cases) {
    ScratchDirectory dir;
    for (const std::string& file : c.present) dir.write(file, "");
    // Outputs of an earlier run stay as they were.
    dir.write("T.OCC", "old report\r\n");
    ProgramRun run = run_program(dir.path(), c.answers + (c.console_ends ? "" : kRefusedSize));
    EXPECT_EQ(run.exit_status, 2) << c.name;
    EXPECT_TRUE(run.errors.starts_with(c.error)) << c.name << ": " << run.errors;
    EXPECT_TRUE(run.errors.ends_with("\n")) << c.name;
    EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << c.name;
    EXPECT_EQ(dir.read("T.OCC"), "old report\r\n") << c.name;
    for (const char* output : {"T.PRX", "rep", "prx"}) {
      EXPECT_FALSE(dir.exists(output)) << c.name << ": " << output;
    }
  }
}

TEST(JobDialogue, OneFileNamedTwiceIsRefusedBeforeAnyOutput) {
  struct Case {
    const char* name;
    std::string answers;
  } cases[] = {
      {"report over the observations", "n\nobs\nnam\nobs\nprx\n"},
      {"proximity over the names", "n\nobs\nnam\nrep\nnam\n"},
      {"report and proximity", "n\nobs\nnam\nrep\nrep\n"},
      {"both inputs", "n\nobs\nobs\nrep\nprx\n"},
      {"another spelling of the same path", "n\nobs\nnam\nrep\n./rep\n"},
      {"a blank before the same name", "n\nobs\nnam\nrep\n  rep\n"},
      {"a link to an input", "n\nobs\nnam\nlink\nprx\n"},
      // A link to a report that does not exist yet: the report is created,
      // and the check after the opens sees one file twice.
      {"a dangling link to the other output", "n\nobs\nnam\nnew\nto-new\n"},
  };
  for (const Case& c : cases) {
    ScratchDirectory dir;
    dir.write("obs", "1 1 1 1.0\n");
    dir.write("nam", "title\n");
    std::filesystem::create_symlink("obs", dir.path() / "link");
    std::filesystem::create_symlink("new", dir.path() / "to-new");
    ProgramRun run = run_program(dir.path(), c.answers + kRefusedSize);
    EXPECT_EQ(run.exit_status, 2) << c.name;
    EXPECT_NE(run.errors.find("names the same file as"), std::string::npos)
        << c.name << ": " << run.errors;
    EXPECT_EQ(dir.read("obs"), "1 1 1 1.0\n") << c.name;
    EXPECT_EQ(dir.read("nam"), "title\n") << c.name;
    EXPECT_FALSE(dir.exists("rep")) << c.name;
    EXPECT_FALSE(dir.exists("prx")) << c.name;
  }
}

TEST(JobDialogue, AnOutputThatCannotBeOpenedLeavesTheOtherAsItWas) {
  struct Case {
    const char* directory;  // the output that is a directory
    const char* other;      // the other output, from an earlier run
    std::string error;
  } cases[] = {
      {"T.PRX", "T.OCC",
       "locprox: unit 23 (T.PRX): cannot create or replace the file: Is a directory\n"},
      {"T.OCC", "T.PRX",
       "locprox: unit 22 (T.OCC): cannot create or replace the file: Is a directory\n"},
  };
  for (const Case& c : cases) {
    ScratchDirectory dir;
    dir.write("T.SEQ", "");
    dir.write("T.NAQ", "");
    std::filesystem::create_directory(dir.path() / c.directory);
    dir.write(c.other, "earlier run\r\n");
    ProgramRun run = run_program(dir.path(), "y\nT\n" + kRefusedSize);
    EXPECT_EQ(run.exit_status, 2) << c.directory;
    EXPECT_EQ(run.errors, c.error);
    EXPECT_EQ(dir.read(c.other), "earlier run\r\n") << c.directory;
  }
}

TEST(JobDialogue, ExistingOutputsAreReplaced) {
  ScratchDirectory dir;
  dir.write("T.SEQ", "");
  dir.write("T.NAQ", "");
  std::string old(100000, 'o');
  dir.write("T.OCC", old);
  dir.write("T.PRX", old);
  ProgramRun run = run_program(dir.path(), "y\nT\n" + kRefusedSize);
  expect_outputs(dir, run, "T.OCC", "T.PRX");
  EXPECT_EQ(dir.read("T.OCC").find("oooo"), std::string::npos);
}

}  // namespace
}  // namespace locprox
