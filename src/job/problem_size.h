// The problem-size step: the dialogue that asks for the size of the data set
// and the year range (ask_problem_size), then the records that report the
// problem, the checks of the work arrays against what it needs, and the
// partitions of the arrays (size_problem). The step ends there: the caller
// goes on with the run or, when the problem was refused, ends it.
#pragma once

#include <cstdint>

#include "format/units.h"
#include "job/problem_requirements.h"
#include "job/work_arrays.h"
#include "job/workspace.h"

namespace locprox {

// The five figures as typed.
struct SizeAnswers {
  std::int32_t MAXY = 0;
  std::int32_t MAXL = 0;
  std::int32_t MAXG = 0;
  std::int32_t IYS = 0;
  std::int32_t IYF = 0;
};

// PROBSZ, first half: asks the five figures on the console.
SizeAnswers ask_problem_size(OutputUnit& console, InputUnit& console_input);

// The problem's dimension record (proximity file) and its summary (report).
void write_problem_size(Units& units, const SizeAnswers& answers, const ProblemRequirements& need);

// Why no work space could make the problem sensible (negative counts, a
// sequence that ends before it starts, years outside the data set), as the
// message that says so; null for a sensible problem.
const char* problem_refusal(const SizeAnswers& answers, const ProblemRequirements& need);

struct SizeOutcome {
  enum class Verdict {
    kAccepted,        // `size` and `workspace` hold the problem
    kRefused,         // the problem makes no sense: `refusal` says why
    kArraysTooSmall,  // a work array cannot hold its part (reported per array)
  };
  Verdict verdict = Verdict::kRefused;
  const char* refusal = nullptr;
  ProblemSize size;
  Workspace workspace;

  bool accepted() const { return verdict == Verdict::kAccepted; }
};

// PROBSZ, second half: writes the problem's records, refuses a problem that
// makes no sense, checks each work array's capacity against its
// requirement (clearing it up to the requirement when it fits), writes the
// dimensions block, and when every array fits returns the partitions.
SizeOutcome size_problem(Units& units, const SizeAnswers& answers, const WorkArrayViews& work);

}  // namespace locprox
