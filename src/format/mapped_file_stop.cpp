#include "format/mapped_file_stop.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "format/staged_file.h"
#include "format/whole_file.h"

namespace locprox {
namespace {

char program_name[64] = "locprox";

void stop_on_shrunk_file(int signal_number, siginfo_t* info, void*) {
  if (const char* path = mapped_file_at(info->si_addr)) {
    // write_all (staged_file.h) calls write alone: safe in a handler.
    write_all(2, program_name);
    write_all(2, ": ");
    write_all(2, path);
    write_all(2, ": the file became shorter while it was being read (changed by another program)\n");
    remove_live_temporaries();
    ::_exit(2);
  }
  // Not a mapped file's page (or a signal sent by another program): the
  // default action, as soon as the handler returns.
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

}  // namespace

void stop_when_a_mapped_file_shrinks(const char* program) {
  const std::size_t n = std::min(std::strlen(program), sizeof program_name - 1);
  std::memcpy(program_name, program, n);
  program_name[n] = '\0';
  struct sigaction action {};
  action.sa_sigaction = stop_on_shrunk_file;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGBUS, &action, nullptr);
}

}  // namespace locprox
