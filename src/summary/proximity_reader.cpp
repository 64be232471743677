#include "summary/proximity_reader.h"

#include <algorithm>
#include <concepts>
#include <string_view>

#include "format/field_reader.h"
#include "format/layout.h"
#include "format/units.h"
#include "summary/errors.h"
#include "summary/input_file.h"

namespace locprox::summary {

namespace {

namespace records = locprox::proximity_records;

// Where the data fields of a record layout stand: the 0-based first column
// and the width of each, in order. Taken from the layouts the writer uses, so
// the reader cannot drift from them.
struct Field {
  int column = 0;
  int width = 0;
};

std::vector<Field> data_fields(const char* notation) {
  std::vector<Field> fields;
  int column = 0;
  const Layout layout(notation);
  for (const LayoutItem& item : layout.items()) {
    const int width =
        item.kind == LayoutItem::Kind::kText ? static_cast<int>(item.text.size()) : item.width;
    if (item.is_data()) fields.push_back(Field{column, width});
    column += width;
  }
  return fields;
}

// The dimension record holds seven of the layout's fields, one after another.
const std::vector<Field> kDimensionFields = data_fields(records::kDimensionRecord);
constexpr int kDimensionValues = 7;
const int kDimensionWidth = kDimensionFields[0].width;
// The option record: four one-character answers, each after blanks.
const std::vector<Field> kOptionFields = data_fields(records::kOptionRecord);
const size_t kOptionLength =
    static_cast<size_t>(kOptionFields.back().column + kOptionFields.back().width);
// The year record: the year number, blanks, the year's name.
const std::vector<Field> kYearFields = data_fields(records::kYearRecord);
const Field kYearNumber = kYearFields[0];
const Field kYearName = kYearFields[1];
// The two column layouts: like fields side by side.
constexpr int kRealWidth = records::kProximityFieldWidth;
constexpr int kRealsPerRecord = records::kProximityFieldsPerRecord;
constexpr int kCountWidth = records::kCountFieldWidth;
constexpr int kCountsPerRecord = records::kCountFieldsPerRecord;

const char* const kCountBlockNames[3] = {"first count block (NGLOC, NGPAIR)",
                                         "second count block (NYLOC, NYPAIR)",
                                         "third count block (KI, KII)"};

std::string quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

bool blank(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

// The part of `record` from `column` on, `width` long at most.
std::string_view columns(std::string_view record, int column, int width) {
  const size_t from = std::min(record.size(), static_cast<size_t>(column));
  return record.substr(from, static_cast<size_t>(width));
}

class Walker {
 public:
  // Keeps the group of `year` (the last when empty), or every group when
  // `every_year` is set.
  Walker(const std::string& path, std::optional<std::int32_t> year, bool every_year)
      : in_(kProximityUnit, path, InputUnit::kLargeBlock), year_(year), every_year_(every_year) {}

  ProximityHistory walk() {
    return in_.reading([this] {
      read_dimensions();
      read_options();
      for (std::int32_t k = 0; k < history_.dims.nya; ++k) read_group(k);
      std::string_view record;
      while (in_.unit().next_record(record)) {
        if (!blank(record)) {
          throw in_.error("a record after the last year group; the dimension record announces " +
                          std::to_string(history_.dims.nya) + " year(s)");
        }
      }
      return std::move(history_);
    });
  }

 private:
  // `what` describes the record expected, for the message; it is only
  // called when something is wrong, so the walk builds no text per record.
  template <typename Describe>
  requires std::invocable<Describe> std::string_view next(const Describe& what) {
    std::string_view record;
    if (!in_.unit().next_record(record)) {
      if (in_.line() == 0) throw InputError(in_.path() + ": the file is empty");
      throw in_.error("the file ends here, before " + what() + "; it is truncated");
    }
    return record;
  }

  std::string_view next(const std::string& what) {
    return next([&what] { return what; });
  }

  // True when no record follows the one just read.
  bool at_end() {
    std::string_view record;
    if (!in_.unit().next_record(record)) return true;
    in_.unit().step_back();
    return false;
  }

  template <typename Describe>
  CountField count_at(std::string_view record, int field, const Describe& what) {
    std::string_view text = record.substr(static_cast<size_t>(field) * kCountWidth, kCountWidth);
    auto value = parse_count_field(text);
    if (!value) {
      throw in_.error("bad field " + quoted(text) + " in columns " +
                      std::to_string(field * kCountWidth + 1) + "-" +
                      std::to_string((field + 1) * kCountWidth) + " of " + what());
    }
    return *value;
  }

  void read_dimensions() {
    const std::string what = "the dimension record (MAXY, MAXL, MAXG, IYS, IYF, NYA, NTM)";
    std::string_view record = next(what);
    if (!has_fields(record, kDimensionWidth, kDimensionValues)) {
      throw in_.error(what + " should hold seven fields of " + std::to_string(kDimensionWidth) +
                      " columns, " + std::to_string(kDimensionValues * kDimensionWidth) +
                      " characters");
    }
    std::int32_t v[kDimensionValues];
    bool known[kDimensionValues];
    for (int f = 0; f < kDimensionValues; ++f) {
      const Field& field = kDimensionFields[static_cast<size_t>(f)];
      std::string_view text = columns(record, field.column, field.width);
      auto value = parse_count_field(text);
      if (!value) throw in_.error("bad field " + quoted(text) + " in " + what);
      v[f] = value->value;
      known[f] = value->known;
    }
    // A run refused at its problem size writes this record alone, whatever
    // the sizes were; the checks below are for a run that went on.
    dimension_record_ = std::string(record);
    if (at_end()) {
      throw RefusedRun(in_.path() +
                           " holds only the dimension record: the run that wrote it was refused "
                           "before its analysis (a problem size it does not take, or work arrays "
                           "too small for it); there is nothing to summarise",
                       dimension_record_, false);
    }
    Dimensions& d = history_.dims;
    d.maxy = known[0] ? v[0] : -1;
    d.maxl = v[1];
    d.maxg = known[2] ? v[2] : -1;
    d.iys = v[3];
    d.iyf = v[4];
    d.nya = v[5];
    if (!known[1] || !known[3] || !known[4] || !known[5]) {
      throw in_.error("MAXL, IYS, IYF and NYA of the dimension record must be numbers");
    }
    if (d.maxl < 1) {
      throw in_.error("the dimension record gives no location (MAXL " + std::to_string(d.maxl) +
                      ")");
    }
    if (d.maxl > kMaxLocations) {
      throw in_.error("MAXL " + std::to_string(d.maxl) +
                      " is more locations than this reader takes (" +
                      std::to_string(kMaxLocations) + ")");
    }
    d.ntm = static_cast<std::int64_t>(packed_size(d.maxl));
    // NTM is implied by MAXL; it only needs to agree (or to be too wide for I6).
    if ((known[6] && v[6] != d.ntm) || (!known[6] && d.ntm < 1000000)) {
      throw in_.error("NTM does not equal MAXL(MAXL+1)/2 = " + std::to_string(d.ntm));
    }
    if (std::int64_t{d.iyf} - d.iys + 1 != d.nya) {
      throw in_.error("NYA does not equal IYF - IYS + 1");
    }
    if (d.nya < 1) {
      throw in_.error("the run that wrote this file analysed no year (NYA " +
                      std::to_string(d.nya) + "); there is nothing to summarise");
    }
    if (year_ && (*year_ < d.iys || *year_ > d.iyf)) {
      throw InputError("--year " + std::to_string(*year_) + ": " + in_.path() + " holds years " +
                       std::to_string(d.iys) + " to " + std::to_string(d.iyf));
    }
    chosen_ = year_ ? *year_ - d.iys : d.nya - 1;
  }

  void read_options() {
    std::string_view record = next("the option record (WEIGHT, PRXTYP, SEDTYP, CORTYP)");
    std::string padded(record);
    // An editor may have dropped a trailing blank answer; the columns are fixed.
    if (padded.size() < kOptionLength) padded.resize(kOptionLength, ' ');
    bool ok = blank(std::string_view(padded).substr(kOptionLength));
    int from = 0;
    for (const Field& field : kOptionFields) {
      ok = ok && blank(std::string_view(padded).substr(static_cast<size_t>(from),
                                                       static_cast<size_t>(field.column - from)));
      from = field.column + field.width;
    }
    if (!ok) {
      throw in_.error(
          "the option record should hold four one-character options, in columns 6, 12, "
          "18 and 24, each after five blanks");
    }
    auto answer = [&](int k) { return padded[static_cast<size_t>(kOptionFields[k].column)]; };
    history_.options = Measure{answer(0), answer(1), answer(2), answer(3)};
    if (at_end()) {
      throw RefusedRun(in_.path() +
                           " holds only the dimension and option records: the run that wrote it "
                           "was refused before its first year (names-file counts that disagree "
                           "with the problem size); there is nothing to summarise",
                       dimension_record_, true);
    }
  }

  void read_group(std::int32_t k) {
    const std::int32_t year = history_.dims.iys + k;
    const bool keep = every_year_ || k == chosen_;
    const std::string of_year = " of year " + std::to_string(year);
    std::string_view record = next("the year record" + of_year);
    const size_t name_end = static_cast<size_t>(kYearName.column + kYearName.width);
    auto value = record.size() >= static_cast<size_t>(kYearNumber.width)
                     ? parse_count_field(columns(record, kYearNumber.column, kYearNumber.width))
                     : std::nullopt;
    const bool ok =
        value && value->known &&
        blank(columns(record, kYearNumber.width, kYearName.column - kYearNumber.width)) &&
        (record.size() <= name_end || blank(record.substr(name_end)));
    if (!ok) {
      throw in_.error("expected the year record" + of_year +
                      ": the year number in six columns, four blanks and the year's name");
    }
    if (value->value != year) {
      throw in_.error("the year record gives year " + std::to_string(value->value) +
                      " where year " + std::to_string(year) + " is expected");
    }
    if (keep) {
      YearGroup& group = history_.years.emplace_back();
      group.year = year;
      group.year_name = std::string(columns(record, kYearName.column, kYearName.width));
      group.year_name.resize(static_cast<size_t>(kYearName.width), ' ');
      // The records hold the packed triangles in their own order, so the
      // values are appended as they come, with no clearing beforehand.
      const size_t ntm = static_cast<size_t>(history_.dims.ntm);
      group.prox.reserve(ntm);
      group.ngpair.reserve(ntm);
      group.nypair.reserve(ntm);
      group.ngpair_known.assign(ntm, 1);
      group.nypair_known.assign(ntm, 1);
    }
    read_proximity_block(year, keep);
    const long unknown_before = history_.unknown_counts;
    for (int block = 0; block < 3; ++block) read_count_block(year, block, keep);
    // Every count of the year known: the history drops the flags, which
    // would otherwise be an eighth of its memory.
    if (keep && every_year_ && history_.unknown_counts == unknown_before) {
      YearGroup& group = history_.years.back();
      std::vector<std::uint8_t>().swap(group.ngpair_known);
      std::vector<std::uint8_t>().swap(group.nypair_known);
    }
  }

  void read_proximity_block(std::int32_t year, bool keep) {
    const std::int32_t maxl = history_.dims.maxl;
    for (std::int32_t j = 1; j <= maxl; ++j) {
      auto what = [j, year] {
        return "the proximity record of location " + std::to_string(j) + " in year " +
               std::to_string(year);
      };
      for (std::int32_t first = 1; first <= j; first += kRealsPerRecord) {
        const int fields = std::min(kRealsPerRecord, j - first + 1);
        std::string_view record = next(what);
        if (!has_fields(record, kRealWidth, fields)) {
          throw in_.error(what() + " should hold " + std::to_string(fields) + " field(s) of " +
                          std::to_string(kRealWidth) + " columns");
        }
        if (!keep) {
          if (!is_real_text(record))
            throw in_.error("a character that cannot be part of a number in " + what());
          continue;
        }
        for (int f = 0; f < fields; ++f) {
          std::string_view text = record.substr(static_cast<size_t>(f) * kRealWidth, kRealWidth);
          auto value = parse_real_field(text);
          if (!value) {
            throw in_.error("bad field " + quoted(text) + " in columns " +
                            std::to_string(f * kRealWidth + 1) + "-" +
                            std::to_string((f + 1) * kRealWidth) + " of " + what());
          }
          history_.years.back().prox.push_back(*value);  // at packed_index(first + f, j)
        }
      }
    }
  }

  void read_count_block(std::int32_t year, int block, bool keep) {
    const std::int32_t maxl = history_.dims.maxl;
    YearGroup* group = keep ? &history_.years.back() : nullptr;
    for (std::int32_t j = 1; j <= maxl; ++j) {
      auto what = [block, j, year] {
        return std::string("the ") + kCountBlockNames[block] + " record of location " +
               std::to_string(j) + " in year " + std::to_string(year);
      };
      // Value 0 of the row is the location's total, values 1..j the column of the triangle.
      for (std::int32_t first = 0; first <= j; first += kCountsPerRecord) {
        const int fields = std::min(kCountsPerRecord, j - first + 1);
        std::string_view record = next(what);
        if (!has_fields(record, kCountWidth, fields)) {
          throw in_.error(what() + " should hold " + std::to_string(fields) + " field(s) of " +
                          std::to_string(kCountWidth) + " columns");
        }
        if (!keep) {
          if (!is_count_text(record))
            throw in_.error("a character that cannot be part of a count in " + what());
          continue;
        }
        for (int f = 0; f < fields; ++f) {
          CountField value = count_at(record, f, what);
          std::int32_t i = first + f;
          if (i == 0 || block == 2) continue;  // totals and KII are not summarised
          if (value.known && value.value < 0) throw in_.error("a negative count in " + what());
          size_t p = packed_index(i, j);
          auto& counts = block == 0 ? group->ngpair : group->nypair;
          auto& known = block == 0 ? group->ngpair_known : group->nypair_known;
          counts.push_back(value.known ? value.value : 0);  // at p
          if (!value.known) {
            known[p] = 0;
            ++history_.unknown_counts;
          }
        }
      }
    }
  }

  InputFile in_;
  std::string dimension_record_;
  std::optional<std::int32_t> year_;
  bool every_year_ = false;
  std::int32_t chosen_ = 0;
  ProximityHistory history_;
};

}  // namespace

ProximityFile read_proximity_file(const std::string& path, std::optional<std::int32_t> year) {
  ProximityHistory history = Walker(path, year, false).walk();
  ProximityFile file;
  file.dims = history.dims;
  file.options = history.options;
  file.group = std::move(history.years.front());
  file.unknown_counts = history.unknown_counts;
  return file;
}

ProximityHistory read_proximity_history(const std::string& path,
                                        std::optional<std::int32_t> year) {
  return Walker(path, year, true).walk();
}

ProximityFile proximity_file_of(const ProximityHistory& history,
                                std::optional<std::int32_t> year) {
  ProximityFile file;
  file.dims = history.dims;
  file.options = history.options;
  const size_t k =
      year ? static_cast<size_t>(*year - history.dims.iys) : history.years.size() - 1;
  file.group = history.years.at(k);
  const size_t ntm = static_cast<size_t>(history.dims.ntm);
  // The history drops the flags of a year whose counts are all known.
  if (file.group.ngpair_known.empty()) file.group.ngpair_known.assign(ntm, 1);
  if (file.group.nypair_known.empty()) file.group.nypair_known.assign(ntm, 1);
  file.unknown_counts =
      std::count(file.group.ngpair_known.begin(), file.group.ngpair_known.end(), 0) +
      std::count(file.group.nypair_known.begin(), file.group.nypair_known.end(), 0);
  return file;
}

}  // namespace locprox::summary
