#include "summary/refusal_reason.h"

#include <filesystem>
#include <string_view>

#include "format/proximity_records.h"
#include "format/units.h"
#include "summary/command_line.h"
#include "summary/errors.h"
#include "summary/input_file.h"

namespace locprox::summary {

namespace {

// The report opens with the problem-size summary: seven records, each a text
// and then the value in six columns (MAXY, MAXL, MAXG, IYS, IYF, NYA, NTM),
// the values of the proximity file's dimension record.
constexpr int kSummaryRecords = 7;
constexpr size_t kValueWidth = proximity_records::kCountFieldWidth;
// A refused run's report is a few dozen records; a longer one is not read on.
constexpr long kMostRecords = 1000;

std::string_view without_leading_blanks(std::string_view record) {
  const size_t first = record.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string_view() : record.substr(first);
}

bool is_refusal_message(std::string_view text) {
  return text.starts_with("INCREASE DIMENSION OF") ||
         text.ends_with("specified not the same as in *.NAQ file");
}

}  // namespace

std::string default_report_file(const std::string& proximity_file) {
  const std::string names = default_names_file(proximity_file);
  return names.substr(0, names.size() - 4) + (names.ends_with(".naq") ? ".occ" : ".OCC");
}

std::vector<std::string> refusal_reasons(const std::string& report_path,
                                         const std::string& dimension_record, bool option_record) {
  std::vector<std::string> reasons;
  if (!std::filesystem::is_regular_file(report_path)) return reasons;
  try {
    InputFile report(kReportUnit, report_path, InputUnit::kSmallBlock);
    std::string_view record;
    while (report.reading([&] { return report.unit().next_record(record); })) {
      const long line = report.line();
      if (line > kMostRecords) return {};
      if (line <= kSummaryRecords) {
        const size_t field = static_cast<size_t>(line - 1) * kValueWidth;
        if (record.size() < kValueWidth || dimension_record.size() < field + kValueWidth ||
            record.substr(record.size() - kValueWidth) !=
                std::string_view(dimension_record).substr(field, kValueWidth)) {
          return {};  // the report of another run
        }
        continue;
      }
      const std::string_view text = without_leading_blanks(record);
      if (text.empty()) continue;
      if (!option_record || is_refusal_message(text)) reasons.emplace_back(text);
    }
    if (report.line() < kSummaryRecords) return {};
  } catch (const InputError&) {
    return {};  // the reason is a courtesy: an unreadable report gives none
  }
  return reasons;
}

RefusedRun explained_refusal(const RefusedRun& refused, const std::string& proximity_file) {
  const std::string report = default_report_file(proximity_file);
  std::string message = refused.what();
  const std::vector<std::string> reasons =
      refusal_reasons(report, refused.dimension_record(), refused.option_record());
  if (!reasons.empty()) message += ". " + report + " gives the reason:";
  for (const std::string& reason : reasons) message += "\n  " + reason;
  return RefusedRun(message, refused.dimension_record(), refused.option_record());
}

}  // namespace locprox::summary
