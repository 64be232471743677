// locprox-summary: from the running sums of a proximity file to the averages,
// the groups of locations and a picture. The command line and the exit
// statuses; the work is summarise().
#include <cstdio>

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
  const ParsedCommandLine parsed = parse_command_line(argc, argv, stdout, stderr);
  if (!parsed.command) return parsed.exit_status;
  try {
    return summarise(*parsed.command, stdout);
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
