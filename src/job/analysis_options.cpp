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
char ask_option(OutputUnit& console, InputUnit& console_input, const Layout& prompt, char first,
                char second) {
  write_record(console, prompt);
  std::array<char, 1> answer;
  read_characters(console_input, answer);
  char option = answer[0];
  if (option == first) return static_cast<char>(first - 'a' + 'A');
  if (option == second) return static_cast<char>(second - 'a' + 'A');
  return option;
}

}  // namespace

AnalysisOptions ask_analysis_options(OutputUnit& console, InputUnit& console_input) {
  AnalysisOptions options;
  options.WEIGHT = ask_option(console, console_input, kWeightPrompt, 'w', 'u');
  options.PRXTYP = ask_option(console, console_input, kMeasurePrompt, 's', 'r');
  if (options.PRXTYP == 'S') {
    options.SEDTYP = ask_option(console, console_input, kSedTypePrompt, 'c', 's');
  } else {
    options.CORTYP = ask_option(console, console_input, kCorTypePrompt, 'n', 'z');
  }
  return options;
}

}  // namespace locprox
