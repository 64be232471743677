// One whole run of the program on the given console descriptors: the job
// dialogue, the four job files, and the problem size step that carries out
// the rest. Returns the exit status: 0 at every normal end (a refused
// problem included), 2 after an error stop, whose message goes to
// `error_fd`.
#pragma once

namespace locprox {

int run_job(int input_fd, int output_fd, int error_fd);

}  // namespace locprox
