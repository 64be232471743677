#include "report/occurrence_report.h"

#include <array>
#include <cstddef>

#include "analysis/saturating.h"
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

// Puts `count` values of a location's row of a matrix stored column by
// column: `start`, `start` + MAXL, ... They are gathered a stretch at a time
// so that the writer can format each stretch in one go.
void put_row(RecordWriter& writer, std::span<const std::int32_t> matrix, std::size_t start,
             std::size_t count, std::int32_t MAXL) {
  std::array<std::int32_t, 256> stretch;
  const std::size_t stride = at(MAXL);
  while (count > 0) {
    const std::size_t n = count < stretch.size() ? count : stretch.size();
    for (std::size_t j = 0; j < n; ++j) stretch[j] = matrix[start + j * stride];
    writer.put_all(std::span<const std::int32_t>(stretch.data(), n));
    start += n * stride;
    count -= n;
  }
}

// Element (i, k) of a location-by-column matrix stored column by column,
// i and k counting from 1.
std::size_t element(std::int32_t i, std::int32_t k, std::int32_t MAXL) {
  return at(i - 1) + at(k - 1) * at(MAXL);
}

void write_incidence(OutputUnit& report, std::span<const std::int32_t> INCID, std::int32_t MAXL,
                     std::int32_t MAXG) {
  write_record(report, kIncidenceTitle);
  const std::int32_t blocks = (MAXG - 1) / kEntriesPerBlock + 1;
  for (std::int32_t b = 1; b <= blocks; ++b) {
    const std::int32_t g0 = kEntriesPerBlock * (b - 1) + 1;
    const std::int32_t g1 = g0 + kEntriesPerBlock - 1 < MAXG ? g0 + kEntriesPerBlock - 1 : MAXG;
    write_record(report, kIncidenceBlockHeading, g0, g1);
    for (std::int32_t i = 1; i <= MAXL; ++i) {
      RecordWriter row(report, kIncidenceRow);
      row.put(i);
      put_row(row, INCID, element(i, g0, MAXL), at(g1 - g0 + 1), MAXL);
      row.finish();
    }
  }
}

// The part the delta and gamma sections have in common: title, year
// heading, year numbers IYS..IY, and a row per location with its total and
// its K year values.
void write_level_matrix(OutputUnit& report, const Layout& title,
                        std::span<const std::int32_t> matrix, std::span<const std::int32_t> totals,
                        std::int32_t MAXL, std::int32_t IYS, std::int32_t IY, std::int32_t K) {
  write_record(report, title);
  write_record(report, kYearRange, IYS, IY);
  RecordWriter years(report, kYearNumbers);
  for (std::int32_t year = IYS; year <= IY; ++year) years.put(year);
  years.finish();
  for (std::int32_t i = 1; i <= MAXL; ++i) {
    RecordWriter row(report, kLocationRow);
    row.put(i);
    row.put(totals[at(i - 1)]);
    put_row(row, matrix, element(i, 1, MAXL), at(K), MAXL);
    row.finish();
  }
}

}  // namespace

void write_occurrences(OutputUnit& report, std::span<const std::int32_t> INCID,
                       std::span<const std::int32_t> DELTA, std::span<const std::int32_t> DELTOT,
                       std::int32_t NDELTA, std::span<const std::int32_t> GAMMA,
                       std::span<const std::int32_t> GAMTOT, std::span<const std::int32_t> GAMYR,
                       std::int32_t NGAMMA, std::int32_t MAXL, std::int32_t MAXG, std::int32_t IYS,
                       std::int32_t IY, std::int32_t K) {
  write_incidence(report, INCID, MAXL, MAXG);

  write_level_matrix(report, kDeltaTitle, DELTA, DELTOT, MAXL, IYS, IY, K);
  write_record(report, kDeltaTotal, NDELTA);

  write_level_matrix(report, kGammaTitle, GAMMA, GAMTOT, MAXL, IYS, IY, K);
  RecordWriter totals(report, kGammaTotals);
  totals.put(NGAMMA);
  totals.put_all(GAMYR.first(at(K)));
  totals.finish();
}

void write_kappa(OutputUnit& report, std::span<const std::int32_t> NGPAIR,
                 std::span<std::int32_t> NGLOC, std::span<const std::int32_t> NYPAIR,
                 std::span<std::int32_t> NYLOC, std::span<std::int32_t> KII,
                 std::span<std::int32_t> KI, std::int32_t NTM, std::int32_t MAXL) {
  // The counts are derived afresh from the pair counts every year.
  for (std::int32_t i = 0; i < MAXL; ++i) {
    NGLOC[at(i)] = 0;
    NYLOC[at(i)] = 0;
    KI[at(i)] = 0;
  }
  for (std::int32_t p = 0; p < NTM; ++p) KII[at(p)] = NYPAIR[at(p)] != 0 ? 1 : 0;
  // Pairs of different locations only: the diagonal never enters the totals.
  // The location totals add up non-negative pair counts, so once a total
  // reaches the 32-bit limit it stays there whatever the order of the
  // additions.
  for (std::int32_t J = 2; J <= MAXL; ++J) {
    const std::size_t column = packed_column_start(J);
    for (std::int32_t I = 1; I <= J - 1; ++I) {
      const std::size_t p = column + at(I - 1);
      NGLOC[at(J - 1)] = saturating_add(NGLOC[at(J - 1)], NGPAIR[p]);
      NGLOC[at(I - 1)] = saturating_add(NGLOC[at(I - 1)], NGPAIR[p]);
      NYLOC[at(J - 1)] = saturating_add(NYLOC[at(J - 1)], NYPAIR[p]);
      NYLOC[at(I - 1)] = saturating_add(NYLOC[at(I - 1)], NYPAIR[p]);
      KI[at(J - 1)] += KII[p];
      KI[at(I - 1)] += KII[p];
    }
  }

  write_record(report, kKappaHeading);
  for (std::int32_t J = 1; J <= MAXL; ++J) {
    const std::size_t column = packed_column_start(J);
    RecordWriter row(report, kKappaRow);
    row.put(KI[at(J - 1)]);
    row.put_all(std::span<const std::int32_t>(KII).subspan(column, at(J)));
    row.finish();
  }
}

}  // namespace locprox
