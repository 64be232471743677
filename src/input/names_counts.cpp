#include "input/names_counts.h"

namespace locprox {

ReadOutcome read_names_counts(InputUnit& names, NamesCounts& counts, bool end_allowed) {
  counts = NamesCounts{};
  const FreeFormTarget targets[3] = {FreeFormTarget::integer(counts.years),
                                     FreeFormTarget::integer(counts.locations),
                                     FreeFormTarget::integer(counts.entries)};
  return read_free_form(names, targets, end_allowed);
}

}  // namespace locprox
