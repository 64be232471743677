// locprox-summary: from the running sums of a proximity file to the averages,
// the groups of locations and a picture. The command line and the exit
// statuses; the work is summarise().
#include <cstdio>
#include <new>
#include <string>

#include "format/huge_pages.h"
#include "format/job_lock.h"
#include "format/staged_file.h"
#include "format/mapped_file_stop.h"
#include "summary/command_line.h"
#include "summary/errors.h"
#include "summary/output_file.h"
#include "summary/summarise.h"

namespace {

constexpr int kBadInput = 2;
constexpr int kWriteFailed = 1;
constexpr int kRefusedRun = 1;  // as the run itself ends

}  // namespace

int main(int argc, char** argv) {
  using namespace locprox::summary;
  const ParsedCommandLine parsed = parse_command_line(argc, argv, stdout, stderr);
  if (!parsed.command) return parsed.exit_status;
  // The history of a large job is held whole: its memory in huge pages.
  locprox::restart_with_huge_pages(argv);
  const CommandLine& command = *parsed.command;
  // One writer of a job's files in a folder at a time.
  const std::string stem = command.out.value_or(job_stem(command.proximity_file));
  locprox::JobLock lock;
  std::string problem;
  switch (lock.take(stem, problem)) {
    case locprox::JobLock::Outcome::kTaken:
      break;
    case locprox::JobLock::Outcome::kBusy:
      std::fprintf(stderr, "locprox-summary: %s\n", problem.c_str());
      return kRefusedRun;
    case locprox::JobLock::Outcome::kFailed:
      break;  // a folder that cannot hold the lock file cannot hold the outputs: they say why
  }
  // Interrupted, the summary leaves no file half-written; its outputs are
  // put in place together once all are written. A proximity file cut short
  // by another program while it is read stops it as an error does.
  locprox::remove_temporaries_on_signals();
  locprox::stop_when_a_mapped_file_shrinks("locprox-summary");
  locprox::StagedFiles outputs;
  try {
    int status = 0;
    {
      DeferredOutputs deferred(outputs);
      status = summarise(command, stdout);
    }
    if (status == 0 && outputs.publish_all(problem) != 0) {
      std::fprintf(stderr, "locprox-summary: %s\n", problem.c_str());
      return kWriteFailed;
    }
    return status;
  } catch (const std::bad_alloc&) {
    outputs.discard_all();
    std::fprintf(stderr, "locprox-summary: %s: out of memory while summarising it; no file was "
                 "written\n", command.proximity_file.c_str());
    return kBadInput;
  } catch (const InputError& e) {
    std::fprintf(stderr, "locprox-summary: %s\n", e.what());
    return kBadInput;
  } catch (const RefusedRun& e) {
    std::fprintf(stderr, "locprox-summary: %s\n", e.what());
    return kRefusedRun;
  } catch (const NothingCompared& e) {
    std::fprintf(stderr, "locprox-summary: %s\n", e.what());
    return kRefusedRun;
  } catch (const OutputError& e) {
    std::fprintf(stderr, "locprox-summary: %s\n", e.what());
    return kWriteFailed;
  }
}
