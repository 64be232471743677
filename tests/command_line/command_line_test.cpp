// The command line: what each argument list asks for, and what the built
// program prints and returns for help, version, wrong command lines and an
// import.
#include "command_line/command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "support/case_names.h"
#include "support/run_program.h"

namespace locprox {
namespace {

using testing::run_program;
using testing::ScratchDirectory;

CommandLine parse(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "locprox");
  std::FILE* sink = std::tmpfile();
  const CommandLine line =
      parse_command_line(static_cast<int>(arguments.size()), arguments.data(), sink, sink);
  std::fclose(sink);
  return line;
}

TEST(CommandLine, NoArgumentsIsTheDialogue) {
  EXPECT_EQ(parse({}).command, Command::kDialogue);
}

TEST(CommandLine, ImportDefaults) {
  const CommandLine line = parse({"import", "trial.csv"});
  ASSERT_EQ(line.command, Command::kImport);
  const ImportOptions& o = line.import;
  EXPECT_EQ(o.table, "trial.csv");
  // Columns not named are found by their usual headers.
  EXPECT_FALSE(o.year_column.has_value());
  EXPECT_FALSE(o.location_column.has_value());
  EXPECT_FALSE(o.entry_column.has_value());
  EXPECT_FALSE(o.value_column.has_value());
  EXPECT_FALSE(o.no_year);
  EXPECT_FALSE(o.stem.has_value());
  EXPECT_FALSE(o.title.has_value());
  EXPECT_EQ(o.missing, (std::vector<std::string>{"NA", "NaN", ".", "-"}));
  EXPECT_EQ(o.delimiter, 0);
  EXPECT_EQ(o.replicates, Replicates::kMean);
  EXPECT_EQ(o.threads, 0u);  // every hardware thread
}

TEST(CommandLine, ImportOptions) {
  const CommandLine line =
      parse({"import", "t.tsv", "--year", "Jahr", "--location=3", "--entry", "geno", "--value",
             "yield", "--job", "out/job", "--title", "A title", "--missing", "-999,n/a",
             "--delimiter", "tab", "--replicates", "last", "--threads", "5"});
  ASSERT_EQ(line.command, Command::kImport);
  const ImportOptions& o = line.import;
  EXPECT_EQ(o.year_column, "Jahr");
  EXPECT_EQ(o.location_column, "3");
  EXPECT_EQ(o.entry_column, "geno");
  EXPECT_EQ(o.value_column, "yield");
  EXPECT_EQ(o.stem, "out/job");
  EXPECT_EQ(o.title, "A title");
  EXPECT_EQ(o.missing, (std::vector<std::string>{"-999", "n/a"}));
  EXPECT_EQ(o.delimiter, '\t');
  EXPECT_EQ(o.replicates, Replicates::kLast);
  EXPECT_EQ(o.threads, 5u);
}

TEST(CommandLine, RunOptions) {
  const CommandLine line = parse({"run", "out/JOB", "--distance", "standardized", "--from", "1927",
                                  "--to", "#9", "--unweighted", "--quiet", "--threads", "3",
                                  "--max-memory", "1.5G"});
  ASSERT_EQ(line.command, Command::kRun);
  const RunOptions& o = line.run;
  EXPECT_EQ(o.stem, "out/JOB");
  EXPECT_EQ(o.measure.kind(), MeasureKind::kStandardisedDistance);
  EXPECT_EQ(o.from, "1927");
  EXPECT_EQ(o.to, "#9");
  EXPECT_FALSE(o.measure.weighted());
  EXPECT_TRUE(o.quiet);
  EXPECT_EQ(o.threads, 3u);
  EXPECT_EQ(o.max_memory, std::uint64_t{3} << 29);
  const Measure& codes = o.measure;
  EXPECT_EQ(std::string({codes.WEIGHT, codes.PRXTYP, codes.SEDTYP, codes.CORTYP}),
            std::string("USS\0", 4));
}

TEST(CommandLine, EveryMeasureGivesTheDialoguesCodes) {
  const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
      {{"--distance", "centred"}, std::string("WSC\0", 4)},
      {{"--distance", "centered", "--unweighted"}, std::string("USC\0", 4)},
      {{"--distance", "standardised"}, std::string("WSS\0", 4)},
      {{"--correlation", "plain"}, std::string("WR\0N", 4)},
      {{"--correlation", "fisher-z", "--unweighted"}, std::string("UR\0Z", 4)},
  };
  for (const auto& [options, codes] : cases) {
    std::vector<const char*> arguments = {"run", "J"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const CommandLine line = parse(arguments);
    ASSERT_EQ(line.command, Command::kRun) << codes;
    const Measure& o = line.run.measure;
    EXPECT_EQ(std::string({o.WEIGHT, o.PRXTYP, o.SEDTYP, o.CORTYP}), codes);
  }
}

TEST(CommandLine, AnalyseTakesImportAndRunOptions) {
  const CommandLine line = parse({"analyse", "data/trial.csv", "--entry", "genotype",
                                  "--replicates", "last", "--unweighted", "--out", "results",
                                  "--groups", "3", "--to", "2020"});
  ASSERT_EQ(line.command, Command::kAnalyse);
  EXPECT_EQ(line.analyse.import.table, "data/trial.csv");
  EXPECT_EQ(line.analyse.import.entry_column, "genotype");
  EXPECT_EQ(line.analyse.import.replicates, Replicates::kLast);
  EXPECT_FALSE(line.analyse.run.measure.weighted());
  EXPECT_EQ(line.analyse.run.measure.kind(), MeasureKind::kFisherZCorrelation);  // the default
  EXPECT_EQ(line.analyse.run.to, "2020");
  EXPECT_EQ(line.analyse.out, "results");
  EXPECT_EQ(line.analyse.groups, 3);
  EXPECT_EQ(default_analysis_folder("data/trial.csv"), "data/trial");
  EXPECT_EQ(default_analysis_folder("trial.tsv"), "trial");
}

TEST(CommandLine, AnEmptyMissingListLeavesOnlyEmptyFieldsMissing) {
  EXPECT_TRUE(parse({"import", "t.csv", "--missing", ""}).import.missing.empty());
}

TEST(CommandLine, DelimiterArguments) {
  const std::vector<std::pair<std::string, char>> cases = {
      {",", ','}, {";", ';'}, {"|", '|'}, {"tab", '\t'}, {"\\t", '\t'}, {"\t", '\t'},
      {"comma", ','}, {"semicolon", ';'},
      // Not delimiters: a quote, a line end, two characters, nothing.
      {"\"", 0}, {"\n", 0}, {";;", 0}, {"", 0}};
  for (const auto& [text, delimiter] : cases) EXPECT_EQ(delimiter_argument(text), delimiter) << text;
}

struct Call {
  const char* name;
  std::vector<std::string> arguments;
  int status;
  std::string out_start;  // the start of standard output
  std::string err;        // the whole of standard error; its first line when it has a usage
};

// Printed by its name, so that the test names ctest lists read as words.
void PrintTo(const Call& c, std::ostream* os) { *os << c.name; }

const std::vector<Call> kCalls = {
    {"help", {"--help"}, 0, "locprox: how alike test locations", ""},
    {"short help", {"-h"}, 0, "locprox: how alike test locations", ""},
    {"import help", {"import", "--help"}, 0, "Usage: locprox import TABLE [options]", ""},
    {"run help", {"run", "--help"}, 0, "Usage: locprox run STEM (--distance", ""},
    {"analyse help", {"analyse", "-h"}, 0, "Usage: locprox analyse TABLE [import options]", ""},
    {"analyze help", {"analyze", "--help"}, 0, "Usage: locprox analyse TABLE [import options]", ""},
    {"version", {"--version"}, 0, "locprox 1.1.0\n", ""},
    {"unknown command", {"frobnicate"}, 2, "", "locprox: unknown command \"frobnicate\""},
    {"unknown option", {"--frobnicate"}, 2, "",
     "locprox: The following argument was not expected: --frobnicate"},
    {"import without a table", {"import"}, 2, "", "locprox: TABLE is required"},
    {"import with two tables", {"import", "a.csv", "b.csv"}, 2, "",
     "locprox: The following argument was not expected: b.csv"},
    {"replicates neither mean nor last", {"import", "a.csv", "--replicates", "first"}, 2, "",
     "locprox: --replicates: first not in {mean,last}"},
    {"an option without its value", {"import", "a.csv", "--year"}, 2, "",
     "locprox: --year: 1 required COL missing"},
    {"run without a measure", {"run", "JOB"}, 2, "",
     "locprox: the measure is missing: give --distance centred|standardised or --correlation "
     "plain|fisher-z"},
    {"run with two measures", {"run", "JOB", "--distance", "centred", "--correlation", "plain"}, 2,
     "", "locprox: --distance excludes --correlation"},
    {"a measure of no such kind", {"run", "JOB", "--correlation", "spearman"}, 2, "",
     "locprox: --correlation: spearman not in {plain,fisher-z}"},
    {"a memory size of no such unit", {"run", "JOB", "--distance", "centred", "--max-memory", "4Q"},
     2, "",
     "locprox: --max-memory: \"4Q\" is not a size such as 512M or 4G (K, M, G, T: powers of "
     "1024)"},
    {"no threads", {"run", "JOB", "--distance", "centred", "--threads", "0"}, 2, "",
     "locprox: --threads: Value 0 not in range 1 to 4096"},
    {"no threads to import with", {"import", "t.csv", "--threads", "0"}, 2, "",
     "locprox: --threads: Value 0 not in range 1 to 4096"},
    {"analyse without a table", {"analyse"}, 2, "", "locprox: TABLE is required"},
    {"an empty job name", {"import", "a.csv", "--job", ""}, 2, "",
     "locprox: --job is empty: give the job's stem (a path without extension), or leave --job "
     "out"},
    {"an empty job name to analyse", {"analyse", "a.csv", "--job", ""}, 2, "",
     "locprox: --job is empty: give the job's stem (a path without extension), or leave --job "
     "out"},
    {"an empty column name", {"import", "a.csv", "--entry", ""}, 2, "",
     "locprox: --entry is empty: give the column's header or number"},
    {"a year column and no year", {"import", "a.csv", "--year", "yr", "--no-year"}, 2, "",
     "locprox: --year excludes --no-year"},
    {"a table whose name begins with a dash", {"import", "-t.csv"}, 2, "",
     "locprox: TABLE is required (-t.csv is no option: a table whose name begins with a dash is "
     "written ./-t.csv, or after --, as in locprox import -- -t.csv)"},
    {"a table with a dash after options", {"analyse", "--value", "yield", "-t.csv"}, 2, "",
     "locprox: TABLE is required (-t.csv is no option: a table whose name begins with a dash is "
     "written ./-t.csv, or after --, as in locprox analyse -- -t.csv)"},
    {"a delimiter of two characters", {"import", "a.csv", "--delimiter", ";;"}, 2, "",
     "locprox: --delimiter: \";;\" is not one character (other than a quote or a line end) nor "
     "tab"},
};

class ProgramCalls : public ::testing::TestWithParam<Call> {};

TEST_P(ProgramCalls, PrintAndEndAsDocumented) {
  const Call& call = GetParam();
  ScratchDirectory directory;
  const auto run = run_program(directory.path(), "", LOCPROX_EXE, call.arguments);
  EXPECT_EQ(run.exit_status, call.status);
  EXPECT_EQ(run.console.substr(0, call.out_start.size()), call.out_start);
  if (call.status == 0) {
    EXPECT_EQ(run.errors, "");
  } else {
    EXPECT_EQ(run.console, "");
    // One line saying what is wrong, then the usage and where to read more.
    const std::size_t end = run.errors.find('\n');
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(run.errors.substr(0, end), call.err);
    EXPECT_EQ(run.errors.substr(end + 1, 15), "Usage: locprox ");
    EXPECT_NE(run.errors.find("--help' for more.\n"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(Calls, ProgramCalls, ::testing::ValuesIn(kCalls),
                         locprox::testing::NameOfCase());

TEST(ImportCommand, ReportsWhatItDidAndTheNextCommand) {
  ScratchDirectory directory;
  directory.write("my trial.csv",
                  "year,location,entry,value\n2020,Station-North,G1,1\n2019,Station-South,G1,2\n"
                  "2019,Station-South,G1,4\n2019,Station-North,G2,NA\n");
  const auto run = run_program(directory.path(), "", LOCPROX_EXE, {"import", "my trial.csv"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(run.console,
            "Imported my trial.csv (comma-separated, found from the header)\n"
            "  year       column 1, \"year\" (found by its header)\n"
            "  location   column 2, \"location\" (found by its header)\n"
            "  entry      column 3, \"entry\" (found by its header)\n"
            "  value      column 4, \"value\" (found by its header)\n"
            "  years      2, numbered in ascending numeric order: 1 = \"2019\", 2 = \"2020\"\n"
            "  locations  2, numbered in order of first appearance\n"
            "  entries    2, numbered in order of first appearance\n"
            "  rows       4 read: 3 with a value, 1 left out as missing\n"
            "  replicates 1 cell had more than one row (2 rows): each written as the mean of its "
            "rows (--replicates mean)\n"
            "             each listed in my trial.replicates.csv: rows, mean, smallest and largest "
            "value, lines\n"
            "  names      2 longer than 8 characters cut for the names file, 1 made distinct with "
            "~2, ~3, ...; full names in my trial.names.csv\n"
            "  written    my trial.NAQ, my trial.SEQ (2 observations), my trial.names.csv\n"
            "Next:  locprox run 'my trial' --correlation fisher-z\n"
            "       (other measures: --correlation plain, --distance centred, --distance "
            "standardised)\n");
  EXPECT_EQ(directory.read("my trial.SEQ"), "1 2 1 3\n2 1 1 1\n");
}

TEST(ImportCommand, AFailureIsOneLineWithStatus2) {
  ScratchDirectory directory;
  directory.write("t.csv", "year,location,entry,value\n2019,A,G1,1.5.2\n");
  const auto run = run_program(directory.path(), "", LOCPROX_EXE, {"import", "t.csv"});
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_EQ(run.console, "");
  EXPECT_EQ(run.errors, "locprox: t.csv, line 2, column 4 (value): \"1.5.2\" is not a number\n");
  EXPECT_FALSE(directory.exists("t.NAQ"));
  const auto missing = run_program(directory.path(), "", LOCPROX_EXE, {"import", "none.csv"});
  EXPECT_EQ(missing.exit_status, 2);
  EXPECT_EQ(missing.errors, "locprox: cannot open none.csv: No such file or directory\n");
}

TEST(ImportCommand, SaysWhenTheDialogueWouldRefuseTheJob) {
  // 1 year, 2 locations and 1100 entries: 1104 names, more than the
  // dialogue's 1100.
  std::string table = "year,location,entry,value\n";
  for (int g = 1; g <= 1100; ++g) {
    table += "2019,A,G" + std::to_string(g) + ",1\n";
    table += "2019,B,G" + std::to_string(g) + ",2\n";
  }
  ScratchDirectory directory;
  directory.write("big.csv", table);
  const auto run = run_program(directory.path(), "", LOCPROX_EXE, {"import", "big.csv"});
  EXPECT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_NE(run.console.find("The console dialogue would refuse this job: its fixed work arrays "
                             "are too small (AZ needs 1104 elements, it has 1100). locprox run "
                             "sizes them to the job.\n"),
            std::string::npos)
      << run.console;
  EXPECT_TRUE(directory.exists("big.SEQ"));
}

}  // namespace
}  // namespace locprox

namespace locprox {
namespace {

// The README's first command: the bundled example table, analysed.
TEST(ExampleTable, AnalysesIntoOneFolder) {
  const std::filesystem::path examples =
      std::filesystem::path(LOCPROX_TEST_DATA).parent_path().parent_path() / "examples";
  ScratchDirectory directory;
  directory.write("variety_trial.csv", testing::read_file(examples / "variety_trial.csv"));
  const auto run = run_program(
      directory.path(), "", LOCPROX_EXE,
      {"analyse", "variety_trial.csv", "--location", "site", "--entry", "variety", "--value",
       "yield", "--title", "Winter wheat variety trials 2018-2023 (t/ha)", "--out", "out",
       "--groups", "3"});
  EXPECT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_EQ(run.errors, "");
  for (const char* text :
       {"  years      6, numbered in ascending numeric order: 1 = \"2018\", 6 = \"2023\"\n",
        "  locations  8, numbered in order of first appearance\n",
        "  entries    26, numbered in order of first appearance\n",
        "  rows       1026 read: 1002 with a value, 24 left out as missing\n",
        "locprox-summary: out/variety_trial.PRX\n", "3 groups (average linkage on 1 - r"}) {
    EXPECT_NE(run.console.find(text), std::string::npos) << text << "\n" << run.console;
  }
  for (const char* file : {"NAQ", "SEQ", "names.csv", "OCC", "PRX", "console.txt", "pairs.csv",
                           "matrix.csv", "tree.csv", "svg", "html"}) {
    EXPECT_TRUE(directory.exists(std::string("out/variety_trial.") + file)) << file;
  }
  EXPECT_EQ(directory.read("out/variety_trial.NAQ").substr(0, 52),
            "Winter wheat variety trials 2018-2023 (t/ha)\n6 8 26\n");
}

}  // namespace
}  // namespace locprox
