#include "summary/proximity_file.h"

#include <concepts>
#include <string_view>

#include "summary/errors.h"
#include "summary/fields.h"
#include "summary/line_reader.h"

namespace locprox::summary {

namespace {

// Record layouts of the proximity file, in the fixed-column notation.
constexpr int kDimensionWidth = 6;  // "(10I6)", seven values
constexpr int kDimensionFields = 7;
constexpr int kOptionWidth = 24;  // "(4(5X,A1))"
constexpr int kRealWidth = 16;    // "(10E16.8)"
constexpr int kRealsPerRecord = 10;
constexpr int kCountWidth = 6;  // "(30I6)"
constexpr int kCountsPerRecord = 30;
constexpr int kYearNameColumn = 10;  // "(I6,4X,A8)": the name is in columns 11-18
constexpr int kYearNameWidth = 8;

const char* const kCountBlockNames[3] = {"first count block (NGLOC, NGPAIR)",
                                         "second count block (NYLOC, NYPAIR)",
                                         "third count block (KI, KII)"};

std::string quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

class Walker {
 public:
  Walker(const std::string& path, std::optional<std::int32_t> year) : in_(path), year_(year) {}

  ProximityFile walk() {
    read_dimensions();
    read_options();
    for (std::int32_t k = 0; k < file_.dims.nya; ++k) read_group(k);
    std::string_view record;
    while (in_.next(record)) {
      if (record.find_first_not_of(' ') != std::string_view::npos) {
        throw error("a record after the last year group; the dimension record announces " +
                    std::to_string(file_.dims.nya) + " year(s)");
      }
    }
    return std::move(file_);
  }

 private:
  InputError error(const std::string& what) const { return error_at(in_.path(), in_.line(), what); }

  // `what` describes the record expected, for the message; it is only
  // called when something is wrong, so the walk builds no text per record.
  template <typename Describe>
  requires std::invocable<Describe> std::string_view next(const Describe& what) {
    std::string_view record;
    if (!in_.next(record)) {
      if (in_.line() == 0) throw InputError(in_.path() + ": the file is empty");
      throw error("the file ends here, before " + what() + "; it is truncated");
    }
    return record;
  }

  std::string_view next(const std::string& what) {
    return next([&what] { return what; });
  }

  template <typename Describe>
  CountField count_at(std::string_view record, int field, const Describe& what) {
    std::string_view text = record.substr(static_cast<size_t>(field) * kCountWidth, kCountWidth);
    auto value = parse_count(text);
    if (!value) {
      throw error("bad field " + quoted(text) + " in columns " +
                  std::to_string(field * kCountWidth + 1) + "-" +
                  std::to_string((field + 1) * kCountWidth) + " of " + what());
    }
    return *value;
  }

  void read_dimensions() {
    const std::string what = "the dimension record (MAXY, MAXL, MAXG, IYS, IYF, NYA, NTM)";
    std::string_view record = next(what);
    if (!has_fields(record, kDimensionWidth, kDimensionFields)) {
      throw error(what + " should hold seven fields of six columns, 42 characters");
    }
    std::int32_t v[kDimensionFields];
    bool known[kDimensionFields];
    for (int f = 0; f < kDimensionFields; ++f) {
      std::string_view text =
          record.substr(static_cast<size_t>(f) * kDimensionWidth, kDimensionWidth);
      auto value = parse_count(text);
      if (!value) throw error("bad field " + quoted(text) + " in " + what);
      v[f] = value->value;
      known[f] = value->known;
    }
    Dimensions& d = file_.dims;
    d.maxy = known[0] ? v[0] : -1;
    d.maxl = v[1];
    d.maxg = known[2] ? v[2] : -1;
    d.iys = v[3];
    d.iyf = v[4];
    d.nya = v[5];
    if (!known[1] || !known[3] || !known[4] || !known[5]) {
      throw error("MAXL, IYS, IYF and NYA of the dimension record must be numbers");
    }
    if (d.maxl < 1)
      throw error("the dimension record gives no location (MAXL " + std::to_string(d.maxl) + ")");
    if (d.maxl > kMaxLocations) {
      throw error("MAXL " + std::to_string(d.maxl) + " is more locations than this reader takes (" +
                  std::to_string(kMaxLocations) + ")");
    }
    d.ntm = std::int64_t{d.maxl} * (d.maxl + 1) / 2;
    // NTM is implied by MAXL; it only needs to agree (or to be too wide for I6).
    if ((known[6] && v[6] != d.ntm) || (!known[6] && d.ntm < 1000000)) {
      throw error("NTM does not equal MAXL(MAXL+1)/2 = " + std::to_string(d.ntm));
    }
    if (std::int64_t{d.iyf} - d.iys + 1 != d.nya) {
      throw error("NYA does not equal IYF - IYS + 1");
    }
    if (d.nya < 1) {
      throw error("the run that wrote this file analysed no year (NYA " + std::to_string(d.nya) +
                  "); there is nothing to summarise");
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
    if (padded.size() < kOptionWidth) padded.resize(kOptionWidth, ' ');
    bool ok = padded.find_first_not_of(' ', kOptionWidth) == std::string::npos;
    for (int f = 0; f < 4 && ok; ++f) {
      ok = padded.compare(static_cast<size_t>(f) * 6, 5, "     ") == 0;
    }
    if (!ok) {
      throw error(
          "the option record should hold four one-character options, in columns 6, 12, "
          "18 and 24, each after five blanks");
    }
    file_.options = RunOptions{padded[5], padded[11], padded[17], padded[23]};
  }

  void read_group(std::int32_t k) {
    const std::int32_t year = file_.dims.iys + k;
    const bool keep = k == chosen_;
    const std::string of_year = " of year " + std::to_string(year);
    std::string_view record = next("the year record" + of_year);
    std::string_view number = record.substr(0, std::min<size_t>(record.size(), kCountWidth));
    auto value = record.size() >= kCountWidth ? parse_count(number) : std::nullopt;
    bool ok =
        value && value->known &&
        (record.size() <= kCountWidth ||
         record.substr(kCountWidth, kYearNameColumn - kCountWidth).find_first_not_of(' ') ==
             std::string_view::npos) &&
        (record.size() <= kYearNameColumn + kYearNameWidth ||
         record.find_first_not_of(' ', kYearNameColumn + kYearNameWidth) == std::string_view::npos);
    if (!ok) {
      throw error("expected the year record" + of_year +
                  ": the year number in six columns, four blanks and the year's name");
    }
    if (value->value != year) {
      throw error("the year record gives year " + std::to_string(value->value) + " where year " +
                  std::to_string(year) + " is expected");
    }
    YearGroup& group = file_.group;
    if (keep) {
      group.year = year;
      group.year_name = record.size() > kYearNameColumn
                            ? std::string(record.substr(kYearNameColumn))
                            : std::string();
      group.year_name.resize(kYearNameWidth, ' ');
      const size_t ntm = static_cast<size_t>(file_.dims.ntm);
      group.prox.assign(ntm, 0.0);
      group.ngpair.assign(ntm, 0);
      group.nypair.assign(ntm, 0);
      group.ngpair_known.assign(ntm, 1);
      group.nypair_known.assign(ntm, 1);
    }
    read_proximity_block(year, keep);
    for (int block = 0; block < 3; ++block) read_count_block(year, block, keep);
  }

  void read_proximity_block(std::int32_t year, bool keep) {
    const std::int32_t maxl = file_.dims.maxl;
    for (std::int32_t j = 1; j <= maxl; ++j) {
      auto what = [j, year] {
        return "the proximity record of location " + std::to_string(j) + " in year " +
               std::to_string(year);
      };
      for (std::int32_t first = 1; first <= j; first += kRealsPerRecord) {
        const int fields = std::min(kRealsPerRecord, j - first + 1);
        std::string_view record = next(what);
        if (!has_fields(record, kRealWidth, fields)) {
          throw error(what() + " should hold " + std::to_string(fields) + " field(s) of " +
                      std::to_string(kRealWidth) + " columns");
        }
        if (!keep) {
          if (!is_real_text(record))
            throw error("a character that cannot be part of a number in " + what());
          continue;
        }
        for (int f = 0; f < fields; ++f) {
          std::string_view text = record.substr(static_cast<size_t>(f) * kRealWidth, kRealWidth);
          auto value = parse_real(text);
          if (!value) {
            throw error("bad field " + quoted(text) + " in columns " +
                        std::to_string(f * kRealWidth + 1) + "-" +
                        std::to_string((f + 1) * kRealWidth) + " of " + what());
          }
          file_.group.prox[packed_index(first + f, j)] = *value;
        }
      }
    }
  }

  void read_count_block(std::int32_t year, int block, bool keep) {
    const std::int32_t maxl = file_.dims.maxl;
    YearGroup& group = file_.group;
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
          throw error(what() + " should hold " + std::to_string(fields) + " field(s) of " +
                      std::to_string(kCountWidth) + " columns");
        }
        if (!keep) {
          if (!is_count_text(record))
            throw error("a character that cannot be part of a count in " + what());
          continue;
        }
        for (int f = 0; f < fields; ++f) {
          CountField value = count_at(record, f, what);
          std::int32_t i = first + f;
          if (i == 0 || block == 2) continue;  // totals and KII are not summarised
          if (value.known && value.value < 0) throw error("a negative count in " + what());
          size_t p = packed_index(i, j);
          auto& counts = block == 0 ? group.ngpair : group.nypair;
          auto& known = block == 0 ? group.ngpair_known : group.nypair_known;
          if (value.known) {
            counts[p] = value.value;
          } else {
            known[p] = 0;
            ++file_.unknown_counts;
          }
        }
      }
    }
  }

  LineReader in_;
  std::optional<std::int32_t> year_;
  std::int32_t chosen_ = 0;
  ProximityFile file_;
};

}  // namespace

ProximityFile read_proximity_file(const std::string& path, std::optional<std::int32_t> year) {
  return Walker(path, year).walk();
}

}  // namespace locprox::summary
