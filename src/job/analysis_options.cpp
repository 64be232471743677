#include "job/analysis_options.h"

#include <array>

#include "format/record_reader.h"

namespace locprox {
namespace {

const Layout kWeightPrompt{"' Weighted or unweighted averages (W or U) - ' $"};
const Layout kMeasurePrompt{"'              SED or Correlation (S or R) - ' $"};
const Layout kSedTypePrompt{"'     Centered or standardized SED (C or S) - ' $"};
const Layout kCorTypePrompt{"'          Normal or z average COR (N or Z) - ' $"};

// Asks one option and folds the prompt's two letters to capitals.
char ask_option(OutputUnit& console, InputUnit& console_input, const Layout& prompt,
                OfferedLetters letters) {
  write_record(console, prompt);
  std::array<char, 1> answer;
  read_characters(console_input, answer);
  const char option = answer[0];
  if (option == letters.first - 'A' + 'a') return letters.first;
  if (option == letters.second - 'A' + 'a') return letters.second;
  return option;
}

}  // namespace

Measure ask_analysis_options(OutputUnit& console, InputUnit& console_input) {
  Measure measure;
  measure.WEIGHT = ask_option(console, console_input, kWeightPrompt, kWeightLetters);
  measure.PRXTYP = ask_option(console, console_input, kMeasurePrompt, kProximityTypeLetters);
  if (measure.distance()) {
    measure.SEDTYP = ask_option(console, console_input, kSedTypePrompt, kDistanceDataLetters);
  } else {
    measure.CORTYP = ask_option(console, console_input, kCorTypePrompt, kCorrelationAverageLetters);
  }
  return measure;
}

}  // namespace locprox
