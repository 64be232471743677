// Helpers for tests that run a whole job: the console answers of a
// default-names run, the texts the dialogue and the year loop write, and the
// records of the report that the year loop and the input readers own (the
// matrix sections between them belong to the report writers and are not
// looked at here).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "support/expected_console.h"
#include "support/run_program.h"

namespace locprox::testing {

inline std::string rec(const std::string& text) {
  return text + "\r\n";
}

// The console answers of a default-names run of job T: the five sizes, then
// the option answers, one per line.
inline std::string answers(const std::string& sizes, const std::string& options) {
  return "y\nT\n" + sizes + options;
}

// Runs job T with the given names and observations files.
inline ProgramRun run_job_files(ScratchDirectory& dir, const std::string& naq,
                                const std::string& seq, const std::string& console_answers) {
  dir.write("T.NAQ", naq);
  dir.write("T.SEQ", seq);
  return run_program(dir.path(), console_answers);
}

// The records of a file's text, split at CR LF; a last part without CR LF is
// kept as a record too, so a missing record end shows.
inline std::vector<std::string> records_of(const std::string& text) {
  std::vector<std::string> records;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      records.push_back(text.substr(start) + "<no CR LF>");
      break;
    }
    records.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return records;
}

// The console from the first record after the option prompts, that is from
// " Job is" on: every record of it but the options echo is written to the
// report too.
inline std::string console_from_title(const std::string& console) {
  std::size_t at = console.find(" Job is ");
  return at == std::string::npos ? std::string() : console.substr(at);
}

// The report's records that also appear on the console after the title, in
// their order: the year loop's and the input readers' messages, without the
// matrix sections and without empty records.
inline std::vector<std::string> shared_report_records(const std::string& report,
                                                      const std::string& console) {
  std::vector<std::string> shown = records_of(console_from_title(console));
  std::vector<std::string> shared;
  for (const std::string& r : records_of(report)) {
    if (r.empty()) continue;
    for (const std::string& s : shown) {
      if (s == r) {
        shared.push_back(r);
        break;
      }
    }
  }
  return shared;
}

// The non-empty console records from the title on.
inline std::vector<std::string> console_messages(const std::string& console) {
  std::vector<std::string> messages;
  for (const std::string& r : records_of(console_from_title(console))) {
    if (!r.empty()) messages.push_back(r);
  }
  return messages;
}

// The console up to the first option prompt, for the given five sizes of a
// problem that fits (the required dimensions given as their record).
inline std::string console_to_options(const std::string& required) {
  return kSizeDialogue +
         "\r\n"
         " DIMENSIONS OF ARRAYS:\r\n"
         " PRESENT DIMENSIONS:  DZ=250000 Z=300000 MZ=720000 AZ=  1100\r\n"
         " DIMENSIONS REQUIRED: " +
         required + "\r\n";
}

const std::string kWeightPrompt = " Weighted or unweighted averages (W or U) - ";
const std::string kMeasurePrompt = "              SED or Correlation (S or R) - ";
const std::string kSedTypePrompt = "     Centered or standardized SED (C or S) - ";
const std::string kCorTypePrompt = "          Normal or z average COR (N or Z) - ";

// The four echo records for the given codes.
inline std::string options_echo(char weight, char prxtyp, char sedtyp, char cortyp) {
  return rec(" Weighted (W) or unweighted (U) analysis (WEIGHT) " + std::string(1, weight)) +
         rec(" SED (S) or COR (C) measure              (PRXTYP) " + std::string(1, prxtyp)) +
         rec(" Centered (C) or standardized (S) SED    (SEDTYP) " + std::string(1, sedtyp)) +
         rec(" Normal (N) or Z (Z) average correlation (CORTYP) " + std::string(1, cortyp));
}

// " Job is " and the title padded to 50 characters.
inline std::string job_is(const std::string& title) {
  return rec(" Job is " + title + std::string(50 - title.size(), ' '));
}

inline std::string sequence_record(int IYS, int IYF) {
  char text[64];
  std::snprintf(text, sizeof text, " Sequence starts in year %3d & finishes in year %3d", IYS, IYF);
  return rec(text);
}

// What follows the options echo up to the first year, names read.
inline std::string opening(int IYS, int IYF) {
  return sequence_record(IYS, IYF) + rec(" Read names of years, locations & entries in job") +
         rec(" For each year");
}

// The proximity messages of the options w, s, c.
const std::string kSedCentredWeighted = rec("   Using weighted averages") +
                                        rec("   Of squared Euclidean distances") +
                                        rec("   With location centred data");

// One year's console records: `after_read` holds what the observations
// reader writes between "   Read data" and the counts.
inline std::string year_block(const std::string& name8, const std::string& after_read,
                              const std::string& proximity_messages = kSedCentredWeighted) {
  return rec("") + rec("   For year " + name8) + rec("   Read data") + after_read +
         rec("   Calculate delta & gamma matrices") + rec("   Write delta and gamma matrices") +
         rec("   Location centre the years data") + rec(" Calculate requested proximity measure") +
         proximity_messages;
}

const std::string kEndOfData = rec(" End of data");

// The report after its seven summary records.
inline std::string after_summary(const std::string& report) {
  std::size_t at = 0;
  for (int i = 0; i < 7 && at != std::string::npos; ++i) {
    at = report.find("\r\n", at);
    if (at != std::string::npos) at += 2;
  }
  return at == std::string::npos ? std::string() : report.substr(at);
}

}  // namespace locprox::testing
