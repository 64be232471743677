// The records of a year that the year loop formats on all threads, in pieces
// of whole records written in order through OrderedOutput: first the
// occurrence report's incidence, delta and gamma sections and the year's
// messages that follow them; then, once the year's sums are accumulated,
// the kappa section and the proximity file's blocks. Every unit receives
// exactly the records of the one-after-another order.
//
// Nothing is formatted twice. The delta and gamma rows keep the years
// already written (OccurrenceRows). The kappa section and the blocks are
// formatted a location at a time: a location that was not observed in the
// year has no pair that changed (its column of every packed triangle and its
// totals stay as they were), so when a year leaves locations out the texts
// of each location are kept and the next year formats only those it
// observed; the kappa rows and the KII block are kept always and formatted
// again only where KI or KII changed.
//
// The incidence section is formatted from the year's observed blocks, not
// from INCID, so that the next year can be read while this one is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "format/units.h"
#include "job/ordered_output.h"
#include "job/worker_pool.h"
#include "job/workspace.h"
#include "report/column_texts.h"
#include "report/occurrence_report.h"

namespace locprox {

// The part of a year that it observed, as the year loop has gathered it
// (analysis/observed_blocks.h): its locations and entries, 0-based and
// ascending, and its block of incidence (a row per observed location, a
// column per observed entry).
struct ObservedPart {
  std::span<const std::int32_t> observed_locations;
  std::span<const std::int32_t> observed_entries;
  std::span<const std::int32_t> observed_incidence;
};

// The kappa section and the proximity blocks are cut into chunks of
// locations of at most about this many characters of proximity records
// (and one location more), so that the pieces waiting in memory stay small.
inline constexpr std::size_t kMaxChunkBytes = 256 * 1024;

class YearOutput {
 public:
  // `report_messages` and `console_messages` are the texts of the year's
  // messages that follow the delta and gamma sections (the same every
  // year), as the report and the console take them: they go to the report
  // after those sections and then to the console.
  YearOutput(WorkerPool& pool, Units& units, const Workspace& w, const ProblemSize& size,
             std::string report_messages, std::string console_messages);
  YearOutput(const YearOutput&) = delete;
  YearOutput& operator=(const YearOutput&) = delete;

  // The year's records as pieces of a batch of the caller's own. prepare()
  // for the year IY at position K, with the running totals NDELTA and NGAMMA
  // and the observed part, which must stay as it is until the batch is over,
  // as must DELTOT and GAMTOT. The early pieces (the occurrence sections and
  // the messages) may be done at once; the late ones (the kappa section and
  // the proximity blocks) once the year's accumulation is over and
  // derive_counts() has made the kappa counts. finish() after the batch
  // rethrows the failure of the earliest record that failed.
  struct Pieces {
    std::size_t early = 0;
    std::size_t late = 0;
  };
  Pieces prepare(std::int32_t IY, std::int32_t K, std::int32_t NDELTA, std::int32_t NGAMMA,
                 const ObservedPart& observed);
  void do_early_piece(std::size_t piece) { ordered_.do_piece(piece); }
  void derive_counts();
  void do_late_piece(std::size_t piece) { ordered_.do_piece(pieces_.early + piece); }
  void finish();

 private:
  // Piece p of the year, in the order of the records.
  struct Format {
    YearOutput* output;
    OutputUnit& operator()(std::size_t piece, OutputUnit& text);
  };
  OutputUnit& write_early_piece(std::size_t piece, OutputUnit& text);
  OutputUnit& write_late_piece(std::size_t piece, OutputUnit& text);
  void format_location(std::size_t section, std::int32_t J, OutputUnit& text) const;

  OrderedOutput ordered_;
  Units& units_;
  const Workspace& w_;
  const ProblemSize& size_;
  unsigned threads_;
  std::string report_messages_;
  std::string console_messages_;
  Format format_{this};
  Pieces pieces_;

  // The year being written.
  std::int32_t IY_ = 0;
  std::int32_t NDELTA_ = 0;
  std::int32_t NGAMMA_ = 0;
  std::int32_t observed_location_count_ = 0;
  std::span<const std::int32_t> observed_incidence_;
  std::vector<std::int32_t> LOCPOS_;  // per location: its row of the block, or -1
  std::vector<std::int32_t> ENTPOS_;  // per entry: its column of the block, or -1
  std::size_t incidence_pieces_ = 0;
  std::size_t row_pieces_ = 0;
  OccurrenceRows rows_;

  // The kappa section and the proximity blocks: five sections (the kappa
  // rows, the proximity block, the three count blocks), each a piece per
  // chunk of locations, and the texts of each location kept from year to
  // year (see above).
  static constexpr std::size_t kSections = 5;
  static bool kappa_section(std::size_t section) { return section == 0 || section == 4; }
  ColumnTexts texts_[kSections];
  bool texts_valid_ = false;        // the texts hold the previous year's records
  bool keep_texts_ = false;         // this year's records are kept
  bool kappa_texts_valid_ = false;  // those of the kappa sections do
  std::vector<char> kappa_changed_;      // per location: KI or its KII column changed
  std::vector<std::int32_t> ki_before_;  // KI of the previous year
  std::vector<char> observed_;           // per location: observed this year
  std::vector<std::int32_t> chunk_starts_;  // chunk c: locations starts[c] .. starts[c+1] - 1
};

}  // namespace locprox
