#include "summary/command_line.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

#include "summary/errors.h"

namespace locprox::summary {

const char* const kHelpText =
    R"(Usage: locprox-summary JOB.PRX [options]

Reads the proximity file of a locprox run and turns the running sums and
counts of one year's group into averages, groups of locations and a picture.
The names come from JOB.names.csv when it is beside JOB.PRX (the full names
that locprox import keeps), else from the names file JOB.NAQ, else the
locations are numbered; the picture's title is the job's title from JOB.NAQ.

For every pair of locations with a positive count the average is
PROX / NGPAIR for a weighted run and PROX / NYPAIR otherwise. A correlation
run averaged on Fisher's z scale is turned back into a correlation with tanh,
unless --z is given. Averages are written to 9 significant digits.

Writes, beside JOB.PRX (or under the stem given with --out):
  JOB.pairs.csv   one row per pair: location_i, name_i, location_j, name_j,
                  average, sum (PROX), entries_in_common, years_compared
                  (NYPAIR), then ci_low, ci_high (the 95 % interval),
                  heterogeneity_q, heterogeneity_df, heterogeneity_p
                  (Cochran's Q over the years and its chi-square p), all
                  for a weighted Fisher z run only, and sd_years (the spread
                  of the yearly values around the average, weighted by the
                  counts in a weighted run; two years or more); the diagonal
                  only where the measure fills it; an empty average where the
                  pair was never compared.
                  entries_in_common is NGPAIR, except between two locations
                  of a Fisher z run, where the file counts each year's
                  entries less 3: there it is NGPAIR + 3 x NYPAIR
  JOB.matrix.csv  the symmetric location-by-location matrix of averages, names
                  as header row and first column, empty cells where never
                  compared
  JOB.tree.csv    the clustering's merges: step, merge1, merge2, height, as
                  the merge and height of R's hclust (a location is -i, the
                  group formed at step s is s; height Inf for groups joined
                  with no compared pair between them)
  JOB.years.csv   each pair's own value in every year it was compared
  JOB.groups.csv  k, location, name, group: the tree cut at every k from 2 to
                  min(10, locations - 1)
  JOB.stability.csv  location_i, name_i, location_j, name_j, together, runs:
                  with each year compared left out in turn, in how many of
                  those runs the two locations were in one group
  JOB.html        one self-contained page to open in a browser or send by
                  mail: the heatmap with the dendrogram, every pair's
                  details, the groups for any number of groups, the state
                  after each year of the sequence and a table of the pairs
                  (every year while locations x (locations + 1) / 2 x years
                  stays within 300,000; beyond it the latest years that fit)
  JOB.svg         a heatmap in the clustering's order with the dendrogram,
                  a colour scale, never-compared pairs in grey, pale (dotted)
                  pairs: in a weighted Fisher z run those whose 95 % interval
                  is wider than --max-interval, else those with fewer than
                  --min-common entries in common,
                  the diagonal of a correlation in light grey off the scale,
                  and each cell's value up to 20 locations
and prints a short summary: the groups (with their leave-one-year-out
account) and, for a weighted Fisher z run, the most alike pairs by the lower
end of their interval and the pairs whose years disagree (p < 0.01).

The locations are grouped by average-linkage clustering on the averages (the
distance itself for squared Euclidean runs, 1 - r for correlation runs), using
only the pairs that were compared: the distance between two groups is the mean
over their compared pairs, and groups with no compared pair between them join
last. Ties go to the groups holding the lowest location numbers. Without
--groups the number of groups is the K from 2 to min(10, locations - 1) with
the largest gap between successive merge heights.

Options:
  --names FILE      read the names from the names file FILE only (default:
                    JOB.names.csv, then JOB.NAQ); without either the
                    locations are numbered; a names file or table whose
                    counts differ from the proximity file's is refused
  --year N          summarise year number N (default: the last year of the
                    file, the result of the whole sequence)
  --z               keep Fisher z averages on the z scale (the diagonal, which
                    holds plain correlations, is then left empty; the
                    clustering still joins on 1 - r)
  --groups K        cut the clustering into K groups (K from 1 to the
                    number of locations; default: chosen by the largest gap)
  --min-common N    flag pairs compared on fewer than N entries in common
                    (default 10)
  --max-interval W  in a weighted Fisher z run, pale cells are the pairs whose
                    95 % interval is wider than W (default 0.5)
  --out STEM        write the files under STEM in place of JOB
  --no-html         do not write JOB.html
  --threads N       threads for reading the file's year groups and for the
                    leave-one-year-out clusterings (default: every hardware
                    thread); the outputs are the same for every N
  -h, --help        this text

A count too wide for its six columns (written as asterisks) leaves its field
empty in the CSV, and a pair whose average needs it has no average; a warning
says so.

Exit status: 0 on success; 1 for the proximity file of a refused run (it
holds only the dimension record, or the dimension and option records; the
reason is quoted from the report JOB.OCC when it is beside it), for one in
which no pair of locations has been compared by the year summarised ("no pair
compared": nothing to group; check the year and location columns of the
table), and when an output file cannot be written; 2 for a bad command line or a file that cannot
be read or does not have the layout of a proximity file, names file or table
of names (the message names the file and the line).
)";

namespace {

constexpr const char* kUsage =
    "Usage: locprox-summary JOB.PRX [--names FILE] [--year N] [--z] [--groups K]\n"
    "                               [--min-common N] [--max-interval W] [--out STEM]\n"
    "                               [--no-html] [--threads N]\n";

std::int64_t integer_value(const std::string& option, const std::string& text, std::int64_t low,
                           std::int64_t high) {
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    throw InputError(option + " needs a whole number, not \"" + text + "\"");
  }
  if (value < low || value > high) {
    throw InputError(option + " " + text + " is out of range (" + std::to_string(low) + " to " +
                     std::to_string(high) + ")");
  }
  return value;
}

bool ends_with_extension(const std::string& path, std::string& extension) {
  if (path.size() < 4) return false;
  extension = path.substr(path.size() - 4);
  return extension == ".PRX" || extension == ".prx" || extension == ".Prx";
}

// The options as the command line gives them; their numbers are read and
// checked after CLI11 has split the arguments, so that each complaint names
// the option and the text it was given.
struct OptionTexts {
  std::vector<std::string> files;
  std::string year, groups, min_common, max_interval, threads;
};

// Completes `line` from the texts; throws InputError with the complaint.
void finish_options(const CLI::App& app, const OptionTexts& texts, CommandLine& line) {
  constexpr std::int64_t kIntMax = std::numeric_limits<std::int32_t>::max();
  const std::vector<std::string> unknown = app.remaining();
  if (!unknown.empty()) throw InputError("unknown option " + unknown.front());
  if (texts.files.empty()) throw InputError("no proximity file given");
  if (texts.files.size() > 1) {
    throw InputError("one proximity file only: \"" + texts.files[0] + "\" and \"" + texts.files[1] +
                     "\" were both given");
  }
  line.proximity_file = texts.files.front();
  if (app.count("--year") > 0) {
    line.year = static_cast<std::int32_t>(integer_value("--year", texts.year, -kIntMax, kIntMax));
  }
  if (app.count("--groups") > 0) {
    line.groups = static_cast<std::int32_t>(integer_value("--groups", texts.groups, 1, kIntMax));
  }
  if (app.count("--min-common") > 0) {
    line.min_common = integer_value("--min-common", texts.min_common, 0, kIntMax);
  }
  if (app.count("--max-interval") > 0) {
    const std::string& text = texts.max_interval;
    double value = 0.0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !(value > 0.0) || !std::isfinite(value)) {
      throw InputError("--max-interval needs a positive number, not \"" + text + "\"");
    }
    line.max_interval = value;
  }
  if (app.count("--threads") > 0) {
    line.threads = static_cast<unsigned>(integer_value("--threads", texts.threads, 1, 4096));
  }
  if (line.out && line.out->empty()) throw InputError("--out needs a non-empty stem");
}

void complain(std::FILE* err, const std::string& problem) {
  std::fprintf(err, "locprox-summary: %s\n%sRun 'locprox-summary --help' for more.\n",
               problem.c_str(), kUsage);
}

}  // namespace

ParsedCommandLine parse_command_line(int argc, const char* const* argv, std::FILE* out,
                                     std::FILE* err) {
  ParsedCommandLine parsed;
  CommandLine line;
  OptionTexts texts;
  CLI::App app{"", "locprox-summary"};
  app.allow_extras();
  app.add_option("JOB.PRX", texts.files);
  app.add_option("--names", line.names)->type_name("FILE");
  app.add_option("--year", texts.year)->type_name("N");
  app.add_flag("--z", line.keep_z)->disable_flag_override();
  app.add_option("--groups", texts.groups)->type_name("K");
  app.add_option("--min-common", texts.min_common)->type_name("N");
  app.add_option("--max-interval", texts.max_interval)->type_name("W");
  app.add_option("--out", line.out)->type_name("STEM");
  app.add_option("--threads", texts.threads)->type_name("N");
  bool no_html = false;
  app.add_flag("--no-html", no_html)->disable_flag_override();
  try {
    app.parse(argc, argv);
    finish_options(app, texts, line);
  } catch (const CLI::CallForHelp&) {
    std::fputs(kHelpText, out);
    return parsed;
  } catch (const CLI::ParseError& error) {
    complain(err, error.what());
    parsed.exit_status = 2;
    return parsed;
  } catch (const InputError& error) {
    complain(err, error.what());
    parsed.exit_status = 2;
    return parsed;
  }
  line.html = !no_html;
  parsed.command = std::move(line);
  return parsed;
}

std::string job_stem(const std::string& proximity_file) {
  std::string extension;
  if (ends_with_extension(proximity_file, extension)) {
    return proximity_file.substr(0, proximity_file.size() - 4);
  }
  return proximity_file;
}

std::string default_names_file(const std::string& proximity_file) {
  std::string extension;
  if (ends_with_extension(proximity_file, extension) && extension == ".prx") {
    return job_stem(proximity_file) + ".naq";
  }
  return job_stem(proximity_file) + ".NAQ";
}

}  // namespace locprox::summary
