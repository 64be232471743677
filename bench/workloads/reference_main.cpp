// The entry of locprox-reference: the console dialogue only, as the
// benchmark jobs run it (the commands of the command line are not part of
// the reference program).
#include "job/console_dialogue.h"

int main() {
  return locprox::run_console_dialogue(0, 1, 2);
}
