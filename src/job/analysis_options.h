// The console dialogue's questions for the measure: the four option letters.
#pragma once

#include "format/measure.h"
#include "format/units.h"

namespace locprox {

// Asks for the options on the console and returns the letters as answered.
// Each answer is the first character of its line (a blank for an empty
// line); the prompt's two lower-case letters are folded to capitals, every
// other character is kept as typed. SEDTYP is asked for a distance only,
// CORTYP for a correlation only; the other stays the byte 0.
Measure ask_analysis_options(OutputUnit& console, InputUnit& console_input);

}  // namespace locprox
