#include "report/output_size.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <limits>
#include <string_view>

namespace locprox {
namespace {

// Wide enough for any size a run could write (13 Y² bytes and more overflow 64 bits).
__extension__ typedef unsigned __int128 Wide;
constexpr Wide kLineEnd = 2;  // CR LF

// The characters of a text record, with its line end.
Wide record(std::string_view text) {
  return text.size() + kLineEnd;
}

// ceil(n / m) summed over n = 1 .. N.
Wide ceiling_sum(Wide N, Wide m) {
  const Wide q = N / m;
  const Wide r = N % m;
  return m * q * (q + 1) / 2 + r * (q + 1);
}

// ceil(n / m) summed over n = a .. b (nothing when b < a).
Wide ceiling_sum(Wide a, Wide b, Wide m) {
  if (b < a) return 0;
  return ceiling_sum(b, m) - (a == 0 ? 0 : ceiling_sum(a - 1, m));
}

std::uint64_t saturated(Wide bytes) {
  constexpr std::uint64_t kTop = std::numeric_limits<std::uint64_t>::max();
  return bytes > kTop ? kTop : static_cast<std::uint64_t>(bytes);
}

// The report: the problem's summary, the title, the options and the
// sequence once; then for every year its opening, the incidence of each
// block of up to 200 entries, the delta and gamma sections (whose rows
// grow by a column a year), the messages of the measure and the kappa
// section.
Wide report_size(Wide L, Wide G, Wide NYA, const Measure& measure) {
  Wide once = 7 * record(" Maximum number of years in data set             (MAXY) =      3");
  once += record("");
  once += record(" Job is ") + 50;
  once += 4 * record(" Weighted (W) or unweighted (U) analysis (WEIGHT) W");
  once += record("");
  once += record(" Sequence starts in year   1 & finishes in year   3");
  once += record(" Read names of years, locations & entries in job");
  once += record(" For each year");

  Wide year = record("") + record("   For year 1901    ") + record("   Read data") +
              record("   Calculate delta & gamma matrices") +
              record("   Write delta and gamma matrices");
  // Incidence: a heading per block, and per block a row of each location:
  // I5, 1X and a digit per entry of the block.
  const Wide blocks = G == 0 ? 1 : (G - 1) / 200 + 1;
  year += record("") + record(" Incidence array for each year");
  year += blocks * record(" Loc Genotype(  1) to Genotype(  2)");
  year += L * (blocks * (5 + 1 + kLineEnd) + G);
  // Delta and gamma sections, apart from their rows and lines of years.
  year += record("") + record(" Delta matrices. Counts of no. of entries at each level") +
          record(" Loc  Total Year(  1) to Year(  1)") + record(" Total    6");
  year += record("") + record(" Gamma matrices. Counts of no. of years at each level") +
          record(" Loc  Total Year(  1) to Year(  1)");
  // The messages of the measure.
  year += record("") + record("   Location centre the years data") + record("") +
          record(" Calculate requested proximity measure");
  year += record(measure.weighted() ? "   Using weighted averages" : "   Using unweighted averages");
  if (measure.distance()) {
    year += record("   Of squared Euclidean distances");
    year += record(measure.standardised() ? "   With location standardized data"
                                          : "   With location centred data");
  } else {
    year += record("   Of correlation measures");
    year += record(measure.said_fisher_z() ? "   With Fisher z averages"
                                           : "   With normal averages");
  }
  // Kappa: three heading records after an empty one, and a row per
  // location J of Ki and the column's J indicators, twenty I4 to a record.
  year += record("") +
          record(" Kappa matrices Ki gives no of locations compared with location i") +
          record(" Kii' indicates if locations i and i' have been compared in any year") +
          record("  Ki.  Kii'");
  year += 4 * (L * (L + 1) / 2 + L) + kLineEnd * ceiling_sum(2, L + 1, 20);

  // What grows with K, the year's place in the sequence: in each of the two
  // sections the year numbers (11X and 48 I5 to a record) and a row per
  // location (I5, 1X, then 49 I5: its total and K counts, fifty items to a
  // record, each record with its 1X); and the gamma totals (' Total' and 49
  // I5 to a record: the grand total and K totals).
  const Wide K_sum = NYA * (NYA + 1) / 2;
  Wide growing = 2 * (5 * K_sum + (11 + kLineEnd) * ceiling_sum(1, NYA, 48));
  growing += 2 * L * (5 * (K_sum + 2 * NYA) + (1 + kLineEnd) * ceiling_sum(3, NYA + 2, 50));
  growing += 5 * (K_sum + NYA) + (6 + kLineEnd) * ceiling_sum(2, NYA + 1, 49);
  return once + NYA * year + growing;
}

// The proximity file: the dimension and option records, then for every year
// its year record, the sums (E16.8, ten to a record) and three blocks of
// counts (I6, thirty to a record), each block a record per location J.
Wide proximity_size(Wide L, Wide NYA) {
  const Wide once = 7 * 6 + kLineEnd + 4 * 6 + kLineEnd;
  Wide year = 6 + 4 + 8 + kLineEnd;
  year += 16 * (L * (L + 1) / 2) + kLineEnd * ceiling_sum(1, L, 10);
  year += 3 * (6 * (L * (L + 1) / 2 + L) + kLineEnd * ceiling_sum(2, L + 1, 30));
  return once + NYA * year;
}

}  // namespace

std::uint64_t OutputSizes::total() const {
  return report > std::numeric_limits<std::uint64_t>::max() - proximity
             ? std::numeric_limits<std::uint64_t>::max()
             : report + proximity;
}

OutputSizes output_sizes(std::int32_t, std::int32_t MAXL, std::int32_t MAXG, std::int32_t IYS,
                         std::int32_t IYF, const Measure& measure) {
  const Wide L = static_cast<Wide>(std::max(MAXL, 0));
  const Wide G = static_cast<Wide>(std::max(MAXG, 0));
  const Wide NYA = IYF >= IYS ? static_cast<Wide>(static_cast<std::int64_t>(IYF) - IYS + 1) : 0;
  return {saturated(report_size(L, G, NYA, measure)), saturated(proximity_size(L, NYA))};
}

std::optional<std::uint64_t> default_output_limit(const std::string& folder) {
  struct statvfs status {};
  if (::statvfs(folder.empty() ? "." : folder.c_str(), &status) != 0) return std::nullopt;
  const Wide free = static_cast<Wide>(status.f_bavail) * status.f_frsize;
  const Wide margin = std::min<Wide>(Wide{1} << 30, free / 20);
  return free > margin ? saturated(free - margin) : 0;
}

}  // namespace locprox
