// The four analysis options, one character each, as the options dialogue
// leaves them. An option that is not asked keeps the character with code 0.
#pragma once

#include "format/units.h"

namespace locprox {

struct AnalysisOptions {
  char WEIGHT = '\0';  // W: weighted averages; anything else: unweighted
  char PRXTYP = '\0';  // S: squared Euclidean distance; anything else: correlation
  char SEDTYP = '\0';  // C: location-centred data; anything else: standardised
  char CORTYP = '\0';  // N: normal averages; Z: Fisher z; anything else: plain, reported as z
};

// Asks for the options on the console. Each answer is the first character of
// its line (a blank for an empty line); the prompt's two lower-case letters
// are folded to capitals, every other character is kept as typed.
AnalysisOptions ask_analysis_options(OutputUnit& console, InputUnit& console_input);

}  // namespace locprox
