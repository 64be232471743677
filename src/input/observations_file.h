// The observations file (unit 20): one observation per line (year number,
// location number, entry number, value), sorted by year. Read once, front
// to back, a year at a time.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "format/units.h"

namespace locprox {

// The four fields of the record last read. They are kept from one record to
// the next and from one year to the next, so a line that ends early with a
// slash keeps the earlier values; all are zero at the start of a run.
struct ObservationFields {
  std::int32_t year = 0;
  std::int32_t location = 0;
  std::int32_t entry = 0;
  float value = 0.0f;
};

// Called once, right before RDYEAR writes its first message of a call (a
// caller that holds back records of its own writes them then, so that they
// still come first).
class BeforeFirstMessage {
 public:
  virtual void operator()() = 0;

 protected:
  ~BeforeFirstMessage() = default;
};

// Reads the observations of year number IY into YDATA and INCID (both
// cleared first): skips records of earlier years, stops at the end of the
// file (" End of data") or at the first record of a later year, which the
// next call reads again. A repeated cell keeps the last value and is
// reported; a location or entry outside the arrays is skipped and reported.
void RDYEAR(Units& units, ObservationFields& fields, std::span<float> YDATA,
            std::span<std::int32_t> INCID, std::int32_t IY, std::int32_t MAXL, std::int32_t MAXG,
            BeforeFirstMessage* before_first_message = nullptr);

// What one record of the file holds.
enum class ObservationLine { kBlank, kObservation };

// Parses one record into `fields` with the free-form rules. A record without
// any value is blank. Every observation stands complete on its own line: a
// record with one to three values and no slash, a malformed number, or a
// value beyond 1.0E+30 in magnitude stops the run with a message naming
// the file and the line.
ObservationLine parse_observation(const InputUnit& unit, std::string_view record,
                                  ObservationFields& fields);

}  // namespace locprox
