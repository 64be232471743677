// The units of a run: the console (standard output and input) and the four
// job files on their fixed unit numbers, with the two orders in which a
// message goes to both the report and the console.
#pragma once

#include "format/input_unit.h"
#include "format/output_unit.h"
#include "format/record_writer.h"

namespace locprox {

constexpr int kObservationsUnit = 20;
constexpr int kNamesUnit = 21;
constexpr int kReportUnit = 22;
constexpr int kProximityUnit = 23;

struct Units {
  OutputUnit& console;
  InputUnit& console_input;
  InputUnit& observations;  // unit 20
  InputUnit& names;         // unit 21
  OutputUnit& report;       // unit 22
  OutputUnit& proximity;    // unit 23
};

// The usual order of a message: to the report first, then to the console.
template <class... Values>
void report_then_console(Units& units, const Layout& layout, const Values&... values) {
  write_record(units.report, layout, values...);
  write_record(units.console, layout, values...);
}

template <class... Values>
void console_then_report(Units& units, const Layout& layout, const Values&... values) {
  write_record(units.console, layout, values...);
  write_record(units.report, layout, values...);
}

// An empty record.
inline void write_empty_record(OutputUnit& out) {
  out.end_record();
}

}  // namespace locprox
