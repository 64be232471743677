#include "command_line/command_line.h"

#include <CLI/CLI.hpp>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "command_line/memory_limit.h"

namespace locprox {
namespace {

constexpr const char* kProgramHelp =
    R"(locprox: how alike test locations treat the entries they have in common,
measured year by year over a sequence of years.

Usage:
  locprox                       the console dialogue: job name, problem size and
                                options typed in answer to its questions (or
                                given on standard input: locprox < JOB.answers)
  locprox import TABLE [...]    turn a tidy table (one row per plot: year,
                                location, entry, value) into the job files
                                STEM.NAQ, STEM.SEQ and STEM.names.csv
  locprox run STEM [...]        run the job STEM (STEM.NAQ, STEM.SEQ), writing
                                STEM.OCC and STEM.PRX, with the options given
                                on the command line and work arrays sized to
                                the job
  locprox analyse TABLE [...]   import, run and summary in one: the job files,
                                report, proximity file, CSV tables and picture
                                in one folder, and the summary printed
  locprox COMMAND --help        the options of a command
  locprox --help | --version

Exit status: 0 when the work is done; 1 when a run is refused (by the
dialogue's checks, after the messages and records it has always written for
them; by locprox run for lack of memory, before writing anything); 2 after an
error (a message on standard error names the file, line and fault) or a wrong
command line. Warnings go to standard error only.
)";

constexpr const char* kImportUsage =
    "Usage: locprox import TABLE [--year COL | --no-year] [--location COL] [--entry COL]\n"
    "                            [--value COL] [--job STEM] [--title TEXT] [--missing LIST]\n"
    "                            [--delimiter C] [--replicates mean|last] [--threads N]\n";

constexpr const char* kImportHelp =
    R"(Usage: locprox import TABLE [options]

Turns a tidy trial table, one row per plot (year, location, entry, value), into
the job files of a run: STEM.NAQ (title, counts, names), STEM.SEQ (the
observations, sorted by year) and STEM.names.csv (kind,number,name,full_name:
every year, location and entry with its number, its name in STEM.NAQ and its
full name). Prints what it did and the command to run next.

Options:
  --year COL          the column of the year names
  --no-year           the table has no year column: it is one season
  --location COL      the column of the location names
  --entry COL         the column of the entry names
  --value COL         the column of the observed values
                      A column is named by its header (case does not matter)
                      or by its number, counting from 1. A column not named
                      is found by its usual headers, the first of each list
                      that the header has (case does not matter):
                        year      year, yr, season
                        location  location, loc, site, env, environment,
                                  trial
                        entry     entry, gen, genotype, variety, cultivar,
                                  line, hybrid
                        value     value, yield
  --job STEM          the job's stem, a path without extension (default: the
                      table's file name without its extension, in the current
                      directory)
  --title TEXT        the title in STEM.NAQ, at most 50 bytes (default: the
                      table's file name)
  --missing LIST      comma-separated values that mean "not observed", besides
                      an empty field; case does not matter (default: NA,NaN,.,-)
  --delimiter C       the field delimiter: one character, or tab (default:
                      whichever of tab, semicolon and comma the header line
                      holds most often)
  --replicates RULE   several rows for one year, location and entry:
                        mean  one observation, the mean of their values
                              (default)
                        last  every row, in table order: the run keeps the
                              last and reports the others as duplicates, as
                              the dialogue does with such a file
  --threads N         threads that read the table (default: every hardware
                      thread); the job files are the same for any number
  -h, --help          this text

The table: RFC 4180 quoting, UTF-8 with or without a byte-order mark, LF or
CR LF line ends, a header row first; rows of empty fields are passed over. With
a semicolon delimiter a value may have a decimal comma (5,3).

Numbering: years in ascending numeric order when every year name is a number,
else in order of first appearance; locations and entries in order of first
appearance. A row whose value is empty or a missing marker is left out, but its
names are numbered (a season without harvest stays a year of the sequence).
Names longer than 8 bytes are cut for STEM.NAQ; cut names that clash are made
distinct with ~2, ~3, ... A mean is formed in double precision and written with
the digits that read back as the same single-precision value.

Replicates merged into their mean are listed in STEM.replicates.csv (year,
location, entry, rows, mean, min, max, far_apart, lines); the import warns of
cells whose rows lie far apart (a range more than 4 times the median range of
the merged cells): two trials at one place and time rather than two blocks.

A value that is not a number or is beyond 1.0E+30 in magnitude, a row with too
few fields, a row with more fields than the header (other than empty ones at
its end; in a comma-separated table usually a decimal comma), an empty name or
a column not found stops the import with the file, line, column and text (exit
status 2); nothing is written then. A table whose name begins with a dash is
written ./-name.csv, or after --.
)";

constexpr const char* kRunUsage =
    "Usage: locprox run STEM (--distance centred|standardised | --correlation plain|fisher-z)\n"
    "                        [--from YEAR] [--to YEAR] [--unweighted] [--quiet]\n"
    "                        [--threads N] [--max-memory SIZE] [--max-output SIZE]\n";

constexpr const char* kRunHelp =
    R"(Usage: locprox run STEM (--distance centred|standardised | --correlation plain|fisher-z)
                        [--from YEAR] [--to YEAR] [--unweighted] [--quiet]
                        [--threads N] [--max-memory SIZE] [--max-output SIZE]

Runs the job STEM: reads STEM.NAQ (its title, counts and names) and STEM.SEQ
(the observations, sorted by year), and writes STEM.OCC (the occurrence report)
and STEM.PRX (the proximity file), byte for byte as the console dialogue does
with the same answers. The numbers of years, locations and entries come from
STEM.NAQ. The console messages go to standard output.

The measure (one of them is required):
  --distance centred        squared Euclidean distance of location-centred
                            values (answers S, C)
  --distance standardised   the same of location-standardised values (S, S)
  --correlation plain       correlations, averaged as they are (R, N)
  --correlation fisher-z    correlations averaged on Fisher's z scale (R, Z)

Options:
  --from YEAR       the first year of the sequence (default: the first year)
  --to YEAR         the last year of the sequence (default: the last year)
                    YEAR is a year's name in STEM.NAQ (1927), its full name in
                    STEM.names.csv, or its number written #N (#1 is the first)
  --unweighted      average over years unweighted (answer U); the default is
                    weighted by entries in common (W)
  --quiet           write no console messages
  --threads N       threads for the year loop (default: every hardware thread)
  --max-memory SIZE the most memory the run may take, e.g. 512M or 4G (default:
                    the memory available less a margin); a job that needs more
                    is refused before anything is written, with what it needs
  --max-output SIZE the most that STEM.OCC and STEM.PRX may take together
                    (default: the free space of their folder less a margin);
                    their sizes follow from the job, and a run that would
                    write more is refused before anything is written
  -h, --help        this text

STEM.OCC and STEM.PRX are written under temporary names beside them and put in
place only when the run is complete: a run that stops (an error, Ctrl-C, a
full disk) leaves the earlier ones as they were. A second run, analyse or
summary of the same job in the same folder while one is writing stops at once
with exit status 1.

The names file must hold exactly the names its counts call for: a name
beyond them (a line that is not blank) stops the run before anything is
written (exit status 2). A run in which no pair of locations was compared is
warned about on standard error.

The work arrays are sized to the job: no fixed capacity. The dimensions block
on the console shows the sizes used. When standard error is a terminal and the
console messages go elsewhere (--quiet, or standard output redirected), a line
there counts the years.
)";

constexpr const char* kAnalyseUsage =
    "Usage: locprox analyse TABLE [import options] [run options] [--out DIR] [--groups K]\n";

constexpr const char* kAnalyseHelp =
    R"(Usage: locprox analyse TABLE [import options] [run options] [--out DIR] [--groups K]

Imports a tidy trial table (see locprox import --help), runs the job (see
locprox run --help) and summarises its proximity file, all into one folder:

  DIR/STEM.NAQ, STEM.SEQ, STEM.names.csv    the job files
  DIR/STEM.OCC, STEM.PRX                    the report and the proximity file
  DIR/STEM.console.txt                      the run's console messages
  DIR/STEM.pairs.csv, STEM.matrix.csv       the averages of the location pairs
  DIR/STEM.tree.csv                         the clustering's merges (R's hclust)
  DIR/STEM.svg                              the picture: heatmap and dendrogram
  DIR/STEM.html                             the report: one page for a browser

and prints what the import did and the summary. STEM is the table's name
without its extension (or --job STEM).

Import options: --year COL or --no-year, --location COL, --entry COL,
  --value COL, --job STEM, --title TEXT, --missing LIST, --delimiter C,
  --replicates mean|last (as for locprox import)
Run options: --distance centred|standardised or --correlation plain|fisher-z
  (default: --correlation fisher-z), --from YEAR, --to YEAR, --unweighted,
  --threads N, --max-memory SIZE, --max-output SIZE (as for locprox run;
  --threads also sets the threads that read the table)
Other options:
  --out DIR    the folder (default: beside the table, named after its stem;
               made when missing)
  --groups K   print the K groups of the summary's clustering
  -h, --help   this text

Every file is written under a temporary name and put in place only once all
three steps are done: an analysis that stops leaves the folder's earlier
result whole. A second writer of the same job in the folder stops at once.

Exit status: 0 when done; 1 when the run is refused (too large, or another
locprox writing the job), or when it compared no pair of locations (nothing
to summarise: a warning says what to check; the job files, report and
proximity file are put in place); 2 after an error of the import, the run or
the summary.
)";

constexpr const char* kProgramUsage =
    "Usage: locprox [import TABLE | run STEM | analyse TABLE] [options]   (no arguments: the "
    "console dialogue)\n";

bool is_command(std::string_view word) {
  return word == "import" || word == "run" || word == "analyse" || word == "analyze";
}

std::vector<std::string> split_list(const std::string& list) {
  std::vector<std::string> items;
  if (list.empty()) return items;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = list.find(',', start);
    items.push_back(list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return items;
}

void complain(std::FILE* err, const std::string& problem, const char* usage, const char* help) {
  std::fprintf(err, "locprox: %s\n%sRun '%s' for more.\n", problem.c_str(), usage, help);
}

}  // namespace

char delimiter_argument(const std::string& text) {
  if (text == "tab" || text == "\\t") return '\t';
  if (text == "comma") return ',';
  if (text == "semicolon") return ';';
  if (text.size() != 1) return 0;
  const char c = text[0];
  if (c == '"' || c == '\n' || c == '\r' || c == '\0') return 0;
  return c;
}

namespace {

// The texts of the import's options, as the command line gives them.
struct ImportTexts {
  std::string missing = "NA,NaN,.,-";
  std::string delimiter;
  std::string replicates = "mean";
};

void add_import_options(CLI::App* command, ImportOptions& import, ImportTexts& texts) {
  command->add_option("TABLE", import.table)->required();
  CLI::Option* year = command->add_option("--year", import.year_column)->type_name("COL");
  command->add_flag("--no-year", import.no_year)->excludes(year);
  command->add_option("--location", import.location_column)->type_name("COL");
  command->add_option("--entry", import.entry_column)->type_name("COL");
  command->add_option("--value", import.value_column)->type_name("COL");
  command->add_option("--job", import.stem)->type_name("STEM");
  command->add_option("--title", import.title)->type_name("TEXT");
  command->add_option("--missing", texts.missing)->type_name("LIST");
  command->add_option("--delimiter", texts.delimiter)->type_name("C");
  command->add_option("--replicates", texts.replicates)
      ->type_name("mean|last")
      ->check(CLI::IsMember({"mean", "last"}));
}

// Completes the import's options from their texts; a complaint, or empty.
std::string finish_import_options(CLI::App* command, ImportOptions& import,
                                  const ImportTexts& texts) {
  import.missing = split_list(texts.missing);
  import.replicates = texts.replicates == "last" ? Replicates::kLast : Replicates::kMean;
  if (command->count("--delimiter") > 0) {
    import.delimiter = delimiter_argument(texts.delimiter);
    if (import.delimiter == 0) {
      return "--delimiter: \"" + texts.delimiter +
             "\" is not one character (other than a quote or a line end) nor tab";
    }
  }
  if (import.table.empty()) return "TABLE is empty";
  if (import.stem && import.stem->empty())
    return "--job is empty: give the job's stem (a path without extension), or leave --job out";
  const std::pair<const char*, const std::optional<std::string>*> columns[] = {
      {"--year", &import.year_column},
      {"--location", &import.location_column},
      {"--entry", &import.entry_column},
      {"--value", &import.value_column}};
  for (const auto& [option, column] : columns) {
    if (*column && column->value().empty())
      return std::string(option) + " is empty: give the column's header or number";
  }
  return {};
}

struct RunTexts {
  std::string distance, correlation, max_memory, max_output;
  bool unweighted = false;
};

void add_run_options(CLI::App* command, RunOptions& run, RunTexts& texts, bool stem) {
  if (stem) command->add_option("STEM", run.stem)->required();
  command->add_option("--from", run.from)->type_name("YEAR");
  command->add_option("--to", run.to)->type_name("YEAR");
  CLI::Option* distance =
      command->add_option("--distance", texts.distance)
          ->check(CLI::IsMember({"centred", "centered", "standardised", "standardized"}));
  CLI::Option* correlation = command->add_option("--correlation", texts.correlation)
                                 ->check(CLI::IsMember({"plain", "fisher-z"}));
  distance->excludes(correlation);
  command->add_flag("--unweighted", texts.unweighted);
  if (stem) command->add_flag("--quiet", run.quiet);
  command->add_option("--threads", run.threads)->check(CLI::Range(1u, 4096u));
  command->add_option("--max-memory", texts.max_memory)->type_name("SIZE");
  command->add_option("--max-output", texts.max_output)->type_name("SIZE");
}

// Completes the run's options from their texts; a complaint, or empty.
// Without a measure, `measure_required` complains; otherwise the measure
// stays the default, Fisher z.
std::string finish_run_options(CLI::App* command, RunOptions& run, const RunTexts& texts,
                               bool measure_required) {
  MeasureKind kind = MeasureKind::kFisherZCorrelation;
  if (!texts.distance.empty()) {
    kind = texts.distance[0] == 'c' ? MeasureKind::kCentredDistance
                                    : MeasureKind::kStandardisedDistance;
  } else if (!texts.correlation.empty()) {
    kind = texts.correlation == "plain" ? MeasureKind::kPlainCorrelation
                                        : MeasureKind::kFisherZCorrelation;
  } else if (measure_required) {
    return "the measure is missing: give --distance centred|standardised or "
           "--correlation plain|fisher-z";
  }
  run.measure = Measure::of(kind, !texts.unweighted);
  if (command->count("--max-memory") > 0) {
    run.max_memory = parse_memory_size(texts.max_memory);
    if (!run.max_memory) {
      return "--max-memory: \"" + texts.max_memory +
             "\" is not a size such as 512M or 4G (K, M, G, T: powers of 1024)";
    }
  }
  if (command->count("--max-output") > 0) {
    run.max_output = parse_memory_size(texts.max_output);
    if (!run.max_output) {
      return "--max-output: \"" + texts.max_output +
             "\" is not a size such as 512M or 4G (K, M, G, T: powers of 1024)";
    }
  }
  return {};
}

// When an argument that begins with a dash is none of the command's options
// (nor the value of one), it was most likely meant as the table's name: the
// hint how to give such a name.
std::string dash_table_hint(const CLI::App* command, int argc, const char* const* argv) {
  for (int i = 2; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--") break;
    if (argument.size() < 2 || argument[0] != '-') continue;
    if (command->get_option_no_throw(argument.substr(0, argument.find('='))) != nullptr) continue;
    if (i > 2) {
      const CLI::Option* before = command->get_option_no_throw(argv[i - 1]);
      if (before != nullptr && before->get_type_size_min() > 0) continue;
    }
    return " (" + argument + " is no option: a table whose name begins with a dash is written ./" +
           argument + ", or after --, as in locprox " + argv[1] + " -- " + argument + ")";
  }
  return {};
}

}  // namespace

CommandLine parse_command_line(int argc, const char* const* argv, std::FILE* out,
                               std::FILE* err) {
  CommandLine line;
  if (argc <= 1) return line;
  line.command = Command::kFinished;

  const std::string_view first = argv[1];
  if (!first.empty() && first[0] != '-' && !is_command(first)) {
    complain(err, "unknown command \"" + std::string(first) + "\"", kProgramUsage,
             "locprox --help");
    line.exit_status = 2;
    return line;
  }

  CLI::App app{"", "locprox"};
  app.set_version_flag("--version", "locprox " LOCPROX_VERSION);
  app.require_subcommand(0, 1);

  ImportTexts import_texts;
  CLI::App* import_command = app.add_subcommand("import");
  add_import_options(import_command, line.import, import_texts);
  import_command->add_option("--threads", line.import.threads)->check(CLI::Range(1u, 4096u));

  RunTexts run_texts;
  CLI::App* run_command = app.add_subcommand("run");
  add_run_options(run_command, line.run, run_texts, true);

  ImportTexts analyse_import_texts;
  RunTexts analyse_run_texts;
  std::int32_t groups = 0;
  CLI::App* analyse_command = app.add_subcommand("analyse");
  analyse_command->alias("analyze");
  add_import_options(analyse_command, line.analyse.import, analyse_import_texts);
  add_run_options(analyse_command, line.analyse.run, analyse_run_texts, false);
  analyse_command->add_option("--out", line.analyse.out)->type_name("DIR");
  analyse_command->add_option("--groups", groups)->check(CLI::Range(1, 1000000))->type_name("K");

  struct Texts {
    const char* usage;
    const char* help;
    const char* more;
  };
  const auto texts_of_command = [&]() -> Texts {
    if (import_command->parsed()) return {kImportUsage, kImportHelp, "locprox import --help"};
    if (run_command->parsed()) return {kRunUsage, kRunHelp, "locprox run --help"};
    if (analyse_command->parsed()) return {kAnalyseUsage, kAnalyseHelp, "locprox analyse --help"};
    return {kProgramUsage, kProgramHelp, "locprox --help"};
  };
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::fputs(texts_of_command().help, out);
    return line;
  } catch (const CLI::CallForVersion& version) {
    std::fprintf(out, "%s\n", version.what());
    return line;
  } catch (const CLI::ParseError& error) {
    const Texts texts = texts_of_command();
    std::string problem = error.what();
    if (import_command->parsed()) problem += dash_table_hint(import_command, argc, argv);
    if (analyse_command->parsed()) problem += dash_table_hint(analyse_command, argc, argv);
    complain(err, problem, texts.usage, texts.more);
    line.exit_status = 2;
    return line;
  }

  const auto wrong = [&](const std::string& problem) {
    const Texts texts = texts_of_command();
    complain(err, problem, texts.usage, texts.more);
    line.exit_status = 2;
    return line;
  };
  if (import_command->parsed()) {
    const std::string problem = finish_import_options(import_command, line.import, import_texts);
    if (!problem.empty()) return wrong(problem);
    line.command = Command::kImport;
    return line;
  }
  if (run_command->parsed()) {
    const std::string problem = finish_run_options(run_command, line.run, run_texts, true);
    if (!problem.empty()) return wrong(problem);
    if (line.run.stem.empty()) return wrong("STEM is empty");
    line.command = Command::kRun;
    return line;
  }
  if (analyse_command->parsed()) {
    std::string problem =
        finish_import_options(analyse_command, line.analyse.import, analyse_import_texts);
    if (problem.empty()) {
      problem = finish_run_options(analyse_command, line.analyse.run, analyse_run_texts, false);
    }
    if (!problem.empty()) return wrong(problem);
    if (analyse_command->count("--groups") > 0) line.analyse.groups = groups;
    line.command = Command::kAnalyse;
    return line;
  }
  // The program's options alone (--help and --version have been answered).
  std::fputs(kProgramHelp, out);
  return line;
}

}  // namespace locprox
