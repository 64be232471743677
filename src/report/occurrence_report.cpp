#include "report/occurrence_report.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "format/layout.h"
#include "format/proximity_records.h"
#include "format/record_writer.h"

namespace locprox {
namespace {

// Incidence section: a heading per block of at most 200 entries, then one
// row per location with one digit per entry.
const Layout kIncidenceTitle{"/' Incidence array for each year'"};
const Layout kIncidenceBlockHeading{"' Loc Genotype(' I3 ') to Genotype(' I3 ')'"};
const Layout kIncidenceRow{"I5,1X,200I1"};
constexpr std::int32_t kEntriesPerBlock = 200;

// Delta and gamma sections share the year heading, the year-number line and
// the location rows; the eleven blanks of the year line stand over the
// location number, the blank and the total of the rows.
const Layout kDeltaTitle{"/' Delta matrices. Counts of no. of entries at each level'"};
const Layout kGammaTitle{"/' Gamma matrices. Counts of no. of years at each level'"};
const Layout kYearRange{"' Loc  Total Year(' I3 ') to Year(' I3 ')'"};
const Layout kYearNumbers{"11X,48I5"};
const Layout kLocationRow{"I5,1X,49I5"};
const Layout kDeltaTotal{"' Total',I5"};
const Layout kGammaTotals{"' Total',49I5"};

// Kappa section. The first two headings are each one record made of two
// texts written back to back.
const Layout kKappaHeading{
    "/' Kappa matrices',' Ki gives no of locations compared with location i'"
    "/\" Kii' indicates if locations i and i' have been compared\",' in any year'"
    "/\"  Ki.  Kii'\""};
const Layout kKappaRow{"20I4"};

std::size_t at(std::int32_t index) {
  return static_cast<std::size_t>(index);
}

// Element (i, k) of a location-by-column matrix stored column by column,
// i and k counting from 1.
std::size_t element(std::int32_t i, std::int32_t k, std::int32_t MAXL) {
  return at(i - 1) + at(k - 1) * at(MAXL);
}

// The sections are cut into pieces of about this many characters.
constexpr std::size_t kPieceBytes = 64 * 1024;

// How the incidence section is cut: per block of entries, the same number of
// pieces, each of up to `rows` location rows.
struct IncidenceCut {
  std::int32_t blocks;
  std::size_t pieces_per_block;
  std::size_t rows;
};

IncidenceCut cut_incidence(std::int32_t MAXL, std::int32_t MAXG) {
  IncidenceCut cut{};
  cut.blocks = (MAXG - 1) / kEntriesPerBlock + 1;
  const std::size_t row_bytes = 8 + static_cast<std::size_t>(kEntriesPerBlock);
  cut.rows = kPieceBytes / row_bytes;
  const std::size_t locations = MAXL > 0 ? at(MAXL) : 0;
  cut.pieces_per_block = locations == 0 ? 1 : (locations + cut.rows - 1) / cut.rows;
  return cut;
}

// The records of one piece of the incidence section. row(i, g0, width,
// digits) puts location i's incidence of the entries g0 .. g0 + width - 1
// into `digits`, or returns false when the location observed nothing this
// year (its row is all zeros).
template <class Row>
void write_incidence_rows(OutputUnit& report, std::int32_t MAXL, std::int32_t MAXG,
                          std::size_t piece, Row& row) {
  std::array<std::int32_t, kEntriesPerBlock> digits;
  const IncidenceCut cut = cut_incidence(MAXL, MAXG);
  const std::int32_t b = static_cast<std::int32_t>(piece / cut.pieces_per_block) + 1;
  const std::size_t part = piece % cut.pieces_per_block;
  const std::int32_t g0 = kEntriesPerBlock * (b - 1) + 1;
  const std::int32_t g1 = g0 + kEntriesPerBlock - 1 < MAXG ? g0 + kEntriesPerBlock - 1 : MAXG;
  if (piece == 0) write_record(report, kIncidenceTitle);
  if (part == 0) write_record(report, kIncidenceBlockHeading, g0, g1);
  const std::size_t width = g1 >= g0 ? at(g1 - g0 + 1) : 0;
  const std::size_t first = part * cut.rows + 1;
  const std::size_t last = std::min((part + 1) * cut.rows, MAXL > 0 ? at(MAXL) : 0);
  for (std::size_t r = first; r <= last; ++r) {
    const std::int32_t i = static_cast<std::int32_t>(r);
    RecordWriter writer(report, kIncidenceRow);
    writer.put(i);
    if (row(i, g0, width, digits.data())) {
      writer.put_all(std::span<const std::int32_t>(digits.data(), width));
    } else {
      writer.put_repeated(0, width);  // a location that observed nothing
    }
    writer.finish();
  }
}

}  // namespace

void write_occurrences(OutputUnit& report, std::span<const std::int32_t> INCID,
                       std::span<const std::int32_t> DELTA, std::span<const std::int32_t> DELTOT,
                       std::int32_t NDELTA, std::span<const std::int32_t> GAMMA,
                       std::span<const std::int32_t> GAMTOT, std::span<const std::int32_t> GAMYR,
                       std::int32_t NGAMMA, std::int32_t MAXL, std::int32_t MAXG, std::int32_t IYS,
                       std::int32_t IY, std::int32_t K) {
  const std::size_t pieces = incidence_pieces(MAXL, MAXG);
  for (std::size_t piece = 0; piece < pieces; ++piece) {
    write_incidence_piece(report, INCID, DELTA.subspan(at(K - 1) * at(MAXL), at(MAXL)), MAXL,
                          MAXG, piece);
  }
  OccurrenceRows rows;
  rows.catch_up(DELTA, GAMMA, GAMYR, MAXL, IYS, K);
  rows.write(report, DELTOT, NDELTA, GAMTOT, NGAMMA, MAXL, IYS, IY);
}

std::size_t incidence_pieces(std::int32_t MAXL, std::int32_t MAXG) {
  const IncidenceCut cut = cut_incidence(MAXL, MAXG);
  return static_cast<std::size_t>(cut.blocks) * cut.pieces_per_block;
}

void write_incidence_piece(OutputUnit& report, std::span<const std::int32_t> INCID,
                           std::span<const std::int32_t> DELTA_K, std::int32_t MAXL,
                           std::int32_t MAXG, std::size_t piece) {
  auto row = [&](std::int32_t i, std::int32_t g0, std::size_t width, std::int32_t* digits) {
    if (DELTA_K[at(i - 1)] == 0) return false;
    for (std::size_t k = 0; k < width; ++k) digits[k] = INCID[element(i, g0, MAXL) + k * at(MAXL)];
    return true;
  };
  write_incidence_rows(report, MAXL, MAXG, piece, row);
}

void write_incidence_piece(OutputUnit& report, std::span<const std::int32_t> observed_incidence,
                           std::span<const std::int32_t> LOCPOS,
                           std::span<const std::int32_t> ENTPOS,
                           std::int32_t observed_location_count, std::int32_t MAXL,
                           std::int32_t MAXG, std::size_t piece) {
  auto row = [&](std::int32_t i, std::int32_t g0, std::size_t width, std::int32_t* digits) {
    const std::int32_t k = LOCPOS[at(i - 1)];
    if (k < 0) return false;
    for (std::size_t d = 0; d < width; ++d) {
      const std::int32_t m = ENTPOS[at(g0 - 1) + d];
      digits[d] = m < 0 ? 0 : observed_incidence[at(k) + at(m) * at(observed_location_count)];
    }
    return true;
  };
  write_incidence_rows(report, MAXL, MAXG, piece, row);
}

// The front of a location's row is its number and its total; of the totals
// row, the grand total; the year numbers have none.
OccurrenceRows::OccurrenceRows() : year_numbers_(kYearNumbers, 0), gamma_totals_(kGammaTotals, 1) {}

void OccurrenceRows::catch_up(std::span<const std::int32_t> DELTA,
                              std::span<const std::int32_t> GAMMA,
                              std::span<const std::int32_t> GAMYR, std::int32_t MAXL,
                              std::int32_t IYS, std::int32_t K) {
  const std::size_t locations = MAXL > 0 ? at(MAXL) : 0;
  if (delta_rows_.size() != locations) {
    delta_rows_.clear();
    gamma_rows_.clear();
    for (std::size_t i = 0; i < locations; ++i) {
      delta_rows_.emplace_back(kLocationRow, 2);
      gamma_rows_.emplace_back(kLocationRow, 2);
    }
    year_numbers_.clear();
    gamma_totals_.clear();
    years_ = 0;
  }
  for (std::int32_t k = years_ + 1; k <= K; ++k) {
    year_numbers_.append(IYS + k - 1);
    gamma_totals_.append(GAMYR[at(k - 1)]);
  }
  if (K > years_) years_ = K;
  DELTA_ = DELTA;
  GAMMA_ = GAMMA;
}

std::size_t OccurrenceRows::rows_per_piece() const {
  // A row holds the location, its total and a value a year, continued on a
  // further record every 49 values.
  const std::size_t row_bytes =
      13 + 5 * static_cast<std::size_t>(years_) + 8 * (static_cast<std::size_t>(years_) / 49);
  return std::max<std::size_t>(1, kPieceBytes / row_bytes);
}

std::size_t OccurrenceRows::pieces(std::int32_t MAXL) const {
  const std::size_t locations = MAXL > 0 ? at(MAXL) : 0;
  const std::size_t rows = rows_per_piece();
  return 2 * std::max<std::size_t>(1, (locations + rows - 1) / rows);
}

void OccurrenceRows::write(OutputUnit& report, std::span<const std::int32_t> DELTOT,
                           std::int32_t NDELTA, std::span<const std::int32_t> GAMTOT,
                           std::int32_t NGAMMA, std::int32_t MAXL, std::int32_t IYS,
                           std::int32_t IY) {
  const std::size_t count = pieces(MAXL);
  for (std::size_t piece = 0; piece < count; ++piece) {
    write_piece(report, DELTOT, NDELTA, GAMTOT, NGAMMA, MAXL, IYS, IY, piece);
  }
}

void OccurrenceRows::write_piece(OutputUnit& report, std::span<const std::int32_t> DELTOT,
                                 std::int32_t NDELTA, std::span<const std::int32_t> GAMTOT,
                                 std::int32_t NGAMMA, std::int32_t MAXL, std::int32_t IYS,
                                 std::int32_t IY, std::size_t piece) {
  assert(years_ == IY - IYS + 1);
  const std::size_t per_section = pieces(MAXL) / 2;
  const bool delta = piece < per_section;
  const std::size_t part = piece % per_section;
  if (part == 0) {
    write_record(report, delta ? kDeltaTitle : kGammaTitle);
    write_record(report, kYearRange, IYS, IY);
    year_numbers_.write(report, {});
  }
  auto& rows = delta ? delta_rows_ : gamma_rows_;
  const std::span<const std::int32_t> values = delta ? DELTA_ : GAMMA_;
  const auto& totals = delta ? DELTOT : GAMTOT;
  const std::size_t first = part * rows_per_piece();
  const std::size_t last = std::min(first + rows_per_piece(), MAXL > 0 ? at(MAXL) : 0);
  for (std::size_t row = first; row < last; ++row) {
    const std::int32_t i = static_cast<std::int32_t>(row + 1);
    // The years the row has not had yet.
    for (auto k = static_cast<std::int32_t>(rows[row].size()) + 1; k <= years_; ++k) {
      rows[row].append(values[element(i, k, MAXL)]);
    }
    const std::int32_t front[2] = {i, totals[row]};
    rows[row].write(report, front);
  }
  if (part + 1 < per_section) return;
  if (delta) {
    write_record(report, kDeltaTotal, NDELTA);
  } else {
    const std::int32_t front[1] = {NGAMMA};
    gamma_totals_.write(report, front);
  }
}

void write_kappa(OutputUnit& report, std::span<const std::int32_t> NGPAIR,
                 std::span<std::int32_t> NGLOC, std::span<const std::int32_t> NYPAIR,
                 std::span<std::int32_t> NYLOC, std::span<std::int32_t> KII,
                 std::span<std::int32_t> KI, std::int32_t NTM, std::int32_t MAXL) {
  derive_kappa_counts(NGPAIR, NGLOC, NYPAIR, NYLOC, KII, KI, NTM, MAXL);
  write_kappa_heading(report);
  for (std::int32_t J = 1; J <= MAXL; ++J) write_kappa_row(report, KII, KI, J);
}

void derive_kappa_counts(std::span<const std::int32_t> NGPAIR, std::span<std::int32_t> NGLOC,
                         std::span<const std::int32_t> NYPAIR, std::span<std::int32_t> NYLOC,
                         std::span<std::int32_t> KII, std::span<std::int32_t> KI,
                         std::int32_t NTM, std::int32_t MAXL) {
  // The counts are derived afresh from the pair counts every year.
  for (std::int32_t p = 0; p < NTM; ++p) KII[at(p)] = NYPAIR[at(p)] != 0 ? 1 : 0;
  // Pairs of different locations only: the diagonal never enters the totals.
  // The location totals add up non-negative pair counts, so a total that
  // saturates at the 32-bit limit is the smaller of its exact sum and that
  // limit, whatever the order of the additions: the sums are taken exactly
  // in 64 bits (MAXL counts below 2^31 each cannot overflow them), a column
  // at a time, and limited once at the end.
  const std::size_t locations = MAXL > 0 ? at(MAXL) : 0;
  std::vector<std::int64_t> ng(locations, 0), ny(locations, 0);
  std::fill_n(KI.begin(), locations, 0);
  for (std::int32_t J = 2; J <= MAXL; ++J) {
    const std::size_t column = packed_column_start(J);
    const std::size_t above = at(J - 1);
    const std::int32_t* const ngpair = NGPAIR.data() + column;
    const std::int32_t* const nypair = NYPAIR.data() + column;
    const std::int32_t* const kii = KII.data() + column;
    std::int64_t ng_j = 0, ny_j = 0;
    std::int32_t ki_j = 0;
    for (std::size_t i = 0; i < above; ++i) {
      ng_j += ngpair[i];
      ny_j += nypair[i];
      ki_j += kii[i];
      ng[i] += ngpair[i];
      ny[i] += nypair[i];
      KI[i] += kii[i];
    }
    ng[above] += ng_j;
    ny[above] += ny_j;
    KI[above] += ki_j;
  }
  constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
  for (std::size_t l = 0; l < locations; ++l) {
    NGLOC[l] = static_cast<std::int32_t>(std::min(ng[l], kLargest));
    NYLOC[l] = static_cast<std::int32_t>(std::min(ny[l], kLargest));
  }
}

void write_kappa_heading(OutputUnit& report) {
  write_record(report, kKappaHeading);
}

void write_kappa_row(OutputUnit& report, std::span<const std::int32_t> KII,
                     std::span<const std::int32_t> KI, std::int32_t J) {
  RecordWriter row(report, kKappaRow);
  row.put(KI[at(J - 1)]);
  row.put_all(KII.subspan(packed_column_start(J), at(J)));
  row.finish();
}

}  // namespace locprox
