// Runs one job through the problem-size step and the year loop with work
// arrays sized to the problem, without the dialogue, as locprox run does:
// the report, the proximity file and the console are those of locprox run
// with the same options. bench/run.sh builds it also on the reference
// accumulation (sized-run-reference), whose outputs give the checksums of
// the network-shaped job W3 that locprox run must reproduce.
//
//   sized_run JOB MAXY MAXL MAXG OPTIONS [THREADS]
//
// JOB is the stem of JOB.SEQ, JOB.NAQ, JOB.OCC and JOB.PRX; OPTIONS the four
// option codes WEIGHT PRXTYP SEDTYP CORTYP as one word, with '-' for the one
// not asked (e.g. WSC- or UCZ-... see bench/run.sh); THREADS 0 or absent for
// all hardware threads.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "format/input_unit.h"
#include "format/output_unit.h"
#include "format/run_error.h"
#include "format/units.h"
#include "job/analysis_options.h"
#include "job/problem_size.h"
#include "job/run_sequence.h"
#include "job/workspace.h"

int main(int argc, char** argv) {
  using namespace locprox;
  if (argc != 6 && argc != 7) {
    std::fprintf(stderr, "usage: %s JOB MAXY MAXL MAXG OPTIONS [THREADS]\n", argv[0]);
    return 2;
  }
  const std::string job = argv[1];
  ProblemSize size;
  size.MAXY = std::atoi(argv[2]);
  size.MAXL = std::atoi(argv[3]);
  size.MAXG = std::atoi(argv[4]);
  size.IYS = 1;
  size.IYF = size.MAXY;
  const std::string codes = argv[5];
  if (codes.size() != 4) {
    std::fprintf(stderr, "%s: OPTIONS is four characters, '-' for an option not asked\n", argv[0]);
    return 2;
  }
  auto code = [&](std::size_t k) { return codes[k] == '-' ? '\0' : codes[k]; };
  const Measure options{code(0), code(1), code(2), code(3)};
  SequenceSettings settings;
  if (argc == 7) settings.threads = static_cast<unsigned>(std::atoi(argv[6]));

  OutputUnit console(0, "standard output", OutputUnit::Style::kFile, false);
  console.adopt(STDOUT_FILENO);
  InputUnit console_input(0, "standard input");
  console_input.adopt(STDIN_FILENO);
  InputUnit observations(kObservationsUnit, job + ".SEQ");
  InputUnit names(kNamesUnit, job + ".NAQ", nullptr, InputUnit::kSmallBlock);
  OutputUnit report(kReportUnit, job + ".OCC", OutputUnit::Style::kFile, false);
  OutputUnit proximity(kProximityUnit, job + ".PRX", OutputUnit::Style::kFile, false);
  try {
    observations.open();
    names.open();
    report.open();
    proximity.open();
    Units units{console, console_input, observations, names, report, proximity};
    const SizeAnswers answers{size.MAXY, size.MAXL, size.MAXG, size.IYS, size.IYF};
    const ProblemRequirements need =
        problem_requirements(size.MAXY, size.MAXL, size.MAXG, size.IYS, size.IYF);
    std::vector<double> DZ(static_cast<std::size_t>(need.DZREQ));
    std::vector<float> Z(static_cast<std::size_t>(need.ZREQ));
    std::vector<std::int32_t> MZ(static_cast<std::size_t>(need.MZREQ));
    std::vector<Name> AZ(static_cast<std::size_t>(need.AZREQ));
    const auto capacity = [](std::size_t n) { return static_cast<std::int32_t>(n); };
    const SizeOutcome sized = size_problem(
        units, answers,
        {DZ, Z, MZ, AZ, capacity(DZ.size()), capacity(Z.size()), capacity(MZ.size()),
         capacity(AZ.size())});
    if (!sized.accepted()) return 1;
    const SequenceOutcome outcome =
        run_sequence(units, sized.workspace, sized.size, options, nullptr, settings);
    report.close();
    proximity.close();
    console.flush();
    return outcome == SequenceOutcome::kCompleted ? 0 : 1;
  } catch (const RunError& error) {
    std::fprintf(stderr, "sized_run: %s\n", error.what());
    return 2;
  }
}
