#include "job/run_warnings.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <span>

#include "format/free_form.h"
#include "format/standard_error.h"
#include "format/names.h"
#include "format/proximity_records.h"

namespace locprox {
namespace {

// An option's character as a warning shows it: 'x', ' ' for the blank of an
// empty line, or '\xNN' for a byte a terminal would not show.
std::string shown_answer(char answer) {
  const auto byte = static_cast<unsigned char>(answer);
  if (byte >= 0x20 && byte < 0x7f) return std::string("'") + answer + "'";
  constexpr char kHex[] = "0123456789ABCDEF";
  return std::string("'\\x") + kHex[byte >> 4] + kHex[byte & 15] + "'";
}

// "3 and 7", "2, 5 and 9", or for a long list its first numbers and the
// count: "1, 2, 3, 4, 5, 6, ... (12000 in all)".
std::string number_list(const std::vector<std::size_t>& numbers) {
  constexpr std::size_t kShown = 6;
  std::string text;
  if (numbers.size() > kShown + 1) {
    for (std::size_t i = 0; i < kShown; ++i) text += std::to_string(numbers[i]) + ", ";
    return text + "... (" + std::to_string(numbers.size()) + " in all)";
  }
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) text += i + 1 == numbers.size() ? " and " : ", ";
    text += std::to_string(numbers[i]);
  }
  return text;
}

// The groups of equal names of one kind, each as its numbers (from 1).
std::vector<std::vector<std::size_t>> equal_groups(std::span<const Name> names) {
  std::map<Name, std::vector<std::size_t>> by_name;
  for (std::size_t i = 0; i < names.size(); ++i) by_name[names[i]].push_back(i + 1);
  std::vector<std::vector<std::size_t>> groups;
  for (auto& [name, numbers] : by_name)
    if (numbers.size() > 1) groups.push_back(std::move(numbers));
  std::sort(groups.begin(), groups.end());
  return groups;
}

}  // namespace

void WarningSink::warn(const std::string& text) const {
  // A warning that cannot be written is not a failure of the run.
  write_program_message(fd_, "warning: " + text);
}

std::vector<std::string> option_warnings(const Measure& m) {
  std::vector<std::string> warnings;
  if (m.odd_weight()) {
    warnings.push_back("answer " + shown_answer(m.WEIGHT) + " to WEIGHT is taken as unweighted");
  }
  if (m.odd_proximity_type()) {
    warnings.push_back("answer " + shown_answer(m.PRXTYP) + " to PRXTYP is taken as correlation");
  }
  if (m.odd_distance_data()) {
    warnings.push_back("answer " + shown_answer(m.SEDTYP) + " to SEDTYP is taken as standardised");
  }
  if (m.odd_correlation_average()) {
    warnings.push_back("answer " + shown_answer(m.CORTYP) +
                       " to CORTYP: plain correlations are averaged although the console says "
                       "Fisher z");
  }
  return warnings;
}

std::string skipped_records_warning(const std::string& observations_file, std::int64_t count,
                                    long first_line) {
  return observations_file + ": " + std::to_string(count) +
         (count == 1 ? " record was skipped because its year is"
                     : " records were skipped because their year is") +
         " below the year being read (the file is not sorted by year); the first is line " +
         std::to_string(first_line);
}

std::vector<std::string> equal_names_warnings(const Workspace& w, const ProblemSize& size,
                                              const std::string& names_file) {
  struct Kind {
    const char* plural;
    std::span<const Name> names;
  };
  const Kind kinds[3] = {
      {"years", w.YEARNAME.first(static_cast<std::size_t>(std::max(size.MAXY, 0)))},
      {"locations", w.LOCNAME.first(static_cast<std::size_t>(std::max(size.MAXL, 0)))},
      {"entries", w.ENTNAME.first(static_cast<std::size_t>(std::max(size.MAXG, 0)))}};
  constexpr std::size_t kGroupsShown = 5;
  std::vector<std::string> warnings;
  for (const Kind& kind : kinds) {
    const std::vector<std::vector<std::size_t>> groups = equal_groups(kind.names);
    if (groups.empty()) continue;
    std::string text = names_file + ": " + kind.plural + " with equal names, which the report " +
                       "and the summary cannot tell apart: ";
    for (std::size_t g = 0; g < groups.size() && g < kGroupsShown; ++g) {
      if (g > 0) text += "; ";
      const Name& name = kind.names[groups[g][0] - 1];
      text += number_list(groups[g]) + " (" + quoted_for_message(trimmed_right(name)) + ")";
    }
    if (groups.size() > kGroupsShown) {
      text += "; and " + std::to_string(groups.size() - kGroupsShown) + " more groups";
    }
    warnings.push_back(text);
  }
  return warnings;
}

std::string no_pair_compared_warning(const Workspace& work, const ProblemSize& size,
                                     const std::string& job) {
  if (size.MAXL >= 2) {
    for (std::int32_t J = 2; J <= size.MAXL; ++J)
      for (std::int32_t I = 1; I < J; ++I)
        if (work.NYPAIR[packed_index(I, J)] > 0) return {};
  }
  if (size.MAXL <= 1) {
    return job + ": the job has " + std::to_string(size.MAXL) +
           (size.MAXL == 1 ? " location" : " locations") +
           ", so no pair of locations can be compared; check the location column of the table";
  }
  // Years of the sequence that observed anything, and of those the years
  // that observed a single location.
  std::int64_t years_used = 0, single = 0;
  for (std::int32_t K = 0; K < size.NYA; ++K) {
    const std::int32_t used = work.GAMYR[static_cast<std::size_t>(K)];
    if (used > 0) ++years_used;
    if (used == 1) ++single;
  }
  std::string text = job + ": no pair of distinct locations was compared in any year of the "
                           "sequence, so there is nothing to group";
  if (years_used > 0 && 2 * single > years_used) {
    return text + ": " + std::to_string(single) + " of the " + std::to_string(years_used) +
           " years with observations hold a single location, so the year column looks like "
           "site-years (a site and a season in one code); give such a column as the location, "
           "with the season as the year, or --no-year for one season";
  }
  return text + "; check the year and location columns of the table: two locations are "
                "compared in a year in which both observed entries in common";
}

}  // namespace locprox
