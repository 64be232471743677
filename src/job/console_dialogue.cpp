#include "job/console_dialogue.h"

#include <unistd.h>

#include <csignal>
#include <memory>
#include <string>

#include "format/run_error.h"
#include "format/unit_names.h"
#include "job/analysis_options.h"
#include "job/job_dialogue.h"
#include "job/job_files.h"
#include "job/problem_size.h"
#include "format/standard_error.h"
#include "job/run_sequence.h"
#include "job/work_arrays.h"

namespace locprox {
namespace {

void write_error(int error_fd, const std::string& message) {
  write_program_message(error_fd, message);
}

}  // namespace

RunOutcome run_problem(Units& units, const WorkArrayViews& work, const WarningSink* warnings) {
  const SizeAnswers answers = ask_problem_size(units.console, units.console_input);
  const SizeOutcome sized = size_problem(units, answers, work);
  switch (sized.verdict) {
    case SizeOutcome::Verdict::kRefused:
      return RunOutcome::kProblemRefused;
    case SizeOutcome::Verdict::kArraysTooSmall:
      return RunOutcome::kArraysTooSmall;
    case SizeOutcome::Verdict::kAccepted:
      break;
  }
  const Measure measure = ask_analysis_options(units.console, units.console_input);
  if (warnings != nullptr) {
    for (const std::string& warning : option_warnings(measure)) warnings->warn(warning);
  }
  SequenceNotes notes;
  switch (run_sequence(units, sized.workspace, sized.size, measure, &notes)) {
    case SequenceOutcome::kNamesDisagree:
      return RunOutcome::kNamesDisagree;
    case SequenceOutcome::kCompleted:
      break;
  }
  if (warnings != nullptr) {
    if (notes.skipped_records > 0) {
      warnings->warn(skipped_records_warning(units.observations.name(), notes.skipped_records,
                                             notes.first_skipped_line));
    }
    for (const std::string& warning :
         equal_names_warnings(sized.workspace, sized.size, units.names.name())) {
      warnings->warn(warning);
    }
  }
  return RunOutcome::kCompleted;
}

int exit_status(RunOutcome outcome) {
  constexpr int kRefused = 1;  // a refused run ends after its messages and records
  return outcome == RunOutcome::kCompleted ? 0 : kRefused;
}

int run_console_dialogue(int input_fd, int output_fd, int error_fd) {
  // Standard output into a pipe that is no longer read is a failed write like
  // any other: an error stop that keeps what the files hold, not a silent
  // death by signal.
  ::signal(SIGPIPE, SIG_IGN);
  // On an interactive console the first character of each record is
  // carriage control; redirected, the console is written like a file.
  const auto console_style =
      ::isatty(output_fd) ? OutputUnit::Style::kConsole : OutputUnit::Style::kFile;
  OutputUnit console(kConsoleUnit, "standard output", console_style, true);
  console.adopt(output_fd);
  InputUnit console_input(kConsoleUnit, "standard input", &console, InputUnit::kSmallBlock);
  console_input.adopt(input_fd);
  std::unique_ptr<InputUnit> observations;
  std::unique_ptr<InputUnit> names;
  std::unique_ptr<OutputUnit> report;
  std::unique_ptr<OutputUnit> proximity;
  try {
    const JobFileNames file_names = ask_file_names(console, console_input);
    observations =
        std::make_unique<InputUnit>(kObservationsUnit, trimmed_file_name(file_names.observations));
    names = std::make_unique<InputUnit>(kNamesUnit, trimmed_file_name(file_names.names), nullptr,
                                        InputUnit::kSmallBlock);
    report = std::make_unique<OutputUnit>(kReportUnit, trimmed_file_name(file_names.report),
                                          OutputUnit::Style::kFile, false);
    proximity = std::make_unique<OutputUnit>(
        kProximityUnit, trimmed_file_name(file_names.proximity), OutputUnit::Style::kFile, false);
    Units units{console, console_input, *observations, *names, *report, *proximity};
    open_job_files(units);

    auto work = std::make_unique<WorkArrays>();
    const WarningSink warnings(error_fd);
    const RunOutcome outcome = run_problem(units, work->views(), &warnings);

    // A failed write or close of either output file is an error stop, never
    // a normal end.
    report->close();
    proximity->close();
    console.flush();
    return exit_status(outcome);
  } catch (const RunError& error) {
    // What was written before the stop is kept.
    if (report) report->close_quietly();
    if (proximity) proximity->close_quietly();
    console.close_quietly();
    write_error(error_fd, error.what());
    return 2;
  }
}

}  // namespace locprox
