// The observations file (unit 20), sorted by year, read once front to back
// a year at a time into the year's arrays.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "format/input_unit.h"
#include "input/observation_line.h"

namespace locprox {

// What the reader of a year met that the run reports.
struct YearNote {
  enum class Kind {
    kDuplicate,   // a plot entered twice: the later value is kept
    kOutOfRange,  // a location or entry outside the arrays: the record is skipped
    kYearEnd,     // the first record of a later year: the next year's reading starts there
    kEndOfData,   // the end of the file
  };
  Kind kind = Kind::kYearEnd;
  // The record's location, entry and value (kDuplicate, kOutOfRange).
  std::int32_t location = 0;
  std::int32_t entry = 0;
  float value = 0.0f;
};

// RDYEAR: reads the observations of year number IY into YDATA and INCID
// (both cleared when the reader is made). Records of earlier years are
// skipped; the year ends at the end of the file or at the first record of a
// later year, which the next year's reader reads again. A repeated cell
// keeps the last value; a location or entry outside the arrays is skipped.
//
// The reader writes nothing: next() reads on until it meets something to
// report and returns it, in file order, so that the caller writes each
// message where it belongs among its own records. The last note of a year is
// kYearEnd or kEndOfData, and further calls return it again. A malformed
// record stops the run (a RunError) from within next(), after every note
// before it has been returned.
class YearReader {
 public:
  // `fields` carry over from one record and one year to the next (see
  // ObservationFields). IYS is the first year of the sequence: records of
  // years before it that come before the sequence's own are not counted as
  // skipped (see skipped_records).
  YearReader(InputUnit& observations, ObservationFields& fields, std::span<float> YDATA,
             std::span<std::int32_t> INCID, std::int32_t IY, std::int32_t MAXL, std::int32_t MAXG,
             std::int32_t IYS);

  // A reader for a caller that works on the observed part of the year only:
  // it leaves YDATA and INCID as they are (the caller has cleared the cells
  // the previous year used and LOCSEEN), adds 1 to LOCSEEN(L) for every cell
  // of location L it stores for the first time (so that LOCSEEN ends as the
  // year's count of observed entries at each location, what the occurrence
  // counts need) and sets ENTSEEN(G) to 1 for the entry G of every cell it
  // stores.
  YearReader(InputUnit& observations, ObservationFields& fields, std::span<float> YDATA,
             std::span<std::int32_t> INCID, std::span<std::int32_t> LOCSEEN,
             std::span<std::int32_t> ENTSEEN, std::int32_t IY, std::int32_t MAXL,
             std::int32_t MAXG, std::int32_t IYS);
  YearReader(const YearReader&) = delete;
  YearReader& operator=(const YearReader&) = delete;

  YearNote next();

  // Records skipped because their year number was below IY although the
  // sequence had started (a record of year IYS or later had been read): the
  // file is out of year order there. With the line number of the first.
  std::int64_t skipped_records() const { return skipped_; }
  long first_skipped_line() const { return first_skipped_line_; }

 private:
  static constexpr std::size_t kAhead = 16;
  // What comes once the cells waiting to be stored are stored.
  enum class Then { kRead, kGeneralParse, kOutOfRange, kLaterYear, kEndOfData, kDone };
  struct Cell {
    std::size_t cell;
    std::int32_t L, G;
    float value;
  };

  // How a run of common lines ended (take_common_lines).
  enum class Batch { kOtherLine, kStop, kNote };

  bool store_oldest(YearNote& note);
  bool store_waiting(YearNote& note);
  void keep_fields(const ObservationFields& record);
  bool take_fields(const ObservationFields& record, long lines_ahead);
  Batch take_common_lines(std::string_view lines, YearNote& note);

  InputUnit& file_;
  ObservationFields& fields_;
  std::span<float> YDATA_;
  std::span<std::int32_t> INCID_;
  std::span<std::int32_t> LOCSEEN_;  // empty unless the caller counts what was seen
  std::span<std::int32_t> ENTSEEN_;
  std::int32_t IY_, MAXL_, MAXG_;
  bool sequence_started_;
  Then then_ = Then::kRead;
  std::string_view record_;  // the record for kGeneralParse
  YearNote out_of_range_;    // the note for kOutOfRange
  // Cells taken and stored so far; those waiting, taken_ - stored_ (at most
  // kAhead) of them, are waiting_[i % kAhead] for i from stored_ on.
  Cell waiting_[kAhead];
  std::size_t taken_ = 0;
  std::size_t stored_ = 0;
  YearNote::Kind last_ = YearNote::Kind::kYearEnd;  // the note of kDone
  std::int64_t skipped_ = 0;
  long first_skipped_line_ = 0;
};

}  // namespace locprox
