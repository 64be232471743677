// locprox-summary: from the running sums of a proximity file to the averages,
// the groups of locations and a picture. The command line and the exit
// statuses; the work is summarise().
#include <cstdio>
#include <string>
#include <vector>

#include "summary/command_line.h"
#include "summary/errors.h"
#include "summary/summarise.h"

namespace {

constexpr int kBadInput = 2;
constexpr int kWriteFailed = 1;
constexpr int kRefusedRun = 1;  // as the run itself ends

}  // namespace

int main(int argc, char** argv) {
  using namespace locprox::summary;
  std::vector<std::string> arguments(argv + 1, argv + argc);
  CommandLine command;
  try {
    command = parse_command_line(arguments);
  } catch (const InputError& e) {
    std::fprintf(stderr, "locprox-summary: %s\nTry 'locprox-summary --help'.\n", e.what());
    return kBadInput;
  }
  if (command.help) {
    std::fputs(kHelpText, stdout);
    return 0;
  }
  try {
    return summarise(command, stdout);
  } catch (const InputError& e) {
    std::fprintf(stderr, "locprox-summary: %s\n", e.what());
    return kBadInput;
  } catch (const RefusedRun& e) {
    std::fprintf(stderr, "locprox-summary: %s\n", e.what());
    return kRefusedRun;
  } catch (const OutputError& e) {
    std::fprintf(stderr, "locprox-summary: %s\n", e.what());
    return kWriteFailed;
  }
}
