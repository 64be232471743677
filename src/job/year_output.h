// The records of a year that the year loop has formatted on all threads:
// the occurrence report's incidence, delta and gamma sections (while the
// year's values are centred), and at the end of the year the kappa section
// and the proximity file's blocks (while the next year is read).
//
// Every unit receives exactly the records of the one-after-another order:
// the incidence section goes out in pieces through OrderedOutput; the kappa
// section and the blocks are formatted a location at a time into texts kept
// from year to year, and written whole once all are ready. A location that
// was not observed in the year has no pair that changed (its column of every
// packed triangle and its totals stay as they were), so its texts are kept
// and not formatted again; the delta and gamma rows likewise keep the years
// already written.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "format/units.h"
#include "job/ordered_output.h"
#include "job/worker_pool.h"
#include "job/workspace.h"
#include "report/column_texts.h"
#include "report/occurrence_report.h"

namespace locprox {

class YearOutput {
 public:
  YearOutput(WorkerPool& pool, Units& units, const Workspace& w, const ProblemSize& size);
  // Waits for a batch still running (its failure is dropped: the run is
  // already stopping for another reason).
  ~YearOutput();
  YearOutput(const YearOutput&) = delete;
  YearOutput& operator=(const YearOutput&) = delete;

  // Starts the incidence, delta and gamma sections of the year IY, at
  // position K, with the running totals NDELTA and NGAMMA. The counts must
  // be those of the year, and INCID, DELTA, GAMMA and their totals stay as
  // they are until wait().
  void start_occurrences(std::int32_t IY, std::int32_t K, std::int32_t NDELTA,
                         std::int32_t NGAMMA);

  // Derives the kappa counts, then starts the kappa section and the
  // proximity file's blocks. `observed` lists the locations (0-based,
  // ascending) observed in the year; only their texts are formatted again.
  // The pair counts and sums stay as they are until wait().
  void start_year_end(std::span<const std::int32_t> observed);

  // Takes part in the batch started last and returns once it is written;
  // rethrows the failure of its earliest record. Nothing when none is
  // running.
  void wait();

 private:
  // The end of the year: chunks of locations, formatted by the pool; the
  // chunk that finishes last writes everything.
  struct YearEnd {
    YearOutput* output;
    void operator()(std::size_t chunk);
  };
  // The occurrence sections: the incidence pieces, then the delta and gamma
  // sections as the last piece.
  struct Occurrences {
    YearOutput* output;
    OutputUnit& operator()(std::size_t piece, OutputUnit& text);
  };

  void format_location(std::int32_t J, OutputUnit& scratch);
  void write_year_end();

  enum class Running { kNothing, kOccurrences, kYearEnd };

  WorkerPool& pool_;
  OrderedOutput ordered_;
  Units& units_;
  const Workspace& w_;
  const ProblemSize& size_;
  Running running_ = Running::kNothing;

  // The year whose sections are being written.
  std::int32_t IY_ = 0;
  std::int32_t NDELTA_ = 0;
  std::int32_t NGAMMA_ = 0;
  std::size_t incidence_pieces_ = 0;
  OccurrenceRows rows_;
  Occurrences occurrences_{this};

  // Texts kept from year to year, a location at a time.
  ColumnTexts kappa_rows_;
  ColumnTexts proximity_columns_;
  ColumnTexts first_counts_;   // NGLOC and NGPAIR
  ColumnTexts second_counts_;  // NYLOC and NYPAIR
  ColumnTexts third_counts_;   // KI and KII
  bool texts_complete_ = false;
  std::vector<std::int32_t> to_format_;      // locations J (1-based) of the year end
  std::vector<std::size_t> chunk_starts_;    // chunk c: to_format_[starts[c] .. starts[c+1])
  std::atomic<std::size_t> unfinished_{0};  // chunks not yet done
  std::atomic<bool> chunk_failed_{false};
  YearEnd year_end_{this};
};

}  // namespace locprox
