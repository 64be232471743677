// Reading by layout: an A or Aw field takes the first characters of one
// record; a shorter record is padded with blanks and the rest of a longer one
// is ignored. One read consumes exactly one record.
#pragma once

#include <span>

namespace locprox {

class InputUnit;

// Reads one record into `field` (its size is the field's width). The end of
// the file stops the run: no read by layout has an end-of-file outcome.
void read_characters(InputUnit& unit, std::span<char> field);

}  // namespace locprox
