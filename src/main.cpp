// locprox: year-sequential proximity of test locations from trial data.
// Everything comes from the console dialogue; there are no arguments.
#include "job/run_job.h"

int main() {
  return locprox::run_job(0, 1, 2);
}
