// Why a run was refused, as its occurrence report says: the messages a
// refused run writes there (" INCREASE DIMENSION OF DZ ARRAY TO ...",
// " No. years specified not the same as in *.NAQ file").
#pragma once

#include <string>
#include <vector>

#include "summary/errors.h"

namespace locprox::summary {

// The messages of the report at `report_path`, without their leading blanks.
// A run refused at its problem size writes nothing but its messages after
// the problem-size summary, so then every record that follows is one; a run
// refused after its options has echoed its title and options first, so then
// only the known message is taken (`option_record`: the proximity file holds
// the option record). Empty when there is no such report, when it cannot be
// read, when it is the report of another run (its problem-size summary
// differs from the values of `dimension_record`, the proximity file's first
// record) or when it gives no reason.
std::vector<std::string> refusal_reasons(const std::string& report_path,
                                         const std::string& dimension_record, bool option_record);

// The refusal of the proximity file `proximity_file` with the reasons its
// report gives (refusal_reasons) added to the message, ready to throw.
RefusedRun explained_refusal(const RefusedRun& refused, const std::string& proximity_file);

// The report beside a proximity file: the job stem with ".OCC" (".occ" for a
// file named ".prx").
std::string default_report_file(const std::string& proximity_file);

}  // namespace locprox::summary
