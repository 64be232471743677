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
  // Waits for occurrence sections still being written (their failure is
  // dropped: the run is already stopping for another reason).
  ~YearOutput();
  YearOutput(const YearOutput&) = delete;
  YearOutput& operator=(const YearOutput&) = delete;

  // Starts the incidence, delta and gamma sections of the year IY, at
  // position K, with the running totals NDELTA and NGAMMA, on the workers.
  // INCID, DELTA, GAMMA and their totals must stay as they are until
  // wait_occurrences(), which takes part and returns once the sections are
  // written (rethrowing the failure of the earliest record).
  void start_occurrences(std::int32_t IY, std::int32_t K, std::int32_t NDELTA,
                         std::int32_t NGAMMA);
  void wait_occurrences();

  // The end of the year (the kappa section and the proximity blocks) as
  // pieces of a batch of the caller's own, which runs them after the year's
  // accumulation: prepare_year_end() with the locations observed in the year
  // (0-based, ascending) returns the number of pieces; once the accumulation
  // is over, derive_counts() makes the kappa counts, and then every piece is
  // done with do_year_end_piece(); finish_year_end() after the batch
  // rethrows the failure of the earliest record.
  std::size_t prepare_year_end(std::span<const std::int32_t> observed);
  void derive_counts();
  void do_year_end_piece(std::size_t piece) { ordered_.do_piece(piece); }
  void finish_year_end();

 private:
  // The occurrence sections: the incidence pieces, then those of the delta
  // and gamma sections.
  struct Occurrences {
    YearOutput* output;
    OutputUnit& operator()(std::size_t piece, OutputUnit& text);
  };
  // The end of the year: for each of the five sections in turn (the kappa
  // rows, the proximity block, the three count blocks), a piece per chunk
  // of locations.
  struct YearEnd {
    YearOutput* output;
    OutputUnit& operator()(std::size_t piece, OutputUnit& text);
  };
  void format_location(std::size_t section, std::int32_t J, OutputUnit& text) const;

  OrderedOutput ordered_;
  Units& units_;
  const Workspace& w_;
  const ProblemSize& size_;
  unsigned threads_;
  bool occurrences_running_ = false;

  // The year whose sections are being written.
  std::int32_t IY_ = 0;
  std::int32_t K_ = 0;
  std::int32_t NDELTA_ = 0;
  std::int32_t NGAMMA_ = 0;
  std::size_t incidence_pieces_ = 0;
  OccurrenceRows rows_;
  Occurrences occurrences_{this};

  // The end of the year. Texts of a location are kept from one year to the
  // next when a year leaves locations out (as a network's years do), so that
  // the next year formats only the locations it observed; a year that
  // observes every location formats them all anyway and keeps none. The
  // kappa rows and the third count block (KI and KII) are always kept: once
  // the pairs of a location have all been compared they stay as they are,
  // and a location's records are formatted again only when its KI or its
  // column of KII changed.
  static constexpr std::size_t kSections = 5;
  static bool kappa_section(std::size_t section) { return section == 0 || section == 4; }
  ColumnTexts texts_[kSections];
  bool texts_valid_ = false;        // the texts hold the previous year's records
  bool keep_texts_ = false;         // this year's records are kept
  bool kappa_texts_valid_ = false;  // those of the kappa sections do
  std::vector<char> kappa_changed_;       // per location: KI or its KII column changed
  std::vector<std::int32_t> ki_before_;   // KI of the previous year
  std::vector<char> observed_;                // per location: observed this year
  std::vector<std::int32_t> chunk_starts_;    // chunk c: locations starts[c] .. starts[c+1] - 1
  YearEnd year_end_{this};
};

}  // namespace locprox
