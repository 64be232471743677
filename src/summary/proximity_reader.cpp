#include "summary/proximity_reader.h"

#include <algorithm>
#include <concepts>
#include <cstring>
#include <string_view>

#include "format/field_reader.h"
#include "format/layout.h"
#include "job/worker_pool.h"
#include "summary/errors.h"
#include "summary/input_file.h"
#include "summary/proximity_fields.h"

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

// How many records one year's group holds: the year record, MAXL columns
// of the proximity triangle (a record per ten values) and three count blocks
// (a record per thirty values, each column led by its total).
std::int64_t records_per_group(std::int32_t maxl) {
  std::int64_t records = 1;
  for (std::int32_t j = 1; j <= maxl; ++j) {
    records += (j + kRealsPerRecord - 1) / kRealsPerRecord;
    records += 3 * ((j + 1 + kCountsPerRecord - 1) / kCountsPerRecord);
  }
  return records;
}

// Where records start, found without reading them: for each count in
// `records` (ascending), the byte after that many records from `from` on;
// std::string_view::npos when the bytes hold fewer. The bytes are cut into
// chunks that the pool's threads scan for line feeds twice: once to count
// them, once (knowing how many come before each chunk) to note the offsets
// asked for.
std::vector<size_t> record_starts(std::string_view bytes, size_t from,
                                  const std::vector<std::int64_t>& records, WorkerPool& pool) {
  constexpr size_t kSmallestChunk = size_t{1} << 16;
  const size_t length = bytes.size() - from;
  const size_t chunks =
      std::max<size_t>(1, std::min<size_t>(size_t{4} * pool.threads(), length / kSmallestChunk));
  const size_t chunk_length = length / chunks + 1;
  auto chunk_range = [&](size_t c) {
    const size_t begin = from + std::min(length, c * chunk_length);
    const size_t end = from + std::min(length, (c + 1) * chunk_length);
    return std::pair{begin, end};
  };
  // Calls seen(offset after the line feed) for each line feed of chunk c.
  auto for_each_line_feed = [&](size_t c, auto&& seen) {
    auto [at, end] = chunk_range(c);
    while (at < end) {
      const void* found = std::memchr(bytes.data() + at, '\n', end - at);
      if (found == nullptr) break;
      at = static_cast<size_t>(static_cast<const char*>(found) - bytes.data()) + 1;
      if (!seen(at)) break;
    }
  };

  std::vector<std::int64_t> line_feeds(chunks, 0);
  auto count = [&](size_t c) {
    for_each_line_feed(c, [&](size_t) {
      ++line_feeds[c];
      return true;
    });
  };
  pool.run(chunks, count);
  std::vector<std::int64_t> before(chunks + 1, 0);
  for (size_t c = 0; c < chunks; ++c) before[c + 1] = before[c] + line_feeds[c];

  std::vector<size_t> starts(records.size(), std::string_view::npos);
  auto note = [&](size_t c) {
    // The counts that end in this chunk: after its first line feed, up to its last.
    size_t r = static_cast<size_t>(
        std::upper_bound(records.begin(), records.end(), before[c]) - records.begin());
    std::int64_t seen = before[c];
    for_each_line_feed(c, [&](size_t after) {
      ++seen;
      while (r < records.size() && records[r] == seen) starts[r++] = after;
      return r < records.size() && records[r] <= before[c + 1];
    });
  };
  pool.run(chunks, note);
  // No record: the start itself. The last record has no line feed: its end.
  const std::int64_t total = before[chunks];
  const bool open_end = length > 0 && bytes.back() != '\n';
  for (size_t r = 0; r < records.size(); ++r) {
    if (records[r] == 0) starts[r] = from;
    if (open_end && records[r] == total + 1) starts[r] = bytes.size();
  }
  return starts;
}

// The next record, or the message for a file that ends before it: `what`
// describes the record expected; it is only called when something is wrong,
// so the walk builds no text per record. A `length` other than 0 is the
// record's length as the writer writes it (RecordCursor::next_of_length).
template <typename Describe>
requires std::invocable<Describe> std::string_view next_record(RecordCursor& in,
                                                               const Describe& what,
                                                               size_t length = 0) {
  std::string_view record;
  if (!(length != 0 ? in.next_of_length(length, record) : in.next(record))) {
    if (in.line() == 0) throw InputError(in.path() + ": the file is empty");
    throw in.error("the file ends here, before " + what() + "; it is truncated");
  }
  return record;
}

std::string_view next_record(RecordCursor& in, const std::string& what) {
  return next_record(in, [&what] { return what; });
}

// Reads one year's group from its year record on: checks every record's
// shape and, when the group is kept, converts its fields into `group`. With
// `cut_by_length`, the records of the blocks are cut at the length the
// writer gives them (RecordCursor::next_of_length): a record with a line
// feed inside is then refused where a cut at each line feed might read it,
// so a group refused this way must be read again without.
class GroupReader {
 public:
  GroupReader(RecordCursor in, const Dimensions& dims, bool cut_by_length)
      : in_(in), dims_(dims), cut_by_length_(cut_by_length) {}

  // `group` is null when the group is only checked.
  void read(std::int32_t year, YearGroup* group) {
    group_ = group;
    const std::string of_year = " of year " + std::to_string(year);
    std::string_view record = next_record(in_, "the year record" + of_year);
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
    if (group_ != nullptr) {
      group_->year = year;
      group_->year_name = std::string(columns(record, kYearName.column, kYearName.width));
      group_->year_name.resize(static_cast<size_t>(kYearName.width), ' ');
      // The records hold the packed triangles in their own order, so the
      // values are appended as they come, with no clearing beforehand.
      const size_t ntm = static_cast<size_t>(dims_.ntm);
      group_->prox.reserve(ntm);
      group_->ngpair.reserve(ntm);
      group_->nypair.reserve(ntm);
      // The known flags are made at the first asterisk field, if any.
    }
    read_proximity_block(year);
    for (int block = 0; block < 3; ++block) read_count_block(year, block);
  }

  // Asterisk fields among the group's NGPAIR and NYPAIR (kept groups only).
  long unknown_counts() const { return unknown_counts_; }
  // The byte after the group's last record.
  size_t end() const { return in_.offset(); }

 private:
  void read_proximity_block(std::int32_t year) {
    for (std::int32_t j = 1; j <= dims_.maxl; ++j) {
      auto what = [j, year] {
        return "the proximity record of location " + std::to_string(j) + " in year " +
               std::to_string(year);
      };
      for (std::int32_t first = 1; first <= j; first += kRealsPerRecord) {
        const int fields = std::min(kRealsPerRecord, j - first + 1);
        const std::optional<std::string_view> record =
            next_fields(what, fields, kRealWidth, is_real_text, "number");
        if (!record) continue;
        for (int f = 0; f < fields; ++f) {
          std::string_view text = record->substr(static_cast<size_t>(f) * kRealWidth, kRealWidth);
          auto value = real_field_value(text);
          if (!value) throw bad_field(text, f, kRealWidth, what);
          group_->prox.push_back(*value);  // at packed_index(first + f, j)
        }
      }
    }
  }

  void read_count_block(std::int32_t year, int block) {
    for (std::int32_t j = 1; j <= dims_.maxl; ++j) {
      auto what = [block, j, year] {
        return std::string("the ") + kCountBlockNames[block] + " record of location " +
               std::to_string(j) + " in year " + std::to_string(year);
      };
      // Value 0 of the row is the location's total, values 1..j the column of the triangle.
      for (std::int32_t first = 0; first <= j; first += kCountsPerRecord) {
        const int fields = std::min(kCountsPerRecord, j - first + 1);
        const std::optional<std::string_view> record =
            next_fields(what, fields, kCountWidth, is_count_text, "count");
        if (!record) continue;
        for (int f = 0; f < fields; ++f) {
          std::string_view text =
              record->substr(static_cast<size_t>(f) * kCountWidth, kCountWidth);
          // Nearly every field is right-aligned digits; the rest take the
          // general reader.
          CountField value{usual_count_field(text), true};
          if (value.value < 0) {
            const std::optional<CountField> other = count_field_value(text);
            if (!other) throw bad_field(text, f, kCountWidth, what);
            value = *other;
          }
          std::int32_t i = first + f;
          if (i == 0 || block == 2) continue;  // totals and KII are not summarised
          if (value.known && value.value < 0) throw in_.error("a negative count in " + what());
          auto& counts = block == 0 ? group_->ngpair : group_->nypair;
          counts.push_back(value.known ? value.value : 0);  // at packed_index(i, j)
          if (!value.known) {
            auto& known = block == 0 ? group_->ngpair_known : group_->nypair_known;
            if (known.empty()) known.assign(static_cast<size_t>(dims_.ntm), 1);
            known[packed_index(i, j)] = 0;
            ++unknown_counts_;
          }
        }
      }
    }
  }

  // The next record of what(), which must hold `fields` fields of `width`
  // columns; nothing when the group is only checked, after its characters
  // are (`text_ok`: every one could be part of a `kind`).
  template <class Describe>
  std::optional<std::string_view> next_fields(const Describe& what, int fields, int width,
                                              bool (*text_ok)(std::string_view),
                                              const char* kind) {
    std::string_view record = next_record(in_, what, written_length(fields * width));
    if (!has_fields(record, width, fields)) {
      throw in_.error(what() + " should hold " + std::to_string(fields) + " field(s) of " +
                      std::to_string(width) + " columns");
    }
    if (group_ != nullptr) return record;
    if (!text_ok(record)) {
      throw in_.error(std::string("a character that cannot be part of a ") + kind + " in " +
                      what());
    }
    return std::nullopt;
  }

  // The error of field `f` (from 0), `text`, of `width` columns in what().
  template <class Describe>
  InputError bad_field(std::string_view text, int f, int width, const Describe& what) const {
    return in_.error("bad field " + quoted(text) + " in columns " +
                     std::to_string(f * width + 1) + "-" + std::to_string((f + 1) * width) +
                     " of " + what());
  }

  size_t written_length(int characters) const {
    return cut_by_length_ ? static_cast<size_t>(characters) : 0;
  }

  RecordCursor in_;
  const Dimensions& dims_;
  bool cut_by_length_ = false;
  YearGroup* group_ = nullptr;
  long unknown_counts_ = 0;
};

// The walk over the whole file: the dimension and option records in turn,
// then the year groups, each on its own and on the pool's threads (every
// group has the number of records the dimension record implies, so where
// each starts is known before any is read), then whatever follows the last.
// A fault is reported as a walk record by record would meet it first: the
// header's, else the first faulty group's (groups are independent, and the
// pool rethrows the failure of the lowest group), else the tail's.
class Walker {
 public:
  // Keeps the group of `year` (the last when empty), or every group when
  // `every_year` is set.
  Walker(const std::string& path, std::optional<std::int32_t> year, bool every_year,
         unsigned threads)
      : path_(path), file_(whole_proximity_file(path)), year_(year),
        every_year_(every_year),
        pool_(threads == 0 ? default_thread_count() : threads) {}

  ProximityHistory walk() {
    RecordCursor header(file_.bytes(), 0, 0, path_);
    read_dimensions(header);
    read_options(header);
    read_groups(header);
    return std::move(history_);
  }

 private:
  void read_dimensions(RecordCursor& in) {
    const std::string what = "the dimension record (MAXY, MAXL, MAXG, IYS, IYF, NYA, NTM)";
    std::string_view record = next_record(in, what);
    if (!has_fields(record, kDimensionWidth, kDimensionValues)) {
      throw in.error(what + " should hold seven fields of " + std::to_string(kDimensionWidth) +
                     " columns, " + std::to_string(kDimensionValues * kDimensionWidth) +
                     " characters");
    }
    std::int32_t v[kDimensionValues];
    bool known[kDimensionValues];
    for (int f = 0; f < kDimensionValues; ++f) {
      const Field& field = kDimensionFields[static_cast<size_t>(f)];
      std::string_view text = columns(record, field.column, field.width);
      auto value = parse_count_field(text);
      if (!value) throw in.error("bad field " + quoted(text) + " in " + what);
      v[f] = value->value;
      known[f] = value->known;
    }
    // A run refused at its problem size writes this record alone, whatever
    // the sizes were; the checks below are for a run that went on.
    dimension_record_ = std::string(record);
    if (in.at_end()) {
      throw RefusedRun(path_ +
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
      throw in.error("MAXL, IYS, IYF and NYA of the dimension record must be numbers");
    }
    if (d.maxl < 1) {
      throw in.error("the dimension record gives no location (MAXL " + std::to_string(d.maxl) +
                     ")");
    }
    if (d.maxl > kMaxLocations) {
      throw in.error("MAXL " + std::to_string(d.maxl) +
                     " is more locations than this reader takes (" +
                     std::to_string(kMaxLocations) + ")");
    }
    d.ntm = static_cast<std::int64_t>(packed_size(d.maxl));
    // NTM is implied by MAXL; it only needs to agree (or to be too wide for I6).
    if ((known[6] && v[6] != d.ntm) || (!known[6] && d.ntm < 1000000)) {
      throw in.error("NTM does not equal MAXL(MAXL+1)/2 = " + std::to_string(d.ntm));
    }
    if (std::int64_t{d.iyf} - d.iys + 1 != d.nya) {
      throw in.error("NYA does not equal IYF - IYS + 1");
    }
    if (d.nya < 1) {
      throw in.error("the run that wrote this file analysed no year (NYA " +
                     std::to_string(d.nya) + "); there is nothing to summarise");
    }
    if (year_ && (*year_ < d.iys || *year_ > d.iyf)) {
      throw InputError("--year " + std::to_string(*year_) + ": " + path_ + " holds years " +
                       std::to_string(d.iys) + " to " + std::to_string(d.iyf));
    }
    chosen_ = year_ ? *year_ - d.iys : d.nya - 1;
  }

  void read_options(RecordCursor& in) {
    std::string_view record = next_record(in, "the option record (WEIGHT, PRXTYP, SEDTYP, CORTYP)");
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
      throw in.error(
          "the option record should hold four one-character options, in columns 6, 12, "
          "18 and 24, each after five blanks");
    }
    auto answer = [&](int k) { return padded[static_cast<size_t>(kOptionFields[k].column)]; };
    history_.options = Measure{answer(0), answer(1), answer(2), answer(3)};
    if (in.at_end()) {
      throw RefusedRun(path_ +
                           " holds only the dimension and option records: the run that wrote it "
                           "was refused before its first year (names-file counts that disagree "
                           "with the problem size); there is nothing to summarise",
                       dimension_record_, true);
    }
  }

  // `header` stands after the option record. The groups are read as the
  // writer lays them out when that checks out, else record by record.
  void read_groups(const RecordCursor& header) {
    const std::int32_t nya = history_.dims.nya;
    const std::int64_t per_group = records_per_group(history_.dims.maxl);
    std::vector<size_t> starts;
    if (!read_groups_as_written(header, per_group, starts)) {
      read_groups_record_by_record(header, per_group, starts);
    }
    RecordCursor tail(file_.bytes(), starts[static_cast<size_t>(nya)],
                      header.line() + nya * per_group, path_);
    std::string_view record;
    while (tail.next(record)) {
      if (!blank(record)) {
        throw tail.error("a record after the last year group; the dimension record announces " +
                         std::to_string(nya) + " year(s)");
      }
    }
  }

  // The way through a file as the writer writes it, without searching for
  // most line ends: every group then has the bytes of the first, so group k
  // starts k times that length after the first, and each record of the
  // blocks is as long as its fields. Each group is read from where it
  // should start and must end where the next should; if that holds for
  // every group, each did start there (the first does, and each ends where
  // the next starts), so the groups, their values and their line numbers are
  // those of a walk record by record. Anything else (a line longer or
  // shorter, a fault anywhere) gives false, and `starts` (the groups' first
  // bytes and the byte after the last group) is then not to be used.
  bool read_groups_as_written(const RecordCursor& header, std::int64_t per_group,
                              std::vector<size_t>& starts) {
    const size_t nya = static_cast<size_t>(history_.dims.nya);
    RecordCursor first = header;
    std::string_view record;
    try {
      for (std::int64_t r = 0; r < per_group; ++r) {
        if (!first.next(record)) return false;
      }
    } catch (const InputError&) {
      return false;  // a record too long: the walk record by record says where
    }
    const size_t size = file_.bytes().size();
    const size_t from = header.offset();
    const size_t length = first.offset() - from;
    if (length == 0 || (size - from) / length < nya) return false;
    starts.resize(nya + 1);
    for (size_t k = 0; k <= nya; ++k) {
      starts[k] = from + k * length;
      if (k > 0 && file_.bytes()[starts[k] - 1] != '\n') return false;
    }
    std::vector<std::uint8_t> ended_right(nya, 0);
    std::vector<long> unknown(nya, 0);
    history_.years.assign(every_year_ ? nya : 1, YearGroup{});
    auto read = [&](size_t k) {
      try {
        const RecordCursor at(file_.bytes(), starts[k],
                              header.line() + static_cast<std::int64_t>(k) * per_group, path_);
        ended_right[k] = read_group(k, at, true, unknown[k]) == starts[k + 1];
        file_.done_with(starts[k], starts[k + 1]);
      } catch (const InputError&) {
        ended_right[k] = 0;  // read again record by record, for the message
      }
    };
    pool_.run(nya, read);
    if (std::find(ended_right.begin(), ended_right.end(), 0) != ended_right.end()) return false;
    for (long u : unknown) history_.unknown_counts += u;
    return true;
  }

  // The way through any file: where each group starts is found by counting
  // line feeds (record_starts), then the groups are read, each on its own.
  void read_groups_record_by_record(const RecordCursor& header, std::int64_t per_group,
                                    std::vector<size_t>& starts) {
    const std::int32_t nya = history_.dims.nya;
    // Where each group starts, and where the records after the last one do.
    std::vector<std::int64_t> records;
    for (std::int32_t k = 0; k <= nya; ++k) records.push_back(k * per_group);
    starts = record_starts(file_.bytes(), header.offset(), records, pool_);
    // A group that starts beyond the end of the file is not read: the group
    // before it finds the file truncated.
    std::int32_t present = 0;
    while (present < nya && starts[static_cast<size_t>(present)] != std::string_view::npos) {
      ++present;
    }
    history_.years.assign(every_year_ ? static_cast<size_t>(present) : 1, YearGroup{});
    std::vector<long> unknown(static_cast<size_t>(present), 0);
    auto read = [&](size_t k) {
      const size_t end =
          read_group(k, RecordCursor(file_.bytes(), starts[k], header.line() + records[k], path_),
                     false, unknown[k]);
      file_.done_with(starts[k], end);
    };
    pool_.run(static_cast<size_t>(present), read);
    if (present < nya) {
      // Cannot happen: the last group present runs out of records.
      throw InputError(path_ + ": the file ends before year " +
                       std::to_string(history_.dims.iys + present) + "; it is truncated");
    }
    for (long u : unknown) history_.unknown_counts += u;
  }

  // Reads group k (0-based) from `at` into its place in the history, counts
  // its asterisk fields into `unknown` and gives the byte after it.
  size_t read_group(size_t k, const RecordCursor& at, bool cut_by_length, long& unknown) {
    const bool keep = every_year_ || static_cast<std::int32_t>(k) == chosen_;
    YearGroup* group = !keep ? nullptr : every_year_ ? &history_.years[k] : &history_.years[0];
    GroupReader reader(at, history_.dims, cut_by_length);
    reader.read(history_.dims.iys + static_cast<std::int32_t>(k), group);
    unknown = reader.unknown_counts();
    // The history keeps the flags of a year only when one of its counts is
    // unknown (they would otherwise be an eighth of its memory); the one
    // year read alone always has both.
    if (keep && (!every_year_ || unknown != 0)) {
      const size_t ntm = static_cast<size_t>(history_.dims.ntm);
      if (group->ngpair_known.empty()) group->ngpair_known.assign(ntm, 1);
      if (group->nypair_known.empty()) group->nypair_known.assign(ntm, 1);
    }
    return reader.end();
  }

  const std::string& path_;
  WholeFile file_;
  std::string dimension_record_;
  std::optional<std::int32_t> year_;
  bool every_year_ = false;
  std::int32_t chosen_ = 0;
  WorkerPool pool_;
  ProximityHistory history_;
};

}  // namespace

ProximityFile read_proximity_file(const std::string& path, std::optional<std::int32_t> year,
                                  unsigned threads) {
  ProximityHistory history = Walker(path, year, false, threads).walk();
  ProximityFile file;
  file.dims = history.dims;
  file.options = history.options;
  file.group = std::move(history.years.front());
  file.unknown_counts = history.unknown_counts;
  return file;
}

ProximityHistory read_proximity_history(const std::string& path,
                                        std::optional<std::int32_t> year, unsigned threads) {
  return Walker(path, year, true, threads).walk();
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
