// The entry of locprox-reference: the console dialogue only, as the
// benchmark jobs run it (the commands of the command line are not part of
// the reference program).
#include "job/run_job.h"

int main() {
  return locprox::run_job(0, 1, 2);
}
