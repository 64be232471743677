#include "import/job_writer.h"

#include <algorithm>
#include <charconv>
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

RowsByYear rows_by_year(const std::vector<TableObservation>& rows, const YearNumbering& years) {
  RowsByYear by_year;
  by_year.start.assign(years.number.size() + 2, 0);
  for (const TableObservation& row : rows) ++by_year.start[years.number[row.year] + 1];
  for (std::size_t y = 1; y < by_year.start.size(); ++y) by_year.start[y] += by_year.start[y - 1];
  by_year.order.resize(rows.size());
  std::vector<std::size_t> next(by_year.start.begin(), by_year.start.end() - 1);
  for (std::size_t i = 0; i < rows.size(); ++i)
    by_year.order[next[years.number[rows[i].year]]++] = static_cast<std::uint32_t>(i);
  return by_year;
}

}  // namespace

ObservationCounts write_observations_file(OutputFile& file, const TrialTable& table,
                                          const YearNumbering& years, Replicates replicates,
                                          std::vector<double>* merged_ranges) {
  const std::vector<TableObservation>& rows = table.observations();
  const std::size_t year_count = years.number.size();

  const RowsByYear by_year = rows_by_year(rows, years);
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
  std::unordered_map<std::uint64_t, std::uint32_t> cell_of;
  ObservationCounts counts;
  for (std::uint32_t year = 1; year <= year_count; ++year) {
    cells.clear();
    cell_of.clear();
    for (std::size_t k = start[year]; k < start[year + 1]; ++k) {
      const TableObservation& row = rows[order[k]];
      const std::uint64_t key = std::uint64_t{row.location} << 32 | row.entry;
      const auto [found, added] = cell_of.try_emplace(key, static_cast<std::uint32_t>(cells.size()));
      if (added) cells.push_back({row.location, row.entry, 0.0, 0, row.value, row.value});
      Cell& cell = cells[found->second];
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

FarApartCells write_replicates_table(OutputFile& file, const TrialTable& table,
                                     const YearNumbering& years, double far_range) {
  const std::vector<TableObservation>& rows = table.observations();
  const RowsByYear by_year = rows_by_year(rows, years);
  // One year's cells, as write_observations_file forms them.
  struct Cell {
    std::uint32_t location, entry;
    std::vector<std::uint32_t> rows;  // indices into the table's observations, table order
  };
  std::vector<Cell> cells;
  std::unordered_map<std::uint64_t, std::uint32_t> cell_of;
  FarApartCells far;
  file.write("year,location,entry,rows,mean,min,max,far_apart,lines\n");
  for (std::uint32_t year = 1; year <= years.number.size(); ++year) {
    cells.clear();
    cell_of.clear();
    for (std::size_t k = by_year.start[year]; k < by_year.start[year + 1]; ++k) {
      const TableObservation& row = rows[by_year.order[k]];
      const std::uint64_t key = std::uint64_t{row.location} << 32 | row.entry;
      const auto [found, added] = cell_of.try_emplace(key, static_cast<std::uint32_t>(cells.size()));
      if (added) cells.push_back({row.location, row.entry, {}});
      cells[found->second].rows.push_back(by_year.order[k]);
    }
    const std::string& year_name = table.years().names()[years.in_order[year - 1]];
    for (const Cell& cell : cells) {
      if (cell.rows.size() < 2) continue;
      // The mean as the observations file has it: summed in double
      // precision from the first value on, in table order.
      double sum = rows[cell.rows.front()].value;
      float min = rows[cell.rows.front()].value, max = min;
      for (std::size_t r = 1; r < cell.rows.size(); ++r) {
        const float value = rows[cell.rows[r]].value;
        sum += static_cast<double>(value);
        min = std::min(min, value);
        max = std::max(max, value);
      }
      const auto mean = static_cast<float>(sum / static_cast<double>(cell.rows.size()));
      const bool far_apart = static_cast<double>(max) - static_cast<double>(min) > far_range;
      file.write(csv_field(year_name));
      file.write(",");
      file.write(csv_field(table.locations().names()[cell.location]));
      file.write(",");
      file.write(csv_field(table.entries().names()[cell.entry]));
      file.write(",");
      write_integer(file, cell.rows.size());
      for (float value : {mean, min, max}) {
        file.write(",");
        write_value(file, value);
      }
      file.write(far_apart ? ",yes," : ",no,");
      std::string lines;
      for (std::size_t r = 0; r < cell.rows.size(); ++r) {
        if (r > 0) file.write(" ");
        write_integer(file, table.line_of(cell.rows[r]));
        if (far.count == 0 && far_apart) {
          if (r > 0) lines += r + 1 == cell.rows.size() ? " and " : ", ";
          lines += std::to_string(table.line_of(cell.rows[r]));
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
