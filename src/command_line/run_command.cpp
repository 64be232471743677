#include "command_line/run_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "command_line/memory_limit.h"
#include "report/output_size.h"
#include "command_line/year_choice.h"
#include "format/input_unit.h"
#include "format/names.h"
#include "format/job_lock.h"
#include "format/output_unit.h"
#include "format/run_error.h"
#include "format/staged_file.h"
#include "format/standard_error.h"
#include "format/unit_names.h"
#include "format/units.h"
#include "input/names_file.h"
#include "job/problem_size.h"
#include "job/run_sequence.h"
#include "job/run_warnings.h"
#include "job/work_arrays.h"
#include "format/zeroed_block.h"

namespace locprox {
namespace {

void write_text(int fd, const std::string& text) {
  write_to_descriptor(fd, text);
}

void complain(int fd, const std::string& message) {
  write_program_message(fd, message);
}

// What the names file says of the job: its counts and the names of its
// years.
struct JobNames {
  NamesCounts counts;
  YearNames years;
};

// Checks that the names file, read up to its year names, holds exactly the
// names its counts call for: one line for every location and entry, then
// nothing but blank lines. A names file with more names than its counts
// say would have every later name shift by one and label the wrong
// location, so it is refused (as the dialogue refuses such a file, whose
// counts disagree with the problem it is given). Stops the run naming the
// file and the line of the first name too many, or the end of a file with
// too few.
void check_name_lines(InputUnit& names, const NamesCounts& c) {
  const std::int64_t expected = static_cast<std::int64_t>(c.years) + c.locations + c.entries;
  std::string_view record;
  for (std::int64_t n = 0; n < static_cast<std::int64_t>(c.locations) + c.entries; ++n)
    if (!names.next_record(record)) names.fail_at_end();
  while (names.next_record(record)) {
    bool blank = true;
    for (char ch : record) blank = blank && static_cast<unsigned char>(ch) <= ' ';
    if (blank) continue;
    names.fail("a name beyond the " + std::to_string(expected) + " that the counts " +
               std::to_string(c.years) + " " + std::to_string(c.locations) + " " +
               std::to_string(c.entries) +
               " (years, locations, entries) call for; correct the counts or remove the "
               "extra names");
  }
}

// Reads the names file's counts and year names (the run reads the whole file
// again later, as the dialogue's run does). Returns false, having said why,
// when the counts cannot be a problem's or their names would not fit the
// memory allowed.
bool read_job_names(const std::string& names_file, const std::string& read_from,
                    std::uint64_t limit, int error_fd, JobNames& job) {
  InputUnit names(kNamesUnit, names_file, nullptr, InputUnit::kSmallBlock);
  names.open_path(read_from);
  read_title(names);
  read_names_counts(names, job.counts);
  const NamesCounts& c = job.counts;
  if (c.years < 0 || c.locations < 0 || c.entries < 0) {
    complain(error_fd, names_file + ": the numbers of years, locations and entries (" +
                           std::to_string(c.years) + " " + std::to_string(c.locations) + " " +
                           std::to_string(c.entries) + ") cannot be negative");
    return false;
  }
  const std::uint64_t name_bytes = static_cast<std::uint64_t>(c.years) * sizeof(Name);
  if (name_bytes > limit) {
    complain(error_fd, names_file + ": " + std::to_string(c.years) + " years need " +
                           memory_text(name_bytes) + " for their names alone, more than the " +
                           memory_text(limit) + " allowed (--max-memory)");
    return false;
  }
  std::vector<Name> year_names(static_cast<std::size_t>(c.years));
  read_names(names, year_names, {}, {}, c.years, 0, 0);
  for (const Name& name : year_names) job.years.names.emplace_back(trimmed_right(name));
  check_name_lines(names, c);
  return true;
}

// Work arrays of exactly the sizes a problem requires, the numeric ones
// zeroed by the system.
struct SizedArrays {
  ZeroedBlock<double> DZ;
  ZeroedBlock<float> Z;
  ZeroedBlock<std::int32_t> MZ;
  std::vector<Name> AZ;

  explicit SizedArrays(const ProblemRequirements& need)
      : DZ(static_cast<std::size_t>(need.DZREQ)),
        Z(static_cast<std::size_t>(need.ZREQ)),
        MZ(static_cast<std::size_t>(need.MZREQ)),
        AZ(static_cast<std::size_t>(need.AZREQ)) {}

  // The capacities are the requirements, so every check passes; the
  // dimensions block shows the sizes used.
  WorkArrayViews views() {
    const auto capacity = [](std::size_t size) { return static_cast<std::int32_t>(size); };
    WorkArrayViews views{DZ.span(),
                         Z.span(),
                         MZ.span(),
                         AZ,
                         capacity(DZ.size()),
                         capacity(Z.size()),
                         capacity(MZ.size()),
                         capacity(AZ.size())};
    views.zeroed = true;
    return views;
  }
};

// "year 3 of 15 (2011)" on a terminal's standard error, rewritten at every
// year, cleared at the end; and the year being run, for a message when the
// memory runs out.
struct ProgressLine {
  int fd;
  std::int32_t IYS, NYA;
  const std::vector<std::string>* names;
  bool on_terminal = false;
  std::string* doing = nullptr;
  bool shown = false;

  static void year_started(void* context, std::int32_t IY, std::int32_t K) {
    auto& line = *static_cast<ProgressLine*>(context);
    if (line.doing != nullptr) {
      *line.doing = "running year " + std::to_string(K) + " of " + std::to_string(line.NYA);
      const auto index = static_cast<std::size_t>(IY - 1);
      if (index < line.names->size()) *line.doing += " (" + (*line.names)[index] + ")";
    }
    if (!line.on_terminal) return;
    std::string text = "\rlocprox: year " + std::to_string(K) + " of " + std::to_string(line.NYA);
    const auto index = static_cast<std::size_t>(IY - 1);
    if (index < line.names->size()) text += " (" + (*line.names)[index] + ")";
    write_text(line.fd, text + "\x1b[K");
    line.shown = true;
  }
  void clear() {
    if (shown) write_text(fd, "\r\x1b[K");
    shown = false;
  }
  ~ProgressLine() { clear(); }
};

int open_null(int flags) {
  return ::open("/dev/null", flags | O_CLOEXEC);
}

// Whether the report and the proximity file fit the room allowed
// (--max-output, by default the free space of their folder less a margin);
// says why not when they do not.
bool output_fits(const RunOptions& o, const SizeAnswers& answers, const Measure& measure,
                 int error_fd) {
  const std::size_t slash = o.stem.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : o.stem.substr(0, slash + 1);
  const std::optional<std::uint64_t> limit =
      o.max_output ? o.max_output : default_output_limit(folder);
  if (!limit) return true;
  const OutputSizes sizes =
      output_sizes(answers.MAXY, answers.MAXL, answers.MAXG, answers.IYS, answers.IYF, measure);
  if (sizes.total() <= *limit) return true;
  const std::string source =
      o.max_output ? "--max-output" : "the free space of " + folder + " less a margin";
  complain(error_fd, o.stem + ": refused: " + std::to_string(answers.IYF - answers.IYS + 1) +
                         " years of " + std::to_string(answers.MAXL) + " locations and " +
                         std::to_string(answers.MAXG) + " entries would write " +
                         memory_text(sizes.total()) + " (" + std::to_string(sizes.total()) +
                         " bytes: report " + memory_text(sizes.report) + ", proximity file " +
                         memory_text(sizes.proximity) + "), more than the " +
                         memory_text(*limit) + " allowed (" + source +
                         "); nothing was written. The report grows with the square of the "
                         "number of years: run fewer (--from/--to), or allow more with "
                         "--max-output SIZE");
  return false;
}

// A descriptor closed when the run ends.
struct OwnedDescriptor {
  int fd = -1;
  ~OwnedDescriptor() {
    if (fd >= 0) ::close(fd);
  }
};

// The run itself: the problem from the names file and the command line,
// refused before anything is made when it is not one or too large; then the
// run into staged outputs, which are left unpublished.
int run_staged_steps(const RunOptions& o, const JobSources& sources, StagedFiles& outputs,
                     int output_fd, int error_fd, std::string& doing) {
  const std::uint64_t limit = o.max_memory ? *o.max_memory : default_memory_limit();
  const std::string limit_source =
      o.max_memory ? "--max-memory" : "the memory available less a margin; see --max-memory";

  // 1. The problem, from the names file and the command line; refused
  //    before anything is written when it is not one, or too large.
  JobNames job;
  try {
    if (!read_job_names(o.stem + ".NAQ", sources.names, limit, error_fd, job)) return 1;
  } catch (const RunError& error) {
    complain(error_fd, error.what());
    return 2;
  }
  std::string names_table_problem;
  job.years.full_names =
      full_year_names(sources.names_table, job.years.names.size(), &names_table_problem);
  if (!names_table_problem.empty()) {
    complain(error_fd,
             "warning: " + names_table_problem + "; the years' full names in it are not used");
  }
  SizeAnswers answers{job.counts.years, job.counts.locations, job.counts.entries, 1,
                      job.counts.years};
  try {
    if (o.from) answers.IYS = find_year(*o.from, job.years, "--from");
    if (o.to) answers.IYF = find_year(*o.to, job.years, "--to");
  } catch (const YearChoiceError& error) {
    complain(error_fd, error.what());
    return 2;
  }
  if (answers.IYF < answers.IYS && answers.MAXY > 0) {
    complain(error_fd, "--to " + *o.to + " is year #" + std::to_string(answers.IYF) +
                           ", before the first year of the sequence, #" +
                           std::to_string(answers.IYS));
    return 2;
  }
  const ProblemRequirements need =
      problem_requirements(answers.MAXY, answers.MAXL, answers.MAXG, answers.IYS, answers.IYF);
  // The work arrays and the program, and what the year loop takes besides.
  RunMemory memory = run_memory(need);
  const std::uint64_t year_loop = year_loop_memory(need, o.threads);
  memory.total = memory.total > std::numeric_limits<std::uint64_t>::max() - year_loop
                     ? std::numeric_limits<std::uint64_t>::max()
                     : memory.total + year_loop;
  constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
  const bool countable = need.DZREQ <= kLargest && need.ZREQ <= kLargest &&
                         need.MZREQ <= kLargest && need.AZREQ <= kLargest;
  const std::string problem = std::to_string(answers.MAXY) + " years (" + std::to_string(need.NYA) +
                              " in the sequence), " + std::to_string(answers.MAXL) +
                              " locations and " + std::to_string(answers.MAXG) + " entries";
  if (!countable) {
    complain(error_fd, o.stem + ": refused: a work array of " + problem +
                           " would hold more than 2147483647 elements, the most a run can "
                           "count (it would need " +
                           memory_text(memory.total) + ")");
    return 1;
  }
  if (memory.total > limit) {
    complain(error_fd, o.stem + ": refused: " + problem + " need " + memory_text(memory.total) +
                           " of memory (work arrays " + memory_text(memory.work_arrays) +
                           "), more than the " + memory_text(limit) + " allowed (" + limit_source +
                           ")");
    return 1;
  }
  if (!output_fits(o, answers, o.measure, error_fd)) return 1;
  doing = "making the work arrays";
  std::unique_ptr<SizedArrays> arrays;
  try {
    arrays = std::make_unique<SizedArrays>(need);
  } catch (const std::bad_alloc&) {
    complain(error_fd, o.stem + ": refused: " + problem + " need " + memory_text(memory.total) +
                           " of memory, and the system would not give it");
    return 1;
  }

  // 2. The job files, then the run as the dialogue's run goes on once the
  //    problem is known. The report and the proximity file are written under
  //    temporary names beside their own.
  doing = "starting the run";
  OwnedDescriptor null_input{open_null(O_RDONLY)};
  OwnedDescriptor null_console{o.quiet ? open_null(O_WRONLY) : -1};
  const int console_fd = o.quiet ? null_console.fd : output_fd;
  const auto console_style =
      !o.quiet && ::isatty(output_fd) ? OutputUnit::Style::kConsole : OutputUnit::Style::kFile;
  OutputUnit console(kConsoleUnit, "standard output", console_style, true);
  console.adopt(console_fd);
  InputUnit console_input(kConsoleUnit, "standard input");
  console_input.adopt(null_input.fd);
  InputUnit observations(kObservationsUnit, o.stem + ".SEQ");
  InputUnit names(kNamesUnit, o.stem + ".NAQ", nullptr, InputUnit::kSmallBlock);
  OutputUnit report(kReportUnit, o.stem + ".OCC", OutputUnit::Style::kFile, false);
  OutputUnit proximity(kProximityUnit, o.stem + ".PRX", OutputUnit::Style::kFile, false);
  Units units{console, console_input, observations, names, report, proximity};

  const WarningSink warnings(error_fd);
  int status = 0;
  try {
    if (sources.observations_bytes != nullptr) {
      observations.adopt_bytes(std::move(*sources.observations_bytes));
    } else {
      observations.open_path(sources.observations);
    }
    names.open_path(sources.names);
    try {
      report.adopt(outputs.add(report.name()).fd());
      proximity.adopt(outputs.add(proximity.name()).fd());
      report.write_back_as_written();
      proximity.write_back_as_written();
    } catch (const std::system_error& error) {
      report.fail("cannot create or replace the file: " + error.code().message());
    }
    const SizeOutcome sized = size_problem(units, answers, arrays->views());
    if (!sized.accepted()) {
      status = 1;
    } else {
      ProgressLine progress{error_fd, answers.IYS, sized.size.NYA, &job.years.names};
      progress.on_terminal = ::isatty(error_fd) && (o.quiet || !::isatty(output_fd));
      progress.doing = &doing;
      SequenceNotes notes;
      notes.year_started = ProgressLine::year_started;
      notes.context = &progress;
      SequenceSettings settings;
      settings.threads = o.threads;
      const SequenceOutcome outcome =
          run_sequence(units, sized.workspace, sized.size, o.measure, &notes, settings);
      progress.clear();
      doing = "finishing the run";
      if (outcome != SequenceOutcome::kCompleted) {
        status = 1;  // the names file changed since it was read
      } else {
        if (notes.skipped_records > 0) {
          warnings.warn(skipped_records_warning(observations.name(), notes.skipped_records,
                                                notes.first_skipped_line));
        }
        for (const std::string& warning :
             equal_names_warnings(sized.workspace, sized.size, names.name())) {
          warnings.warn(warning);
        }
        const std::string nothing_compared =
            no_pair_compared_warning(sized.workspace, sized.size, o.stem);
        if (!nothing_compared.empty()) warnings.warn(nothing_compared);
      }
    }
    report.close();
    proximity.close();
    console.flush();
  } catch (const RunError& error) {
    report.close_quietly();
    proximity.close_quietly();
    console.close_quietly();
    outputs.discard_all();
    complain(error_fd, error.what());
    return 2;
  }
  // A refused run leaves the earlier outputs as they were.
  if (status != 0) outputs.discard_all();
  return status;
}

}  // namespace

JobSources job_sources(const std::string& stem) {
  return {stem + ".NAQ", stem + ".SEQ", stem + ".names.csv"};
}

int run_staged(const RunOptions& o, const JobSources& sources, StagedFiles& outputs,
               int output_fd, int error_fd) {
  // Standard output into a pipe no longer read is a failed write, an error
  // stop that keeps what the files hold.
  ::signal(SIGPIPE, SIG_IGN);
  // What the run is doing, for the message when memory runs out.
  std::string doing = "reading the names file";
  try {
    return run_staged_steps(o, sources, outputs, output_fd, error_fd, doing);
  } catch (const std::bad_alloc&) {
    outputs.discard_all();
    complain(error_fd, o.stem + ": out of memory while " + doing +
                           "; nothing was written (see --max-memory)");
    return 2;
  }
}

bool take_job_lock(JobLock& lock, const std::string& stem, int error_fd) {
  std::string problem;
  if (lock.take(stem, problem) != JobLock::Outcome::kBusy) return true;
  complain(error_fd, problem);
  return false;
}

int run_command(const RunOptions& o, int output_fd, int error_fd) {
  JobLock lock;
  if (!take_job_lock(lock, o.stem, error_fd)) return 1;
  std::string problem;
  StagedFiles outputs;
  const int status = run_staged(o, job_sources(o.stem), outputs, output_fd, error_fd);
  if (status != 0) return status;
  if (outputs.publish_all(problem) != 0) {
    complain(error_fd, problem);
    return 2;
  }
  return 0;
}

}  // namespace locprox
