// locprox: year-sequential proximity of test locations from trial data.
// Without arguments the console dialogue asks for everything, as it always
// has; with a command, the command line says what to do.
#include "command_line/command_line.h"
#include "command_line/analyse_command.h"
#include "command_line/run_command.h"
#include "import/import_table.h"
#include "format/huge_pages.h"
#include "format/staged_file.h"
#include "format/mapped_file_stop.h"
#include "job/console_dialogue.h"

int main(int argc, char** argv) {
  const locprox::CommandLine line = locprox::parse_command_line(argc, argv, stdout, stderr);
  // The import and the summary hold large tables: their memory in huge
  // pages. (The run's work arrays take huge pages of their own; restarted,
  // it measured no faster.)
  if (line.command == locprox::Command::kImport || line.command == locprox::Command::kAnalyse) {
    locprox::restart_with_huge_pages(argv);
  }
  // The commands write under temporary names, removed when a signal stops
  // them; the dialogue writes its files in place, as it always has. A table
  // or proximity file that another program cuts short while it is mapped
  // stops them as an error does.
  if (line.command != locprox::Command::kDialogue) {
    locprox::remove_temporaries_on_signals();
    locprox::stop_when_a_mapped_file_shrinks("locprox");
  }
  switch (line.command) {
    case locprox::Command::kDialogue:
      return locprox::run_console_dialogue(0, 1, 2);
    case locprox::Command::kImport:
      return locprox::import_command(line.import, stdout, stderr);
    case locprox::Command::kRun:
      return locprox::run_command(line.run, 1, 2);
    case locprox::Command::kAnalyse:
      return locprox::analyse_command(line.analyse, stdout, 2);
    case locprox::Command::kFinished:
      break;
  }
  return line.exit_status;
}
