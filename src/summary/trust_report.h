// What the summary prints about trusting its groups and pairs: why the
// number of groups was chosen, how the groups fared with each year left out,
// and the pairs a breeder would act on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "summary/averages.h"
#include "summary/group_choice.h"
#include "summary/pair_trust.h"
#include "summary/stability.h"

namespace locprox::summary {

// "3 groups chosen: ..." with the gap that chose them.
std::string group_choice_text(const GroupChoice& choice);

// The leave-one-year-out account, naming the groups file `stability_path`.
// `year_names[k]` names history year k.
std::string stability_text(const Stability& stability, const std::vector<std::string>& names,
                           const std::vector<std::string>& year_names,
                           const std::string& stability_path);

// The run (an index into stability.runs) whose grouping differs most from
// the full data's: the lowest adjusted Rand index, of equal ones the first;
// none when there is no run or every run groups as the full data does.
std::optional<size_t> most_changing_run(const Stability& stability);

// An adjusted Rand index as the account prints it (three decimals).
std::string adjusted_rand_text(double index);

// The most alike pairs by the lower end of their interval and the pairs
// whose years disagree (p < 0.01), `shown` lines each at most; empty when the
// run has no intervals (anything but a weighted Fisher z run).
std::string pairs_to_act_on_text(const Averages& averages, const std::vector<PairTrust>& trust,
                                 const std::vector<std::string>& names, bool keep_z,
                                 const std::string& pairs_path, const std::string& years_path,
                                 size_t shown = 5);

}  // namespace locprox::summary
