// The matrix sections of the occurrence report (unit 22): incidence, delta
// and gamma (write_occurrences), and the kappa counts with their section
// (write_kappa).
//
// The year loop writes the same records in parts, so that they can be
// formatted on several threads and so that nothing is formatted twice: the
// incidence section in pieces of whole records, the delta and gamma sections
// from rows kept from year to year (OccurrenceRows), and the kappa section
// a location's row at a time. write_occurrences and write_kappa put the
// parts together one after another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "format/growing_record.h"
#include "format/output_unit.h"

namespace locprox {

// OCCREP: the year's incidence, then the delta and gamma matrices of the
// years IYS to IY so far (K of them) with their totals.
void write_occurrences(OutputUnit& report, std::span<const std::int32_t> INCID,
                       std::span<const std::int32_t> DELTA, std::span<const std::int32_t> DELTOT,
                       std::int32_t NDELTA, std::span<const std::int32_t> GAMMA,
                       std::span<const std::int32_t> GAMTOT, std::span<const std::int32_t> GAMYR,
                       std::int32_t NGAMMA, std::int32_t MAXL, std::int32_t MAXG, std::int32_t IYS,
                       std::int32_t IY, std::int32_t K);

// The incidence section in pieces of whole records, about the same size
// each: piece 0 starts with the section's title, and the pieces one after
// another are the whole section. DELTA_K is the year's column of DELTA: a
// location that observed nothing has a row of zeros, written without
// looking at INCID.
std::size_t incidence_pieces(std::int32_t MAXL, std::int32_t MAXG);
void write_incidence_piece(OutputUnit& report, std::span<const std::int32_t> INCID,
                           std::span<const std::int32_t> DELTA_K, std::int32_t MAXL,
                           std::int32_t MAXG, std::size_t piece);
// The same from the year's observed blocks (analysis/observed_blocks.h), so
// that INCID can take the next year meanwhile: observed_incidence has a row
// per observed location and a column per observed entry, LOCPOS(l) is the
// block's row of location l and ENTPOS(g) its column of entry g, -1 for a
// location or entry the year did not observe.
void write_incidence_piece(OutputUnit& report, std::span<const std::int32_t> observed_incidence,
                           std::span<const std::int32_t> LOCPOS,
                           std::span<const std::int32_t> ENTPOS,
                           std::int32_t observed_location_count, std::int32_t MAXL,
                           std::int32_t MAXG, std::size_t piece);

// The rows of the delta and gamma sections kept from one year to the next:
// each location's row, the year numbers and the gamma totals gain the new
// year's value, and only the values at the front of the rows (the location
// totals) are formatted again.
class OccurrenceRows {
 public:
  OccurrenceRows();
  // Adds the years after those already kept up to position K: their year
  // numbers IYS.. and GAMYR now, and the columns of DELTA and GAMMA as each
  // location's rows are written (by the piece that writes them, so that the
  // pieces share that work), from the arrays given here, which must stay as
  // they are in those columns until then.
  void catch_up(std::span<const std::int32_t> DELTA, std::span<const std::int32_t> GAMMA,
                std::span<const std::int32_t> GAMYR, std::int32_t MAXL, std::int32_t IYS,
                std::int32_t K);

  // The delta and gamma sections of the years IYS to IY kept so far, with
  // the totals DELTOT, NDELTA, GAMTOT and NGAMMA in front.
  void write(OutputUnit& report, std::span<const std::int32_t> DELTOT, std::int32_t NDELTA,
             std::span<const std::int32_t> GAMTOT, std::int32_t NGAMMA, std::int32_t MAXL,
             std::int32_t IYS, std::int32_t IY);
  // The same in pieces of whole records, about the same size each, so that
  // several threads can format them: the pieces one after another are the
  // two sections. Pieces may be written at the same time on different
  // threads; each catches up the rows it writes.
  std::size_t pieces(std::int32_t MAXL) const;
  void write_piece(OutputUnit& report, std::span<const std::int32_t> DELTOT, std::int32_t NDELTA,
                   std::span<const std::int32_t> GAMTOT, std::int32_t NGAMMA, std::int32_t MAXL,
                   std::int32_t IYS, std::int32_t IY, std::size_t piece);

 private:
  std::size_t rows_per_piece() const;

  std::int32_t years_ = 0;  // the years kept
  // Where the rows' values for those years come from (catch_up).
  std::span<const std::int32_t> DELTA_, GAMMA_;
  GrowingRecord year_numbers_;
  std::vector<GrowingRecord> delta_rows_;
  std::vector<GrowingRecord> gamma_rows_;
  GrowingRecord gamma_totals_;
};

// KAPPA: derives the location totals NGLOC, NYLOC and KI and the indicators
// KII from the pair counts, and writes the kappa section.
void write_kappa(OutputUnit& report, std::span<const std::int32_t> NGPAIR,
                 std::span<std::int32_t> NGLOC, std::span<const std::int32_t> NYPAIR,
                 std::span<std::int32_t> NYLOC, std::span<std::int32_t> KII,
                 std::span<std::int32_t> KI, std::int32_t NTM, std::int32_t MAXL);

// The parts of write_kappa: the counts, the section's heading, and the row
// of location J (KI(J), then column J of KII).
void derive_kappa_counts(std::span<const std::int32_t> NGPAIR, std::span<std::int32_t> NGLOC,
                         std::span<const std::int32_t> NYPAIR, std::span<std::int32_t> NYLOC,
                         std::span<std::int32_t> KII, std::span<std::int32_t> KI,
                         std::int32_t NTM, std::int32_t MAXL);
void write_kappa_heading(OutputUnit& report);
void write_kappa_row(OutputUnit& report, std::span<const std::int32_t> KII,
                     std::span<const std::int32_t> KI, std::int32_t J);

}  // namespace locprox
