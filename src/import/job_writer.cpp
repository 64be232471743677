#include "import/job_writer.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <string_view>
#include <system_error>
#include <memory>
#include <span>
#include <unordered_map>

#include "format/free_form.h"

namespace locprox {
namespace {

template <typename Integer>
void write_integer(OutputFile& file, Integer value) {
  char* out = file.reserve(24);
  file.commit(static_cast<std::size_t>(std::to_chars(out, out + 24, value).ptr - out));
}

// The shortest text that reads back as `value` in single precision.
void write_value(OutputFile& file, float value) {
  char* out = file.reserve(32);
  file.commit(static_cast<std::size_t>(std::to_chars(out, out + 32, value).ptr - out));
}

void write_observation(OutputFile& file, std::uint32_t year, std::uint32_t location,
                       std::uint32_t entry, float value) {
  write_integer(file, year);
  file.write(" ");
  write_integer(file, location + 1);
  file.write(" ");
  write_integer(file, entry + 1);
  file.write(" ");
  write_value(file, value);
  file.write("\n");
}

void write_names(OutputFile& file, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    file.write(name);
    file.write("\n");
  }
}

}  // namespace

void write_names_file(OutputFile& file, const NamesFileContents& contents) {
  file.write(contents.title);
  file.write("\n");
  write_integer(file, contents.year_names->size());
  file.write(" ");
  write_integer(file, contents.location_names->size());
  file.write(" ");
  write_integer(file, contents.entry_names->size());
  file.write("\n");
  write_names(file, *contents.year_names);
  write_names(file, *contents.location_names);
  write_names(file, *contents.entry_names);
}

RowsByYear rows_by_year(const ObservationRows& rows, const YearNumbering& years) {
  RowsByYear by_year;
  by_year.start.assign(years.number.size() + 2, 0);
  for (std::size_t i = 0; i < rows.size(); ++i) ++by_year.start[years.number[rows[i].year] + 1];
  for (std::size_t y = 1; y < by_year.start.size(); ++y) by_year.start[y] += by_year.start[y - 1];
  by_year.order.resize(rows.size());
  std::vector<std::size_t> next(by_year.start.begin(), by_year.start.end() - 1);
  for (std::size_t i = 0; i < rows.size(); ++i)
    by_year.order[next[years.number[rows[i].year]]++] = static_cast<std::uint32_t>(i);
  return by_year;
}

namespace {

// The cells (location, entry) of one year, numbered by their first
// appearance. The year's locations and entries are numbered first (in
// arrays over all of them, marked by the year they were last seen in), and
// a cell is found in a table of the year's locations by the year's entries:
// a few hundred KiB for a year of hundreds of locations and entries, reused
// from year to year, where a table of every location and entry of the
// whole table took tens of MiB of fresh memory. A year too large for that
// table goes through a hash table.
class YearCells {
 public:
  YearCells(std::size_t locations, std::size_t entries)
      : location_seen_(locations, 0), entry_seen_(entries, 0),
        location_number_(locations), entry_number_(entries) {}

  // Starts the year whose rows are rows[order[k]] for k in [first, end).
  void start_year(const ObservationRows& rows, const std::vector<std::uint32_t>& order,
                  std::size_t first, std::size_t end) {
    ++year_;
    std::uint32_t locations = 0, entries = 0;
    for (std::size_t k = first; k < end; ++k) {
      const TableObservation& row = rows[order[k]];
      if (location_seen_[row.location] != year_) {
        location_seen_[row.location] = year_;
        location_number_[row.location] = locations++;
      }
      if (entry_seen_[row.entry] != year_) {
        entry_seen_[row.entry] = year_;
        entry_number_[row.entry] = entries++;
      }
    }
    entries_ = entries;
    count_ = 0;
    sparse_.clear();
    dense_.clear();
    if (locations == 0 || entries <= kMostSlots / locations) {
      dense_.assign(std::size_t{locations} * entries, 0);
    }
  }
  // The cell's number, and whether it is new this year.
  std::pair<std::uint32_t, bool> find_or_add(std::uint32_t location, std::uint32_t entry) {
    const std::uint32_t l = location_number_[location], e = entry_number_[entry];
    if (!dense_.empty()) {
      std::uint32_t& number = dense_[std::size_t{l} * entries_ + e];  // the cell's number + 1, or 0
      if (number != 0) return {number - 1, false};
      number = ++count_;
      return {number - 1, true};
    }
    const std::uint64_t key = std::uint64_t{l} << 32 | e;
    const auto [found, added] = sparse_.try_emplace(key, count_);
    if (added) ++count_;
    return {found->second, added};
  }

 private:
  static constexpr std::size_t kMostSlots = std::size_t{1} << 24;  // 64 MiB
  // By location and by entry: the year they were last seen in (years
  // counted by this object from 1), and their number in that year.
  std::vector<std::uint32_t> location_seen_, entry_seen_;
  std::vector<std::uint32_t> location_number_, entry_number_;
  std::uint32_t year_ = 0;
  std::uint32_t entries_ = 0;
  std::uint32_t count_ = 0;
  std::vector<std::uint32_t> dense_;  // the cell's number + 1, or 0
  std::unordered_map<std::uint64_t, std::uint32_t> sparse_;
};

// Years formatted on several threads, each year into a buffer of the
// thread's own (reused from year to year), and added to `file` in year
// order: the bytes one thread would write, with no more memory than a year
// per thread. Each thread takes the next year not yet taken; `writers[t]`
// formats for thread t: format(OutputFile& text, year) puts the year into
// `text`, and joined(year) is called for each year in year order once its
// text is in the file (under the same lock), to gather what the year found.
// With one writer, or one year, everything is done here, straight into
// `file`. The first failure (in the order it happened) is thrown once every
// thread has stopped.
template <class Writer>
void write_years_in_order(OutputFile& file, std::uint32_t years, std::vector<Writer>& writers) {
  if (writers.size() <= 1 || years <= 1) {
    for (std::uint32_t year = 1; year <= years; ++year) {
      writers.front().format(file, year);
      writers.front().joined(year);
    }
    return;
  }
  std::mutex mutex;
  std::condition_variable turn;
  std::uint32_t next_taken = 1, next_joined = 1;
  std::exception_ptr failure;
  const auto work = [&](Writer& writer) {
    // Whatever fails (memory included) is kept for the caller: nothing may
    // leave a thread.
    try {
      OutputFile text("", "", -1);
      text.keep_in_memory(0);
      for (;;) {
        std::uint32_t year = 0;
        {
          std::lock_guard lock(mutex);
          if (failure || next_taken > years) return;
          year = next_taken++;
        }
        text.clear_kept();
        writer.format(text, year);
        {
          std::unique_lock lock(mutex);
          turn.wait(lock, [&] { return next_joined == year || failure; });
          if (failure) return;
          // In pieces, so that the file's buffer stays at its size.
          constexpr std::size_t kPiece = std::size_t{1} << 20;
          const std::string_view bytes = text.kept();
          for (std::size_t at = 0; at < bytes.size(); at += kPiece)
            file.write(bytes.substr(at, kPiece));
          writer.joined(year);
          ++next_joined;
        }
        turn.notify_all();
      }
    } catch (...) {
      {
        std::lock_guard lock(mutex);
        if (!failure) failure = std::current_exception();
      }
      turn.notify_all();
    }
  };
  std::vector<std::thread> threads;
  threads.reserve(writers.size());  // (no allocation once a thread runs)
  for (std::size_t t = 1; t < writers.size(); ++t) {
    try {
      threads.emplace_back(work, std::ref(writers[t]));
    } catch (const std::system_error&) {
      break;  // no more threads to be had: those made (and this one) do the work
    }
  }
  work(writers.front());
  for (std::thread& thread : threads) thread.join();
  if (failure) std::rethrow_exception(failure);
}

// Every name as a CSV field and its comma, made once.
std::vector<std::string> csv_fields_with_comma(const std::vector<std::string>& names) {
  std::vector<std::string> fields = csv_fields(names);
  for (std::string& field : fields) field += ',';
  return fields;
}

// Below this many rows more threads cost more than they save.
constexpr std::size_t kRowsWorthThreads = std::size_t{1} << 16;

// The threads that format the job files' years: one for a small table, and
// never more than there are years.
unsigned writing_threads(const RowsByYear& by_year, unsigned threads) {
  const std::size_t years = by_year.start.size() - 2;
  if (by_year.start.back() < kRowsWorthThreads) return 1;
  return static_cast<unsigned>(std::max<std::size_t>(1, std::min<std::size_t>(threads, years)));
}

// One year of the observations file: its cells in the order of their first
// row, each written as the mean of its rows (or every row, under
// Replicates::kLast).
class ObservationYearWriter {
 public:
  ObservationYearWriter(const TrialTable& table, const RowsByYear& by_year, Replicates replicates,
                        MergedCells* merged, ObservationCounts& counts)
      : table_(&table), by_year_(&by_year), replicates_(replicates), merged_(merged),
        counts_(&counts),
        cell_of_(table.locations().size(), table.entries().size()) {}

  void format(OutputFile& file, std::uint32_t year) {
    const ObservationRows& rows = table_->observations();
    const std::size_t first = by_year_->start[year], end = by_year_->start[year + 1];
    cells_.clear();
    ranges_.clear();
    year_counts_ = ObservationCounts{};
    cell_of_.start_year(rows, by_year_->order, first, end);
    for (std::size_t k = first; k < end; ++k) {
      const TableObservation& row = rows[by_year_->order[k]];
      const auto [found, added] = cell_of_.find_or_add(row.location, row.entry);
      if (added) cells_.push_back({row.location, row.entry, 0.0, 0, row.value, row.value});
      Cell& cell = cells_[found];
      cell.min = std::min(cell.min, row.value);
      cell.max = std::max(cell.max, row.value);
      // The sum starts from the first value, not from +0.0, so that a cell
      // of one row keeps its value exactly, a -0 included.
      cell.sum = cell.rows == 0 ? static_cast<double>(row.value)
                                : cell.sum + static_cast<double>(row.value);
      ++cell.rows;
      if (replicates_ == Replicates::kLast) {
        write_observation(file, year, row.location, row.entry, row.value);
        ++year_counts_.written;
      }
    }
    for (const Cell& cell : cells_) {
      if (cell.rows > 1) {
        ++year_counts_.replicated;
        year_counts_.replicate_rows += cell.rows;
      }
      if (replicates_ == Replicates::kMean) {
        const double mean = cell.sum / static_cast<double>(cell.rows);
        write_observation(file, year, cell.location, cell.entry, static_cast<float>(mean));
        ++year_counts_.written;
        if (cell.rows > 1) {
          ranges_.push_back(static_cast<double>(cell.max) - static_cast<double>(cell.min));
        }
      }
    }
    year_counts_.cells = cells_.size();
  }

  void joined(std::uint32_t) {
    counts_->written += year_counts_.written;
    counts_->cells += year_counts_.cells;
    counts_->replicated += year_counts_.replicated;
    counts_->replicate_rows += year_counts_.replicate_rows;
    if (merged_ != nullptr) {
      merged_->ranges.insert(merged_->ranges.end(), ranges_.begin(), ranges_.end());
      merged_->per_year.push_back(ranges_.size());
    }
  }

 private:
  struct Cell {
    std::uint32_t location;
    std::uint32_t entry;
    double sum;
    std::uint32_t rows;
    float min, max;
  };
  const TrialTable* table_;
  const RowsByYear* by_year_;
  Replicates replicates_;
  MergedCells* merged_;
  ObservationCounts* counts_;
  YearCells cell_of_;
  std::vector<Cell> cells_;
  std::vector<double> ranges_;
  ObservationCounts year_counts_;
};

// One year of STEM.replicates.csv: the year's cells formed as the
// observations file forms them, and their rows (their places among the
// year's rows, table order within a cell) in one array, grouped by cell: no
// memory of a cell's own.
class ReplicateYearWriter {
 public:
  ReplicateYearWriter(const TrialTable& table, const YearNumbering& years,
                      const RowsByYear& by_year, double far_range,
                      const std::vector<std::string>& location_fields,
                      const std::vector<std::string>& entry_fields, FarApartCells& far)
      : table_(&table), years_(&years), by_year_(&by_year), far_range_(far_range),
        location_fields_(&location_fields), entry_fields_(&entry_fields), far_(&far),
        cell_of_(table.locations().size(), table.entries().size()) {}

  void format(OutputFile& file, std::uint32_t year) {
    const TrialTable& table = *table_;
    const ObservationRows& rows = table.observations();
    const std::vector<std::uint32_t>& order = by_year_->order;
    const std::size_t first = by_year_->start[year], end = by_year_->start[year + 1];
    cells_.clear();
    cell_of_row_.clear();
    year_far_ = FarApartCells{};
    cell_of_.start_year(rows, order, first, end);
    for (std::size_t k = first; k < end; ++k) {
      const TableObservation& row = rows[order[k]];
      const auto [found, added] = cell_of_.find_or_add(row.location, row.entry);
      if (added) cells_.push_back({row.location, row.entry});
      cell_of_row_.push_back(found);
    }
    // A counting sort by cell keeps each cell's rows in table order.
    cell_start_.assign(cells_.size() + 1, 0);
    for (std::uint32_t c : cell_of_row_) ++cell_start_[c + 1];
    for (std::size_t c = 1; c < cell_start_.size(); ++c) cell_start_[c] += cell_start_[c - 1];
    grouped_.resize(cell_of_row_.size());
    for (std::size_t k = first; k < end; ++k)
      grouped_[cell_start_[cell_of_row_[k - first]]++] = static_cast<std::uint32_t>(k - first);
    // The lines of the year's rows, by their place in the year (its rows are
    // in table order).
    table.lines_of(std::span<const std::uint32_t>(order.data() + first, end - first), lines_);
    // (each start has moved on to the next cell's: shift them back)
    for (std::size_t c = cell_start_.size() - 1; c > 0; --c) cell_start_[c] = cell_start_[c - 1];
    cell_start_[0] = 0;
    const std::string& year_name = table.years().names()[years_->in_order[year - 1]];
    const std::string year_field = csv_field(year_name) + ",";
    for (std::size_t c = 0; c < cells_.size(); ++c) {
      const Cell& cell = cells_[c];
      // The cell's rows by their place in the year, in table order.
      const std::span<const std::uint32_t> cell_rows(grouped_.data() + cell_start_[c],
                                                     cell_start_[c + 1] - cell_start_[c]);
      if (cell_rows.size() < 2) continue;
      // The mean as the observations file has it: summed in double
      // precision from the first value on, in table order.
      const float front = rows[order[first + cell_rows.front()]].value;
      double sum = front;
      float min = front, max = front;
      for (std::size_t r = 1; r < cell_rows.size(); ++r) {
        const float value = rows[order[first + cell_rows[r]]].value;
        sum += static_cast<double>(value);
        min = std::min(min, value);
        max = std::max(max, value);
      }
      const auto mean = static_cast<float>(sum / static_cast<double>(cell_rows.size()));
      const bool far_apart = static_cast<double>(max) - static_cast<double>(min) > far_range_;
      file.write(year_field);
      file.write((*location_fields_)[cell.location]);
      file.write((*entry_fields_)[cell.entry]);
      write_integer(file, cell_rows.size());
      for (float value : {mean, min, max}) {
        file.write(",");
        write_value(file, value);
      }
      file.write(far_apart ? ",yes," : ",no,");
      std::string lines;
      for (std::size_t r = 0; r < cell_rows.size(); ++r) {
        if (r > 0) file.write(" ");
        write_integer(file, lines_[cell_rows[r]]);
        if (year_far_.count == 0 && far_apart) {
          if (r > 0) lines += r + 1 == cell_rows.size() ? " and " : ", ";
          lines += std::to_string(lines_[cell_rows[r]]);
        }
      }
      file.write("\n");
      if (!far_apart) continue;
      if (year_far_.count++ == 0) {
        year_far_.first = "year " + quoted_for_message(year_name) + ", location " +
                          quoted_for_message(table.locations().names()[cell.location]) +
                          ", entry " + quoted_for_message(table.entries().names()[cell.entry]) +
                          ", lines " + lines;
      }
    }
  }

  // The first far-apart cell of the file is that of the first year with one.
  void joined(std::uint32_t) {
    if (far_->count == 0) far_->first = std::move(year_far_.first);
    far_->count += year_far_.count;
  }

 private:
  struct Cell {
    std::uint32_t location, entry;
  };
  const TrialTable* table_;
  const YearNumbering* years_;
  const RowsByYear* by_year_;
  double far_range_;
  const std::vector<std::string>* location_fields_;
  const std::vector<std::string>* entry_fields_;
  FarApartCells* far_;
  YearCells cell_of_;
  std::vector<Cell> cells_;
  std::vector<std::uint32_t> cell_of_row_;  // the cell of each of the year's rows
  std::vector<std::size_t> cell_start_;     // cell c's rows: grouped_[cell_start_[c] .. [c + 1])
  std::vector<std::uint32_t> grouped_;      // the rows' places in the year, grouped by cell
  std::vector<long> lines_;                 // the table line of each of the year's rows
  FarApartCells year_far_;
};

}  // namespace

ObservationCounts write_observations_file(OutputFile& file, const TrialTable& table,
                                          const RowsByYear& by_year, const YearNumbering& years,
                                          Replicates replicates, MergedCells* merged,
                                          unsigned threads) {
  ObservationCounts counts;
  std::vector<ObservationYearWriter> writers;
  for (unsigned t = 0; t < writing_threads(by_year, threads); ++t)
    writers.emplace_back(table, by_year, replicates, merged, counts);
  write_years_in_order(file, static_cast<std::uint32_t>(years.number.size()), writers);
  return counts;
}

FarApartCells write_replicates_table(OutputFile& file, const TrialTable& table,
                                     const RowsByYear& by_year, const YearNumbering& years,
                                     double far_range, unsigned threads) {
  const std::vector<std::string> location_fields = csv_fields_with_comma(table.locations().names());
  const std::vector<std::string> entry_fields = csv_fields_with_comma(table.entries().names());
  file.write("year,location,entry,rows,mean,min,max,far_apart,lines\n");
  FarApartCells far;
  std::vector<ReplicateYearWriter> writers;
  for (unsigned t = 0; t < writing_threads(by_year, threads); ++t)
    writers.emplace_back(table, years, by_year, far_range, location_fields, entry_fields, far);
  write_years_in_order(file, static_cast<std::uint32_t>(years.number.size()), writers);
  return far;
}

FarApartCells far_apart_cells(const TrialTable& table, const RowsByYear& by_year,
                              const YearNumbering& years, const MergedCells& merged,
                              double far_range) {
  FarApartCells far;
  std::size_t first = merged.ranges.size();
  for (std::size_t c = merged.ranges.size(); c-- > 0;) {
    if (merged.ranges[c] > far_range) {
      ++far.count;
      first = c;
    }
  }
  if (far.count == 0) return far;
  // The year of the first: the one whose merged cells take in index `first`.
  std::uint32_t year = 1;
  for (std::size_t before = 0; year <= merged.per_year.size(); ++year) {
    before += merged.per_year[year - 1];
    if (before > first) break;
  }
  // That year's merged cells formed and written again, into memory, for
  // the names and lines of its first far-apart cell.
  const std::vector<std::string> location_fields = csv_fields_with_comma(table.locations().names());
  const std::vector<std::string> entry_fields = csv_fields_with_comma(table.entries().names());
  FarApartCells in_year;
  ReplicateYearWriter writer(table, years, by_year, far_range, location_fields, entry_fields,
                             in_year);
  OutputFile text("", "", -1);
  text.keep_in_memory(0);
  writer.format(text, year);
  writer.joined(year);
  far.first = std::move(in_year.first);
  return far;
}

void write_names_table(OutputFile& file, const TrialTable& table, const YearNumbering& years,
                       const ShortNames& year_names, const ShortNames& location_names,
                       const ShortNames& entry_names) {
  file.write("kind,number,name,full_name\n");
  const auto write_row = [&](std::string_view kind, std::size_t number, const std::string& name,
                             const std::string& full_name) {
    file.write(kind);
    file.write(",");
    write_integer(file, number);
    file.write(",");
    file.write(csv_field(name));
    file.write(",");
    file.write(csv_field(full_name));
    file.write("\n");
  };
  for (std::size_t n = 0; n < years.in_order.size(); ++n)
    write_row("year", n + 1, year_names.names[n], table.years().names()[years.in_order[n]]);
  for (std::size_t n = 0; n < table.locations().size(); ++n)
    write_row("location", n + 1, location_names.names[n], table.locations().names()[n]);
  for (std::size_t n = 0; n < table.entries().size(); ++n)
    write_row("entry", n + 1, entry_names.names[n], table.entries().names()[n]);
}

}  // namespace locprox
