#include "import/job_writer.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>

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

ObservationCounts write_observations_file(OutputFile& file, const TrialTable& table,
                                          const YearNumbering& years, Replicates replicates,
                                          std::vector<ReplicatedCell>* merged) {
  const std::vector<TableObservation>& rows = table.observations();
  const std::size_t year_count = years.number.size();

  // The rows by year number, each year's in table order (a counting sort).
  std::vector<std::size_t> start(year_count + 2, 0);
  for (const TableObservation& row : rows) ++start[years.number[row.year] + 1];
  for (std::size_t y = 1; y < start.size(); ++y) start[y] += start[y - 1];
  std::vector<std::uint32_t> order(rows.size());
  {
    std::vector<std::size_t> next(start.begin(), start.end() - 1);
    for (std::size_t i = 0; i < rows.size(); ++i)
      order[next[years.number[rows[i].year]]++] = static_cast<std::uint32_t>(i);
  }

  struct Cell {
    std::uint32_t location;
    std::uint32_t entry;
    double sum;
    std::uint32_t rows;
    float min, max;
    std::uint32_t first_row;  // index into the table's observations
    std::size_t merged = 0;   // 1 + its index in *merged once it has a second row
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
      if (added) cells.push_back({row.location, row.entry, 0.0, 0, row.value, row.value, order[k]});
      Cell& cell = cells[found->second];
      if (cell.rows > 0 && merged != nullptr && replicates == Replicates::kMean) {
        if (cell.merged == 0) {
          merged->push_back({year, cell.location, cell.entry, 0, 0, 0, {cell.first_row}});
          cell.merged = merged->size();
        }
        (*merged)[cell.merged - 1].rows.push_back(order[k]);
      }
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
        if (cell.merged > 0) {
          ReplicatedCell& details = (*merged)[cell.merged - 1];
          details.mean = static_cast<float>(mean);
          details.min = cell.min;
          details.max = cell.max;
        }
      }
    }
    counts.cells += cells.size();
  }
  if (merged != nullptr) {
    // A cell is listed when its second row comes; the file's order is the
    // cells' own: by year, then by their first row.
    std::sort(merged->begin(), merged->end(), [](const ReplicatedCell& a, const ReplicatedCell& b) {
      return a.year != b.year ? a.year < b.year : a.rows.front() < b.rows.front();
    });
  }
  return counts;
}

void write_replicates_table(OutputFile& file, const TrialTable& table, const YearNumbering& years,
                            const std::vector<ReplicatedCell>& merged,
                            const std::vector<bool>& far_apart) {
  file.write("year,location,entry,rows,mean,min,max,far_apart,lines\n");
  for (std::size_t c = 0; c < merged.size(); ++c) {
    const ReplicatedCell& cell = merged[c];
    file.write(csv_field(table.years().names()[years.in_order[cell.year - 1]]));
    file.write(",");
    file.write(csv_field(table.locations().names()[cell.location]));
    file.write(",");
    file.write(csv_field(table.entries().names()[cell.entry]));
    file.write(",");
    write_integer(file, cell.rows.size());
    for (float value : {cell.mean, cell.min, cell.max}) {
      file.write(",");
      write_value(file, value);
    }
    file.write(far_apart[c] ? ",yes," : ",no,");
    for (std::size_t r = 0; r < cell.rows.size(); ++r) {
      if (r > 0) file.write(" ");
      write_integer(file, table.line_of(cell.rows[r]));
    }
    file.write("\n");
  }
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
