// The command line of locprox. Without arguments the program runs the
// console dialogue, exactly as it always has; with a command it does that
// command. --help (of the program or of a command) and --version print and
// end with status 0; a wrong command line prints one line saying what is
// wrong, then the usage, and ends with status 2.
#pragma once

#include <cstdio>

#include "command_line/analyse_command.h"
#include "command_line/run_command.h"
#include "import/import_options.h"

namespace locprox {

enum class Command {
  kDialogue,  // no arguments: the console dialogue
  kImport,    // locprox import TABLE ...
  kRun,       // locprox run STEM ...
  kAnalyse,   // locprox analyse TABLE ...
  kFinished,  // help, version or a wrong command line: already answered
};

struct CommandLine {
  Command command = Command::kDialogue;
  int exit_status = 0;  // for kFinished
  ImportOptions import;
  RunOptions run;
  AnalyseOptions analyse;
};

// Help and version texts go to `out`, complaints to `err`.
CommandLine parse_command_line(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

// The delimiter named by a --delimiter argument: one character other than a
// quote or a line end, or tab, comma or semicolon by name; 0 when it is
// none of these.
char delimiter_argument(const std::string& text);

}  // namespace locprox
