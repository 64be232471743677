#include "job/job_dialogue.h"

#include <algorithm>

#include "format/names.h"
#include "format/record_reader.h"

namespace locprox {
namespace {

const Layout kDefaultNamesPrompt{"' Do you wish default file names (Y or N)? - ' $"};
const Layout kJobNamePrompt{"' Enter job name (ie. name for files without extension)'"};
const Layout kObservationsPrompt{"' Enter name of input file  (*.SEQ) - ' $"};
const Layout kNamesPrompt{"' Enter name of input file  (*.NAQ) - ' $"};
const Layout kReportPrompt{"' Enter name of output file (*.OCC) - ' $"};
const Layout kProximityPrompt{"' Enter name of output file (*.PRX) - ' $"};

FileName ask_name(OutputUnit& console, InputUnit& console_input, const Layout& prompt) {
  write_record(console, prompt);
  FileName name;
  read_characters(console_input, name);
  return name;
}

}  // namespace

FileName default_file_name(const FileName& job_name, const char* extension) {
  std::string_view stem = trimmed_right(job_name);
  std::string full = std::string(stem) + extension;
  FileName name;
  name.fill(' ');
  std::copy_n(full.begin(), std::min(full.size(), name.size()), name.begin());
  return name;
}

JobFileNames ask_file_names(OutputUnit& console, InputUnit& console_input) {
  write_record(console, kDefaultNamesPrompt);
  std::array<char, 1> answer;
  read_characters(console_input, answer);
  JobFileNames names;
  if (answer[0] == 'Y' || answer[0] == 'y') {
    write_record(console, kJobNamePrompt);
    FileName job_name;
    read_characters(console_input, job_name);
    names.observations = default_file_name(job_name, ".SEQ");
    names.names = default_file_name(job_name, ".NAQ");
    names.report = default_file_name(job_name, ".OCC");
    names.proximity = default_file_name(job_name, ".PRX");
  } else {
    names.observations = ask_name(console, console_input, kObservationsPrompt);
    names.names = ask_name(console, console_input, kNamesPrompt);
    names.report = ask_name(console, console_input, kReportPrompt);
    names.proximity = ask_name(console, console_input, kProximityPrompt);
  }
  return names;
}

}  // namespace locprox
