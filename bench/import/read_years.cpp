// Reads every year of a job's observations file with the run's own reader
// (YearReader) into the year arrays, and does nothing else: the reading part
// of a run, to set beside the time of `locprox import` that wrote the file.
// What the reader meets (duplicates, the end of the data) is counted, not
// written.
//
//   read_years STEM        (reads STEM.NAQ for the counts, then STEM.SEQ)
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "format/input_unit.h"
#include "format/run_error.h"
#include "input/names_file.h"
#include "input/year_reader.h"

int main(int argc, char** argv) {
  using namespace locprox;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s STEM\n", argv[0]);
    return 2;
  }
  const std::string stem = argv[1];
  try {
    InputUnit observations(20, stem + ".SEQ");
    InputUnit names(21, stem + ".NAQ");
    observations.open();
    names.open();
    read_title(names);
    NamesCounts counts;
    read_names_counts(names, counts);
    const std::int32_t MAXY = counts.years, MAXL = counts.locations, MAXG = counts.entries;
    const std::size_t cells = static_cast<std::size_t>(MAXL) * static_cast<std::size_t>(MAXG);
    std::vector<float> YDATA(cells);
    std::vector<std::int32_t> INCID(cells);
    ObservationFields fields;
    std::size_t observed = 0, notes = 0;
    for (std::int32_t IY = 1; IY <= MAXY; ++IY) {
      YearReader reader(observations, fields, YDATA, INCID, IY, MAXL, MAXG, 1);
      for (;;) {
        const YearNote note = reader.next();
        if (note.kind == YearNote::Kind::kYearEnd || note.kind == YearNote::Kind::kEndOfData) break;
        ++notes;
      }
      for (std::int32_t seen : INCID) observed += static_cast<std::size_t>(seen);
    }
    std::printf("%d years, %zu cells observed, %zu duplicates, %ld lines read\n", MAXY, observed,
                notes, observations.line_number());
  } catch (const RunError& error) {
    std::fprintf(stderr, "read_years: %s\n", error.what());
    return 2;
  }
  return 0;
}
