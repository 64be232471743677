#include "summary/prx_text.h"

#include <string>
#include <string_view>

#include "format/fields.h"
#include "format/layout.h"
#include "format/proximity_records.h"

namespace locprox::summary::testing {

namespace {

namespace records = locprox::proximity_records;

// A record of I, A and X fields, written through `layout` with the values
// in order: integers for the I fields, texts for the A fields.
std::string record(const char* notation, const std::vector<std::int64_t>& integers,
                   const std::vector<std::string>& texts) {
  std::string out;
  size_t next_integer = 0, next_text = 0;
  char field[64];
  const Layout layout(notation);
  for (const LayoutItem& item : layout.items()) {
    if (item.kind == LayoutItem::Kind::kInteger) {
      if (next_integer == integers.size()) break;
      out.append(field, format_integer(field, integers[next_integer++], item.width));
    } else if (item.kind == LayoutItem::Kind::kCharacter) {
      if (next_text == texts.size()) break;
      const std::string& text = texts[next_text++];
      out.append(field,
                 format_characters(field, text,
                                   item.width == 0 ? static_cast<int>(text.size()) : item.width));
    } else if (item.kind == LayoutItem::Kind::kBlanks) {
      out.append(static_cast<size_t>(item.width), ' ');
    }
  }
  return out;
}

int proximity_decimals() {
  return Layout(records::kProximityColumn).items().front().decimals;
}

}  // namespace

std::string count_field(std::int64_t value) {
  char field[16];
  return std::string(field, format_integer(field, value, records::kCountFieldWidth));
}

std::string real_field(double value) {
  char field[32];
  static const int decimals = proximity_decimals();
  return std::string(field, format_exponent(field, value, records::kProximityFieldWidth, decimals));
}

std::string PrxText::text(const std::string& end) const {
  const auto ntm = static_cast<std::int64_t>(packed_size(maxl));
  std::string out = record(records::kDimensionRecord,
                           {maxy, maxl, maxg, iys, iyf, std::int64_t{iyf} - iys + 1, ntm}, {});
  out += end;
  out += record(records::kOptionRecord, {},
                {std::string(1, weight), std::string(1, prxtyp), std::string(1, sedtyp),
                 std::string(1, cortyp)});
  out += end;
  for (const PrxGroup& g : groups) {
    out += record(records::kYearRecord, {g.year}, {g.name}) + end;
    for (std::int32_t j = 1; j <= maxl; ++j) {
      const size_t column = packed_column_start(j);
      for (std::int32_t i = 1; i <= j; ++i) {
        out += real_field(g.prox[column + i - 1]);
        if (i % records::kProximityFieldsPerRecord == 0 || i == j) out += end;
      }
    }
    for (const auto* counts : {&g.ngpair, &g.nypair, &g.kii}) {
      for (std::int32_t j = 1; j <= maxl; ++j) {
        const size_t column = packed_column_start(j);
        std::int64_t total = 0;
        for (std::int32_t i = 1; i < j; ++i)
          total += counts->empty() ? 0 : (*counts)[column + i - 1];
        std::vector<std::int64_t> row{total};
        for (std::int32_t i = 1; i <= j; ++i)
          row.push_back(counts->empty() ? 0 : (*counts)[column + i - 1]);
        for (size_t k = 0; k < row.size(); ++k) {
          out += count_field(row[k]);
          if ((k + 1) % records::kCountFieldsPerRecord == 0 || k + 1 == row.size()) out += end;
        }
      }
    }
  }
  return out;
}

}  // namespace locprox::summary::testing
