#include "job/probsz.h"

#include <algorithm>

#include "analysis/seqanl.h"
#include "format/free_form.h"
#include "job/problem_requirements.h"

namespace locprox {
namespace {

const Layout kHeading{"A"};
const Layout kPrompt{"A $"};
const Layout kDimensionRecord{"10I6"};
const Layout kSummaryRecord{"A, I6"};
const Layout kTooSmall{"A, I8"};
const Layout kRefusal{"A"};
const Layout kDimensionsTitle{"/ ' DIMENSIONS OF ARRAYS:'"};
const Layout kPresentDimensions{"' PRESENT DIMENSIONS:  DZ=' I6 ' Z=' I6 ' MZ=' I6 ' AZ=' I6"};
const Layout kRequiredDimensions{"' DIMENSIONS REQUIRED: DZ=' I6 ' Z=' I6 ' MZ=' I6 ' AZ=' I6"};

constexpr const char* kSizePrompts[5] = {
    "               years in whole data set  - ", "           locations in whole data set  - ",
    "             entries in whole data set  - ", "   Type year sequential analysis starts - ",
    " Type year sequential analysis finishes - ",
};

constexpr const char* kSummaryTexts[7] = {
    " Maximum number of years in data set             (MAXY) = ",
    " Maximum number of locations in data set         (MAXL) = ",
    " Maximum number of genotypes in data set         (MAXG) = ",
    " Year sequential analyses starts                  (IYS) = ",
    " Year sequential analyses finishes                (IYF) = ",
    " Number of years in analysis                      (NYA) = ",
    " Number of elements in LxL upper triagular matrix (NTM) = ",
};

// A problem that no work space could make sensible: negative counts, a
// sequence that ends before it starts, or years outside the data set.
const char* refusal(std::int32_t MAXY, std::int32_t MAXL, std::int32_t MAXG, std::int32_t IYS,
                    std::int32_t IYF, std::int64_t NYA) {
  if (MAXY < 0 || MAXL < 0 || MAXG < 0) {
    return " Numbers of years, locations and entries must not be negative";
  }
  if (NYA < 0) return " Year sequential analysis finishes before it starts";
  if (NYA >= 1 && (IYS < 1 || IYF > MAXY)) {
    return " Years of the sequence must lie between 1 and MAXY";
  }
  return nullptr;
}

// Checks one array: a requirement above the capacity is reported (console
// first, then the report); otherwise elements 1 to the requirement are set
// to the fill value.
template <class Element>
bool check_array(Units& units, std::span<Element> array, std::int64_t required,
                 std::int32_t capacity, const char* message, const Element& fill) {
  if (required > capacity) {
    console_then_report(units, kTooSmall, message, required);
    return false;
  }
  if (required >= 1) {
    std::fill_n(array.begin(), std::min<std::int64_t>(required, std::ssize(array)), fill);
  }
  return true;
}

}  // namespace

void PROBSZ(Units& units, std::span<double> DZ, std::span<float> Z, std::span<std::int32_t> MZ,
            std::span<Name> AZ, std::int32_t DZDIM, std::int32_t ZDIM, std::int32_t MZDIM,
            std::int32_t AZDIM) {
  bool too_small = false;
  std::int32_t MAXY = 0, MAXL = 0, MAXG = 0, IYS = 0, IYF = 0;
  write_record(units.console, kHeading, " Type the number of unique ");
  std::int32_t* answers[5] = {&MAXY, &MAXL, &MAXG, &IYS, &IYF};
  for (int i = 0; i < 5; ++i) {
    write_record(units.console, kPrompt, kSizePrompts[i]);
    read_integer(units.console_input, *answers[i]);
  }

  const ProblemRequirements need = problem_requirements(MAXY, MAXL, MAXG, IYS, IYF);
  write_record(units.proximity, kDimensionRecord, MAXY, MAXL, MAXG, IYS, IYF, need.NYA, need.NTM);
  const std::int64_t summary[7] = {MAXY, MAXL, MAXG, IYS, IYF, need.NYA, need.NTM};
  for (int i = 0; i < 7; ++i)
    write_record(units.report, kSummaryRecord, kSummaryTexts[i], summary[i]);

  if (const char* message = refusal(MAXY, MAXL, MAXG, IYS, IYF, need.NYA)) {
    console_then_report(units, kRefusal, message);
    return;
  }

  Name blank_name;
  blank_name.fill(' ');
  too_small |=
      !check_array(units, DZ, need.DZREQ, DZDIM, " INCREASE DIMENSION OF DZ ARRAY TO", 0.0);
  too_small |= !check_array(units, Z, need.ZREQ, ZDIM, " INCREASE DIMENSION OF Z ARRAY TO", 0.0f);
  too_small |= !check_array(units, MZ, need.MZREQ, MZDIM, " INCREASE DIMENSION OF MZ ARRAY TO",
                            std::int32_t{0});
  too_small |=
      !check_array(units, AZ, need.AZREQ, AZDIM, " INCREASE DIMENSION OF AZ ARRAY TO", blank_name);

  write_record(units.console, kDimensionsTitle);
  write_record(units.console, kPresentDimensions, DZDIM, ZDIM, MZDIM, AZDIM);
  write_record(units.console, kRequiredDimensions, need.DZREQ, need.ZREQ, need.MZREQ, need.AZREQ);
  if (too_small) return;

  // Every array fits, so every figure below is within 32 bits. The
  // partitions follow one another in each array, each starting where the
  // previous one ends.
  const std::size_t L = static_cast<std::size_t>(MAXL);
  const std::size_t G = static_cast<std::size_t>(MAXG);
  const std::size_t N = static_cast<std::size_t>(need.NYA);
  const std::size_t T = static_cast<std::size_t>(need.NTM);
  const std::size_t Y = static_cast<std::size_t>(MAXY);
  std::size_t next = 0;
  auto take = [&next, &MZ](std::size_t length) {
    std::span<std::int32_t> part = MZ.subspan(next, length);
    next += length;
    return part;
  };
  std::span<std::int32_t> INCID = take(L * G);
  std::span<std::int32_t> DELTA = take(L * N);
  std::span<std::int32_t> DELTOT = take(L);
  std::span<std::int32_t> GAMMA = take(L * N);
  std::span<std::int32_t> GAMTOT = take(L);
  std::span<std::int32_t> GAMYR = take(N);
  std::span<std::int32_t> NGPAIR = take(T);
  std::span<std::int32_t> NYPAIR = take(T);
  std::span<std::int32_t> KII = take(T);
  std::span<std::int32_t> NGLOC = take(L);
  std::span<std::int32_t> NYLOC = take(L);
  std::span<std::int32_t> KI = take(L);

  SEQANL(units, DZ.first(T), Z.first(L * G), INCID, DELTA, DELTOT, GAMMA, GAMTOT, GAMYR, NGPAIR,
         NYPAIR, KII, NGLOC, NYLOC, KI, AZ.first(Y), AZ.subspan(Y, L), AZ.subspan(Y + L, G), MAXY,
         MAXL, MAXG, IYS, IYF, static_cast<std::int32_t>(need.NYA),
         static_cast<std::int32_t>(need.NTM));
}

}  // namespace locprox
