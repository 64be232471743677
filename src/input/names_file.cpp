#include "input/names_file.h"

#include "format/free_form.h"
#include "format/record_reader.h"

namespace locprox {
namespace {

const Layout kMessage{"A"};

void read_names(InputUnit& names, std::span<Name> list, std::int32_t count) {
  for (std::int32_t n = 0; n < count; ++n)
    read_characters(names, list[static_cast<std::size_t>(n)]);
}

}  // namespace

Title read_title(InputUnit& names) {
  Title title;
  read_characters(names, title);
  return title;
}

bool check_names_counts(Units& units, std::int32_t MAXY, std::int32_t MAXL, std::int32_t MAXG) {
  // A count that the free-form rules leave unassigned keeps its start value 0.
  std::int32_t years = 0, locations = 0, entries = 0;
  const FreeFormTarget counts[3] = {FreeFormTarget::integer(years),
                                    FreeFormTarget::integer(locations),
                                    FreeFormTarget::integer(entries)};
  read_free_form(units.names, counts);
  const char* disagreement = nullptr;
  if (years != MAXY) {
    disagreement = " No. years specified not the same as in *.NAQ file";
  } else if (locations != MAXL) {
    disagreement = " No. locations specified not the same as in *.NAQ file";
  } else if (entries != MAXG) {
    disagreement = " No. genotypes specified not the same as in *.NAQ file";
  }
  if (disagreement == nullptr) return true;
  write_empty_record(units.report);
  report_then_console(units, kMessage, disagreement);
  return false;
}

void RDNAME(InputUnit& names, std::span<Name> YEARNAME, std::span<Name> LOCNAME,
            std::span<Name> ENTNAME, std::int32_t MAXY, std::int32_t MAXL, std::int32_t MAXG) {
  read_names(names, YEARNAME, MAXY);
  read_names(names, LOCNAME, MAXL);
  read_names(names, ENTNAME, MAXG);
}

}  // namespace locprox
