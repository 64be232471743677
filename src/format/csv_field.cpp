#include "format/csv_field.h"

namespace locprox {

std::string csv_field(std::string_view text) {
  const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::vector<std::string> csv_fields(const std::vector<std::string>& texts) {
  std::vector<std::string> fields;
  fields.reserve(texts.size());
  for (const std::string& text : texts) fields.push_back(csv_field(text));
  return fields;
}

}  // namespace locprox
