// A mapped file that another program cuts short while it is read: the pages
// past its new end can no longer be read, and reading one raises SIGBUS. A
// program that calls stop_when_a_mapped_file_shrinks() (the programs' main
// functions do; library code never installs handlers, and the R package
// leaves this file out) then stops as from an error: it writes
// "PROGRAM: FILE: the file became shorter while it was being read (changed
// by another program)", removes its live temporaries (staged_file.h) and
// exits with status 2. A SIGBUS anywhere else keeps its default action.
#pragma once

namespace locprox {

void stop_when_a_mapped_file_shrinks(const char* program);

}  // namespace locprox
