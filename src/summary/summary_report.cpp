#include "summary/summary_report.h"

#include <cstdio>

namespace locprox::summary {

namespace {

std::string line(const std::string& label, const std::string& value) {
  std::string text = "  " + label;
  if (text.size() < 36) text.resize(36, ' ');
  return text + value + "\n";
}

std::string year_text(const ProximityFile& file, const std::string& first_name,
                      const std::string& name) {
  const YearGroup& group = file.group;
  std::string text = years_span(first_name, name, file.dims.iys, group.year);
  text += group.year == file.dims.iys ? " (number " + std::to_string(group.year) + ")"
                                      : " (numbers " + std::to_string(file.dims.iys) + " to " +
                                            std::to_string(group.year) + ")";
  if (group.year == file.dims.iyf) {
    text += ": the whole sequence";
  } else {
    text += ", of years " + std::to_string(file.dims.iys) + " to " + std::to_string(file.dims.iyf);
  }
  return text;
}

}  // namespace

std::string years_span(const std::string& first_name, const std::string& last_name,
                       std::int32_t first, std::int32_t last) {
  const std::int64_t count = static_cast<std::int64_t>(last) - first + 1;
  std::string span;
  if (first_name.empty() || last_name.empty()) {
    span = first == last ? "year " + std::to_string(first)
                         : "years " + std::to_string(first) + "-" + std::to_string(last);
  } else {
    span = first == last ? last_name : first_name + "-" + last_name;
  }
  return span + ", " + std::to_string(count) + (count == 1 ? " year" : " years");
}

std::string measure_text(const Measure& measure, bool keep_z) {
  switch (measure.kind()) {
    case MeasureKind::kCentredDistance:
      return "squared Euclidean distance, centred data";
    case MeasureKind::kStandardisedDistance:
      return "squared Euclidean distance, standardised data";
    case MeasureKind::kPlainCorrelation:
      return "correlation";
    case MeasureKind::kFisherZCorrelation:
      return keep_z ? "correlation through Fisher's z, averaged and shown on the z scale"
                    : "correlation through Fisher's z, averaged on the z scale and turned back "
                      "into r";
  }
  return {};
}

std::string weighting_text(const Measure& measure) {
  if (!measure.weighted()) return "unweighted, over the years compared: average = PROX / NYPAIR";
  return measure.fisher_z()
             ? "weighted by entries in common less 3 per year: average = PROX / NGPAIR"
             : "weighted by entries in common: average = PROX / NGPAIR";
}

std::string value_label(const Measure& measure, bool keep_z) {
  if (measure.distance()) return "average squared Euclidean distance";
  if (measure.fisher_z() && keep_z) return "average Fisher z";
  return "average correlation r";
}

std::string distance_label(const Measure& measure) {
  return measure.distance() ? "squared Euclidean distance" : "1 - r";
}

std::string summary_text(const ReportFacts& facts) {
  const ProximityFile& file = *facts.file;
  std::string text = "locprox-summary: " + facts.proximity_file + "\n";
  text += line("measure", measure_text(file.options, facts.keep_z));
  text += line("weighting", weighting_text(file.options));
  text += line("years", year_text(file, facts.first_year_name, facts.year_name));
  text += line("locations", std::to_string(file.dims.maxl) + " (" + facts.names_source + ")");
  text += line("pairs of locations", std::to_string(facts.pairs.pairs));
  text += line("  compared", std::to_string(facts.pairs.compared));
  text += line("  never compared", std::to_string(facts.pairs.never_compared));
  if (facts.pairs.unknown > 0) {
    text += line("  unknown (count too wide)", std::to_string(facts.pairs.unknown));
  }
  text += line("  fewer than " + std::to_string(facts.min_common) + " entries in common",
               std::to_string(facts.pairs.few_common));
  std::string written;
  for (const std::string& name : facts.written) written += (written.empty() ? "" : ", ") + name;
  text += line("written", written);
  return text;
}

std::string groups_text(const std::vector<std::int32_t>& group_of,
                        const std::vector<std::int32_t>& order,
                        const std::vector<std::string>& names, std::int32_t groups,
                        const std::string& distance) {
  std::vector<std::vector<std::int32_t>> members(static_cast<size_t>(groups));
  for (std::int32_t location : order) {
    members[static_cast<size_t>(group_of[static_cast<size_t>(location)] - 1)].push_back(location);
  }
  std::string text = std::to_string(groups) + " group" + (groups == 1 ? "" : "s") +
                     " (average linkage on " + distance + ", in the picture's order):\n";
  for (std::int32_t g = 0; g < groups; ++g) {
    const auto& list = members[static_cast<size_t>(g)];
    text += "  group " + std::to_string(g + 1) + " (" + std::to_string(list.size()) + "):";
    for (size_t k = 0; k < list.size(); ++k) {
      const std::int32_t location = list[k];
      text += (k == 0 ? " " : ", ") + std::to_string(location + 1);
      const std::string& name = names[static_cast<size_t>(location)];
      if (name != std::to_string(location + 1)) text += " " + name;
    }
    text += "\n";
  }
  return text;
}

}  // namespace locprox::summary
