#include "job/problem_size.h"

#include <algorithm>

#include "format/free_form.h"
#include "format/proximity_records.h"

namespace locprox {
namespace {

const Layout kHeading{"A"};
const Layout kPrompt{"A $"};
const Layout kDimensionRecord{proximity_records::kDimensionRecord};
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

// Checks one array: a requirement above the capacity is reported (console
// first, then the report); otherwise elements 1 to the requirement are set
// to the fill value, unless they hold it already (`filled`).
template <class Element>
bool check_array(Units& units, std::span<Element> array, std::int64_t required,
                 std::int32_t capacity, const char* message, const Element& fill,
                 bool filled = false) {
  if (required > capacity) {
    console_then_report(units, kTooSmall, message, required);
    return false;
  }
  if (required >= 1 && !filled) {
    std::fill_n(array.begin(), std::min<std::int64_t>(required, std::ssize(array)), fill);
  }
  return true;
}

}  // namespace

SizeAnswers ask_problem_size(OutputUnit& console, InputUnit& console_input) {
  SizeAnswers answers;
  write_record(console, kHeading, " Type the number of unique ");
  std::int32_t* const figures[5] = {&answers.MAXY, &answers.MAXL, &answers.MAXG, &answers.IYS,
                                    &answers.IYF};
  for (int i = 0; i < 5; ++i) {
    write_record(console, kPrompt, kSizePrompts[i]);
    read_integer(console_input, *figures[i]);
  }
  return answers;
}

void write_problem_size(Units& units, const SizeAnswers& a, const ProblemRequirements& need) {
  write_record(units.proximity, kDimensionRecord, a.MAXY, a.MAXL, a.MAXG, a.IYS, a.IYF, need.NYA,
               need.NTM);
  const std::int64_t summary[7] = {a.MAXY, a.MAXL, a.MAXG, a.IYS, a.IYF, need.NYA, need.NTM};
  for (int i = 0; i < 7; ++i)
    write_record(units.report, kSummaryRecord, kSummaryTexts[i], summary[i]);
}

const char* problem_refusal(const SizeAnswers& a, const ProblemRequirements& need) {
  if (a.MAXY < 0 || a.MAXL < 0 || a.MAXG < 0) {
    return " Numbers of years, locations and entries must not be negative";
  }
  if (need.NYA < 0) return " Year sequential analysis finishes before it starts";
  if (need.NYA >= 1 && (a.IYS < 1 || a.IYF > a.MAXY)) {
    return " Years of the sequence must lie between 1 and MAXY";
  }
  return nullptr;
}

SizeOutcome size_problem(Units& units, const SizeAnswers& a, const WorkArrayViews& work) {
  SizeOutcome outcome;
  const ProblemRequirements need = problem_requirements(a.MAXY, a.MAXL, a.MAXG, a.IYS, a.IYF);
  write_problem_size(units, a, need);
  if (const char* message = problem_refusal(a, need)) {
    console_then_report(units, kRefusal, message);
    outcome.verdict = SizeOutcome::Verdict::kRefused;
    outcome.refusal = message;
    return outcome;
  }

  Name blank_name;
  blank_name.fill(' ');
  bool too_small = false;
  too_small |= !check_array(units, work.DZ, need.DZREQ, work.DZDIM,
                            " INCREASE DIMENSION OF DZ ARRAY TO", 0.0, work.zeroed);
  too_small |= !check_array(units, work.Z, need.ZREQ, work.ZDIM,
                            " INCREASE DIMENSION OF Z ARRAY TO", 0.0f, work.zeroed);
  too_small |= !check_array(units, work.MZ, need.MZREQ, work.MZDIM,
                            " INCREASE DIMENSION OF MZ ARRAY TO", std::int32_t{0}, work.zeroed);
  too_small |= !check_array(units, work.AZ, need.AZREQ, work.AZDIM,
                            " INCREASE DIMENSION OF AZ ARRAY TO", blank_name);

  write_record(units.console, kDimensionsTitle);
  write_record(units.console, kPresentDimensions, work.DZDIM, work.ZDIM, work.MZDIM, work.AZDIM);
  write_record(units.console, kRequiredDimensions, need.DZREQ, need.ZREQ, need.MZREQ, need.AZREQ);
  if (too_small) {
    outcome.verdict = SizeOutcome::Verdict::kArraysTooSmall;
    return outcome;
  }

  // Every array fits, so every figure is within 32 bits.
  outcome.verdict = SizeOutcome::Verdict::kAccepted;
  outcome.size = {a.MAXY,
                  a.MAXL,
                  a.MAXG,
                  a.IYS,
                  a.IYF,
                  static_cast<std::int32_t>(need.NYA),
                  static_cast<std::int32_t>(need.NTM)};
  outcome.workspace = partition_work_arrays(work.DZ, work.Z, work.MZ, work.AZ, outcome.size);
  outcome.workspace.zeroed = work.zeroed;
  return outcome;
}

}  // namespace locprox
