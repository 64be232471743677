#include "input/names_file.h"

#include "format/free_form.h"
#include "format/record_reader.h"

namespace locprox {
namespace {

void read_name_list(InputUnit& names, std::span<Name> list, std::int32_t count) {
  for (std::int32_t n = 0; n < count; ++n)
    read_characters(names, list[static_cast<std::size_t>(n)]);
}

}  // namespace

Title read_title(InputUnit& names) {
  Title title;
  read_characters(names, title);
  return title;
}

void read_names(InputUnit& names, std::span<Name> YEARNAME, std::span<Name> LOCNAME,
                std::span<Name> ENTNAME, std::int32_t MAXY, std::int32_t MAXL, std::int32_t MAXG) {
  read_name_list(names, YEARNAME, MAXY);
  read_name_list(names, LOCNAME, MAXL);
  read_name_list(names, ENTNAME, MAXG);
}

}  // namespace locprox
