// STEM.names.csv, the table of names that `locprox import` writes beside the
// job files: one row per year, location and entry with its number, the name
// written to the names file (cut to 8 characters) and the full name.
//
// The table is CSV as RFC 4180 has it: a header row kind,number,name,full_name
// (any case, in any order, further columns ignored; the name column may be
// left out), fields in double quotes where they hold a comma, a quote or a
// line end, LF or CR LF line ends, an optional UTF-8 byte-order mark. Blanks
// are part of a field.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace locprox {

// One row of the table, as written (no characters changed).
struct TableName {
  std::size_t number = 0;
  std::string name;       // empty where the table has no name column
  std::string full_name;
};

enum class NameKind { kYear = 0, kLocation = 1, kEntry = 2 };

struct NamesTableRows {
  // By kind (NameKind), in number order: the number of the i-th is i + 1.
  std::array<std::vector<TableName>, 3> by_kind;

  const std::vector<TableName>& of(NameKind kind) const {
    return by_kind[static_cast<std::size_t>(kind)];
  }
};

// The kind's word in the table (year, location, entry) and its plural.
const char* kind_word(NameKind kind);
const char* kind_plural(NameKind kind);

// Reads the table at `path`. Throws TableError naming the file, and the line
// where there is one, for a file that cannot be read or is larger than any
// table of names (256 MiB), malformed quoting, an empty file, a header
// without the kind, number and full_name columns, a row whose field count
// differs from the header's, a kind other than year, location or entry (any
// case), a number that is not a whole number from 1 to 10000000 or stands
// twice for its kind, and a number missing from 1..N for a kind whose
// largest number is N.
NamesTableRows read_names_table(const std::string& path);

}  // namespace locprox
