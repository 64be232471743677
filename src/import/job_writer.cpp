#include "import/job_writer.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <future>
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

std::string csv_field(std::string_view text) {
  const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

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

namespace {

// The table's rows by year number, each year's in table order (a counting
// sort): the rows of year y are order[start[y]] to order[start[y + 1] - 1].
struct RowsByYear {
  std::vector<std::size_t> start;
  std::vector<std::uint32_t> order;
};

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

// The cells (location, entry) of one year, numbered by their first
// appearance. Over a table of every location and entry where that is not
// too large (its pages come zeroed from the system and only those a year
// touches are ever used; each year's cells are cleared one by one), else
// through a hash table.
class YearCells {
 public:
  YearCells(std::size_t locations, std::size_t entries) : entries_(entries) {
    if (locations > 0 && entries <= kMostSlots / locations) {
      dense_.reset(static_cast<std::uint32_t*>(std::calloc(locations * entries, sizeof(std::uint32_t))));
    }
  }
  // The cell's number, and whether it is new this year.
  std::pair<std::uint32_t, bool> find_or_add(std::uint32_t location, std::uint32_t entry) {
    if (dense_) {
      const std::size_t slot = std::size_t{location} * entries_ + entry;
      std::uint32_t& number = dense_[slot];  // the cell's number + 1, or 0
      if (number != 0) return {number - 1, false};
      number = static_cast<std::uint32_t>(slots_.size()) + 1;
      slots_.push_back(slot);
      return {number - 1, true};
    }
    const std::uint64_t key = std::uint64_t{location} << 32 | entry;
    const auto [found, added] = sparse_.try_emplace(key, static_cast<std::uint32_t>(count_));
    if (added) ++count_;
    return {found->second, added};
  }
  void clear() {
    for (std::size_t slot : slots_) dense_[slot] = 0;
    slots_.clear();
    sparse_.clear();
    count_ = 0;
  }

 private:
  static constexpr std::size_t kMostSlots = std::size_t{1} << 25;  // 128 MiB of address space
  struct Free {
    void operator()(std::uint32_t* p) const { std::free(p); }
  };
  std::size_t entries_;
  std::unique_ptr<std::uint32_t[], Free> dense_;
  std::vector<std::size_t> slots_;
  std::unordered_map<std::uint64_t, std::uint32_t> sparse_;
  std::size_t count_ = 0;
};


// The observations of the years [first, end) (year numbers), as
// write_observations_file writes them.
ObservationCounts write_observation_years(OutputFile& file, const TrialTable& table,
                                          const RowsByYear& by_year, std::uint32_t first,
                                          std::uint32_t end, Replicates replicates,
                                          std::vector<double>* merged_ranges) {
  const ObservationRows& rows = table.observations();
  const std::vector<std::size_t>& start = by_year.start;
  const std::vector<std::uint32_t>& order = by_year.order;

  struct Cell {
    std::uint32_t location;
    std::uint32_t entry;
    double sum;
    std::uint32_t rows;
    float min, max;
  };
  std::vector<Cell> cells;
  YearCells cell_of(table.locations().size(), table.entries().size());
  ObservationCounts counts;
  for (std::uint32_t year = first; year < end; ++year) {
    cells.clear();
    cell_of.clear();
    for (std::size_t k = start[year]; k < start[year + 1]; ++k) {
      const TableObservation& row = rows[order[k]];
      const auto [found, added] = cell_of.find_or_add(row.location, row.entry);
      if (added) cells.push_back({row.location, row.entry, 0.0, 0, row.value, row.value});
      Cell& cell = cells[found];
      cell.min = std::min(cell.min, row.value);
      cell.max = std::max(cell.max, row.value);
      // The sum starts from the first value, not from +0.0, so that a cell
      // of one row keeps its value exactly, a -0 included.
      cell.sum = cell.rows == 0 ? static_cast<double>(row.value)
                                : cell.sum + static_cast<double>(row.value);
      ++cell.rows;
      if (replicates == Replicates::kLast) {
        write_observation(file, year, row.location, row.entry, row.value);
        ++counts.written;
      }
    }
    for (const Cell& cell : cells) {
      if (cell.rows > 1) {
        ++counts.replicated;
        counts.replicate_rows += cell.rows;
      }
      if (replicates == Replicates::kMean) {
        const double mean = cell.sum / static_cast<double>(cell.rows);
        write_observation(file, year, cell.location, cell.entry, static_cast<float>(mean));
        ++counts.written;
        if (cell.rows > 1 && merged_ranges != nullptr) {
          merged_ranges->push_back(static_cast<double>(cell.max) - static_cast<double>(cell.min));
        }
      }
    }
    counts.cells += cells.size();
  }
  return counts;
}

// The merged cells of the years [first_year, end_year) (year numbers), as
// write_replicates_table writes them; the names as CSV fields, made once.
FarApartCells write_replicate_years(OutputFile& file, const TrialTable& table,
                                    const YearNumbering& years, const RowsByYear& by_year,
                                    std::uint32_t first_year, std::uint32_t end_year,
                                    double far_range,
                                    const std::vector<std::string>& location_fields,
                                    const std::vector<std::string>& entry_fields) {
  const ObservationRows& rows = table.observations();
  // One year's cells, as write_observations_file forms them, and their rows
  // (indices into the table's observations, table order within a cell) in
  // one array, grouped by cell: no memory of a cell's own.
  struct Cell {
    std::uint32_t location, entry;
  };
  std::vector<Cell> cells;
  YearCells cell_of(table.locations().size(), table.entries().size());
  std::vector<std::uint32_t> cell_of_row;  // the cell of each of the year's rows
  std::vector<std::size_t> cell_start;     // cell c's rows: grouped[cell_start[c] .. [c + 1])
  std::vector<std::uint32_t> grouped;
  FarApartCells far;
  for (std::uint32_t year = first_year; year < end_year; ++year) {
    cells.clear();
    cell_of.clear();
    cell_of_row.clear();
    const std::size_t first = by_year.start[year];
    const std::size_t end = by_year.start[year + 1];
    for (std::size_t k = first; k < end; ++k) {
      const TableObservation& row = rows[by_year.order[k]];
      const auto [found, added] = cell_of.find_or_add(row.location, row.entry);
      if (added) cells.push_back({row.location, row.entry});
      cell_of_row.push_back(found);
    }
    // A counting sort by cell keeps each cell's rows in table order.
    cell_start.assign(cells.size() + 1, 0);
    for (std::uint32_t c : cell_of_row) ++cell_start[c + 1];
    for (std::size_t c = 1; c < cell_start.size(); ++c) cell_start[c] += cell_start[c - 1];
    grouped.resize(cell_of_row.size());
    for (std::size_t k = first; k < end; ++k)
      grouped[cell_start[cell_of_row[k - first]]++] = by_year.order[k];
    // (each start has moved on to the next cell's: shift them back)
    for (std::size_t c = cell_start.size() - 1; c > 0; --c) cell_start[c] = cell_start[c - 1];
    cell_start[0] = 0;
    const std::string& year_name = table.years().names()[years.in_order[year - 1]];
    const std::string year_field = csv_field(year_name) + ",";
    for (std::size_t c = 0; c < cells.size(); ++c) {
      const Cell& cell = cells[c];
      const std::span<const std::uint32_t> cell_rows(grouped.data() + cell_start[c],
                                                     cell_start[c + 1] - cell_start[c]);
      if (cell_rows.size() < 2) continue;
      // The mean as the observations file has it: summed in double
      // precision from the first value on, in table order.
      double sum = rows[cell_rows.front()].value;
      float min = rows[cell_rows.front()].value, max = min;
      for (std::size_t r = 1; r < cell_rows.size(); ++r) {
        const float value = rows[cell_rows[r]].value;
        sum += static_cast<double>(value);
        min = std::min(min, value);
        max = std::max(max, value);
      }
      const auto mean = static_cast<float>(sum / static_cast<double>(cell_rows.size()));
      const bool far_apart = static_cast<double>(max) - static_cast<double>(min) > far_range;
      file.write(year_field);
      file.write(location_fields[cell.location]);
      file.write(entry_fields[cell.entry]);
      write_integer(file, cell_rows.size());
      for (float value : {mean, min, max}) {
        file.write(",");
        write_value(file, value);
      }
      file.write(far_apart ? ",yes," : ",no,");
      std::string lines;
      for (std::size_t r = 0; r < cell_rows.size(); ++r) {
        if (r > 0) file.write(" ");
        write_integer(file, table.line_of(cell_rows[r]));
        if (far.count == 0 && far_apart) {
          if (r > 0) lines += r + 1 == cell_rows.size() ? " and " : ", ";
          lines += std::to_string(table.line_of(cell_rows[r]));
        }
      }
      file.write("\n");
      if (!far_apart) continue;
      if (far.count++ == 0) {
        far.first = "year " + quoted_for_message(year_name) + ", location " +
                    quoted_for_message(table.locations().names()[cell.location]) + ", entry " +
                    quoted_for_message(table.entries().names()[cell.entry]) + ", lines " + lines;
      }
    }
  }
  return far;
}

// Below this many rows a second thread costs more than it saves.
constexpr std::size_t kRowsWorthTwoThreads = std::size_t{1} << 16;

// The first year of the second half of the rows, by year number: the years
// [1, split) on the calling thread, [split, years] on a second one. 0 when
// the file is written on one thread.
std::uint32_t second_half_start(const RowsByYear& by_year, unsigned threads) {
  const std::size_t year_count = by_year.start.size() - 2;
  const std::size_t total = by_year.start.back();
  if (threads < 2 || year_count < 2 || total < kRowsWorthTwoThreads) return 0;
  std::uint32_t split = 2;
  while (split < year_count && by_year.start[split] < total / 2) ++split;
  return split;
}

// Formats the years [1, split) into `file` here and the years [split, end)
// on a second thread into memory, then adds that text to `file`: the same
// bytes as one pass in year order, in about half the time. `write_years`
// (file, first, end, part) does a range of years, `part` 0 or 1 saying
// which half; it must touch nothing the other half touches.
template <class WriteYears>
void write_in_two_halves(OutputFile& file, std::uint32_t split, std::uint32_t end,
                         WriteYears& write_years) {
  OutputFile later("", "", -1);
  later.keep_in_memory(0);
  std::future<void> second;
  try {
    second = std::async(std::launch::async, [&] { write_years(later, split, end, 1); });
  } catch (const std::system_error&) {
    write_years(file, 1, end, 0);  // no thread to be had: all of it here
    return;
  }
  try {
    write_years(file, 1, split, 0);
  } catch (...) {
    second.wait();
    throw;
  }
  second.get();
  const ByteBuffer text = later.take_kept();
  // In pieces, so that the file's buffer stays at its size.
  constexpr std::size_t kPiece = std::size_t{1} << 20;
  for (std::size_t at = 0; at < text.size(); at += kPiece) {
    file.write(std::string_view(text.data() + at, std::min(kPiece, text.size() - at)));
  }
}

}  // namespace

ObservationCounts write_observations_file(OutputFile& file, const TrialTable& table,
                                          const YearNumbering& years, Replicates replicates,
                                          std::vector<double>* merged_ranges, unsigned threads) {
  const RowsByYear by_year = rows_by_year(table.observations(), years);
  const auto end = static_cast<std::uint32_t>(years.number.size() + 1);
  const std::uint32_t split = second_half_start(by_year, threads);
  if (split == 0) {
    return write_observation_years(file, table, by_year, 1, end, replicates, merged_ranges);
  }
  ObservationCounts counts[2];
  std::vector<double> later_ranges;
  auto write_years = [&](OutputFile& out, std::uint32_t first, std::uint32_t last, int part) {
    counts[part] = write_observation_years(out, table, by_year, first, last, replicates,
                                           part == 0 ? merged_ranges
                                           : merged_ranges ? &later_ranges
                                                           : nullptr);
  };
  write_in_two_halves(file, split, end, write_years);
  if (merged_ranges != nullptr) {
    merged_ranges->insert(merged_ranges->end(), later_ranges.begin(), later_ranges.end());
  }
  ObservationCounts total = counts[0];
  total.written += counts[1].written;
  total.cells += counts[1].cells;
  total.replicated += counts[1].replicated;
  total.replicate_rows += counts[1].replicate_rows;
  return total;
}

FarApartCells write_replicates_table(OutputFile& file, const TrialTable& table,
                                     const YearNumbering& years, double far_range,
                                     unsigned threads) {
  const RowsByYear by_year = rows_by_year(table.observations(), years);
  // Every name as a CSV field, made once.
  const auto as_fields = [](const std::vector<std::string>& names) {
    std::vector<std::string> fields;
    fields.reserve(names.size());
    for (const std::string& name : names) fields.push_back(csv_field(name) + ",");
    return fields;
  };
  const std::vector<std::string> location_fields = as_fields(table.locations().names());
  const std::vector<std::string> entry_fields = as_fields(table.entries().names());
  file.write("year,location,entry,rows,mean,min,max,far_apart,lines\n");
  const auto end = static_cast<std::uint32_t>(years.number.size() + 1);
  const std::uint32_t split = second_half_start(by_year, threads);
  if (split == 0) {
    return write_replicate_years(file, table, years, by_year, 1, end, far_range, location_fields,
                                 entry_fields);
  }
  FarApartCells far[2];
  auto write_years = [&](OutputFile& out, std::uint32_t first, std::uint32_t last, int part) {
    far[part] = write_replicate_years(out, table, years, by_year, first, last, far_range,
                                      location_fields, entry_fields);
  };
  write_in_two_halves(file, split, end, write_years);
  // The first far-apart cell is the first half's, if it has one.
  if (far[0].count == 0) far[0].first = std::move(far[1].first);
  far[0].count += far[1].count;
  return far[0];
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
