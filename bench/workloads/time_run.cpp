// Runs one command with its standard input and output redirected to files
// and prints its wall time in seconds, its peak resident memory in KiB, its
// exit status, its processor time (user + system), and the user and the
// system time alone, in seconds: "0.123456 5432 0 0.120000 0.100000 0.020000". The wall time is taken with a monotonic clock
// around fork and wait, so it covers the whole process; the processor time
// is the steadier figure on a machine shared with other work.
//
//   time_run STDIN_FILE STDOUT_FILE PROGRAM [ARGUMENTS...]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s STDIN_FILE STDOUT_FILE PROGRAM [ARGUMENTS...]\n", argv[0]);
    return 2;
  }
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  const pid_t child = fork();
  if (child < 0) {
    std::perror("fork");
    return 2;
  }
  if (child == 0) {
    const int in = open(argv[1], O_RDONLY);
    const int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0) {
      std::perror("redirect");
      _exit(127);
    }
    close(in);
    close(out);
    execv(argv[3], argv + 3);
    std::perror(argv[3]);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) < 0) {
    std::perror("wait4");
    return 2;
  }
  timespec end{};
  clock_gettime(CLOCK_MONOTONIC, &end);
  const double seconds = static_cast<double>(end.tv_sec - start.tv_sec) +
                         static_cast<double>(end.tv_nsec - start.tv_nsec) * 1e-9;
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  const double user =
      static_cast<double>(usage.ru_utime.tv_sec) + static_cast<double>(usage.ru_utime.tv_usec) * 1e-6;
  const double system =
      static_cast<double>(usage.ru_stime.tv_sec) + static_cast<double>(usage.ru_stime.tv_usec) * 1e-6;
  std::printf("%.6f %ld %d %.6f %.6f %.6f\n", seconds, usage.ru_maxrss, code, cpu, user, system);
  return 0;
}
