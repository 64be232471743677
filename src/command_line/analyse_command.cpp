#include "command_line/analyse_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <filesystem>
#include <system_error>

#include "command_line/run_command.h"
#include "format/job_lock.h"
#include "format/staged_file.h"
#include "import/import_error.h"
#include "import/import_table.h"
#include "summary/command_line.h"
#include "summary/errors.h"
#include "format/standard_error.h"
#include "summary/output_file.h"
#include "summary/summarise.h"

namespace locprox {
namespace {

void complain(int fd, const std::string& message) {
  write_program_message(fd, message);
}

}  // namespace

std::string default_analysis_folder(const std::string& table) {
  const std::filesystem::path path(table);
  return (path.parent_path() / path.stem()).string();
}

namespace {

// Steps 2 and 3 of an analysis, on the job the import left in `outputs`:
// returns the exit status, having said what went wrong.
int run_and_summarise(const AnalyseOptions& options, const std::string& stem,
                      ImportResult& imported, std::FILE* out, int error_fd, StagedFiles& outputs,
                      std::string& doing, std::string& closing_text,
                      bool& publish_all_the_same) {
  // 2. The run, reading the job files the import has not yet put in place,
  //    its console messages into STEM.console.txt.
  doing = "running the job " + stem;
  RunOptions run = options.run;
  run.stem = stem;
  run.quiet = false;
  const std::string console_file = run.stem + ".console.txt";
  int console = -1;
  try {
    console = outputs.add(console_file).fd();
  } catch (const std::system_error& error) {
    complain(error_fd, "cannot write " + console_file + ": " + error.code().message());
    return 2;
  }
  std::fflush(out);
  const JobSources sources{outputs.find(imported.names_file)->temporary_path(),
                           outputs.find(imported.observations_file)->temporary_path(),
                           outputs.find(imported.names_table)->temporary_path(),
                           &imported.observations_bytes};
  const int status = run_staged(run, sources, outputs, console, error_fd);
  if (status != 0) return status;

  const std::string ran = "Ran " + run.stem + ": report " + run.stem + ".OCC, proximity file " +
                          run.stem + ".PRX, console messages " + console_file + "\n\n";

  // 3. The summary of the last year's group: the result of the sequence.
  doing = "summarising " + run.stem + ".PRX";
  summary::CommandLine summary;
  summary.proximity_file = run.stem + ".PRX";
  summary.groups = options.groups;
  summary.threads = options.run.threads;
  // The summary reads the files in the making and leaves its own there.
  StagedFiles summary_outputs;
  summary::DeferredOutputs deferred(summary_outputs, &outputs);
  std::string summary_text;
  {
    // Printed only once every output is in place.
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* text = ::open_memstream(&buffer, &size);
    if (text == nullptr) throw std::bad_alloc();
    int summarised = 0;
    try {
      summarised = summary::summarise(summary, text);
    } catch (const summary::InputError& failure) {
      std::fclose(text);
      std::free(buffer);
      complain(error_fd, failure.what());
      return 2;
    } catch (const summary::RefusedRun& failure) {
      std::fclose(text);
      std::free(buffer);
      complain(error_fd, failure.what());
      return 2;
    } catch (const summary::NothingCompared& failure) {
      std::fclose(text);
      std::free(buffer);
      // The run's files are its result all the same; the summary of an
      // earlier analysis in this folder would be read as this one's groups,
      // so it goes when they are put in place.
      for (const char* suffix :
           {".pairs.csv", ".matrix.csv", ".tree.csv", ".years.csv", ".groups.csv",
            ".stability.csv", ".svg", ".html"}) {
        outputs.remove_when_published(run.stem + suffix);
      }
      closing_text = ran;
      complain(error_fd, failure.what());
      publish_all_the_same = true;
      return 1;
    } catch (const summary::OutputError& failure) {
      std::fclose(text);
      std::free(buffer);
      complain(error_fd, failure.what());
      return 2;
    } catch (...) {
      std::fclose(text);
      std::free(buffer);
      throw;
    }
    std::fclose(text);
    summary_text.assign(buffer, size);
    std::free(buffer);
    if (summarised != 0) return summarised;
  }
  outputs.take(summary_outputs);
  closing_text = ran + summary_text;
  return 0;
}

// The three steps, every output left staged in `outputs`; returns the exit
// status, having said what went wrong.
int analyse_steps(const AnalyseOptions& options, const std::string& stem, std::FILE* out,
                  int error_fd, StagedFiles& outputs, std::string& doing,
                  std::string& closing_text, bool& publish_all_the_same) {
  // 1. The import, into the folder.
  doing = "importing " + options.import.table;
  ImportOptions import = options.import;
  import.stem = stem;
  import.threads = options.run.threads;
  // The run reads the observations from memory; STEM.SEQ is written all the same.
  import.keep_observations = true;
  // The run and the summary go on while the import writes its list of
  // merged replicates, which neither reads.
  int status = 0;
  try {
    import_table(import, &outputs, [&](ImportResult& imported) {
      print_import_report(imported, out, false);
      status = run_and_summarise(options, stem, imported, out, error_fd, outputs, doing,
                                 closing_text, publish_all_the_same);
      // What may still be going on once they are done.
      doing = "writing " + stem + ".replicates.csv";
    });
  } catch (const ImportError& failure) {
    complain(error_fd, failure.what());
    return 2;
  }
  return status;
}

}  // namespace

int analyse_command(const AnalyseOptions& options, std::FILE* out, int error_fd) {
  namespace fs = std::filesystem;
  // Every option that needs no file is checked before anything is made.
  if (options.groups && *options.groups < 1) {
    complain(error_fd, "--groups " + std::to_string(*options.groups) +
                           ": the number of groups must be at least 1");
    return 2;
  }
  const std::string folder = options.out ? *options.out : default_analysis_folder(options.import.table);
  std::error_code error;
  fs::create_directories(folder, error);
  if (error || !fs::is_directory(folder)) {
    complain(error_fd, "cannot make the folder " + folder + ": " +
                           (error ? error.message() : std::string("a file of that name is there")));
    return 2;
  }
  const std::string stem_name = options.import.stem ? *options.import.stem
                                                    : default_stem(options.import.table);
  const std::string stem = (fs::path(folder) / stem_name).string();

  // One writer of this job in this folder at a time.
  JobLock lock;
  if (!take_job_lock(lock, stem, error_fd)) return 1;
  std::string problem;

  // Every output is made under a temporary name and put in place only when
  // all three steps are done: an analysis that stops, however it stops,
  // leaves the folder's earlier result whole and no part of the new one.
  StagedFiles outputs;
  std::string doing = "starting";
  std::string closing_text;
  // A run that compares no pair is put in place without a summary (status 1).
  bool publish_all_the_same = false;
  int status = 0;
  try {
    status = analyse_steps(options, stem, out, error_fd, outputs, doing, closing_text,
                           publish_all_the_same);
  } catch (const std::bad_alloc&) {
    outputs.discard_all();
    complain(error_fd, stem + ": out of memory while " + doing + "; nothing was written");
    return 2;
  }
  if (status != 0 && !publish_all_the_same) {
    outputs.discard_all();
    // The run's refusal (too large, a refused problem, a busy job) is
    // status 1; every other failure of a step is an error stop.
    return status == 1 ? 1 : 2;
  }
  if (outputs.publish_all(problem) != 0) {
    complain(error_fd, problem);
    return 2;
  }
  std::fputs(closing_text.c_str(), out);
  std::fflush(out);
  return status;
}

}  // namespace locprox
