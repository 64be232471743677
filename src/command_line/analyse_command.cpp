#include "command_line/analyse_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "import/import_error.h"
#include "import/import_table.h"
#include "summary/command_line.h"
#include "summary/errors.h"
#include "format/standard_error.h"
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

int analyse_command(const AnalyseOptions& options, std::FILE* out, int error_fd) {
  namespace fs = std::filesystem;
  const std::string folder = options.out ? *options.out : default_analysis_folder(options.import.table);
  std::error_code error;
  fs::create_directories(folder, error);
  if (error || !fs::is_directory(folder)) {
    complain(error_fd, "cannot make the folder " + folder + ": " +
                           (error ? error.message() : std::string("a file of that name is there")));
    return 2;
  }

  // 1. The import, into the folder.
  ImportOptions import = options.import;
  const std::string stem_name = options.import.stem ? *options.import.stem
                                                    : default_stem(options.import.table);
  import.stem = (fs::path(folder) / stem_name).string();
  try {
    const ImportResult result = import_table(import);
    print_import_report(result, out, false);
  } catch (const ImportError& failure) {
    complain(error_fd, failure.what());
    return 2;
  } catch (const std::bad_alloc&) {
    complain(error_fd, options.import.table + ": out of memory");
    return 2;
  }

  // 2. The run, its console messages into STEM.console.txt.
  RunOptions run = options.run;
  run.stem = *import.stem;
  run.quiet = false;
  const std::string console_file = run.stem + ".console.txt";
  const int console = ::open(console_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (console < 0) {
    complain(error_fd, "cannot write " + console_file + ": " + std::strerror(errno));
    return 2;
  }
  std::fflush(out);
  const int status = run_command(run, console, error_fd);
  if (::close(console) != 0 && status == 0) {
    complain(error_fd, "cannot write " + console_file + ": " + std::strerror(errno));
    return 2;
  }
  if (status != 0) return status;
  std::fprintf(out, "Ran %s: report %s.OCC, proximity file %s.PRX, console messages %s\n\n",
               run.stem.c_str(), run.stem.c_str(), run.stem.c_str(), console_file.c_str());

  // 3. The summary of the last year's group: the result of the sequence.
  summary::CommandLine summary;
  summary.proximity_file = run.stem + ".PRX";
  summary.groups = options.groups;
  try {
    return summary::summarise(summary, out);
  } catch (const summary::InputError& failure) {
    complain(error_fd, failure.what());
    return 2;
  } catch (const summary::RefusedRun& failure) {
    complain(error_fd, failure.what());
    return 1;
  } catch (const summary::NothingCompared& failure) {
    // The summary of an earlier analysis in this folder would be read as
    // this one's groups: it goes.
    for (const char* suffix : {".pairs.csv", ".matrix.csv", ".tree.csv", ".years.csv", ".svg"}) {
      std::error_code ignored;
      fs::remove(run.stem + suffix, ignored);
    }
    complain(error_fd, failure.what());
    return 1;
  } catch (const summary::OutputError& failure) {
    complain(error_fd, failure.what());
    return 1;
  }
}

}  // namespace locprox
