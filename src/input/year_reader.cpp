#include "input/year_reader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "input/common_line.h"

namespace locprox {

// A year's records come in no particular order, so every store meets a cache
// miss in the MAXL x MAXG arrays; parsing records ahead and prefetching their
// cells lets the misses overlap: a cell is stored kAhead records after its
// own was read. The records are stored strictly in file order, and
// everything else that the reader does (a note, a step back, an error stop)
// first stores what is waiting, so the arrays and the notes are the same as
// storing each record at once.

YearReader::YearReader(InputUnit& observations, ObservationFields& fields, std::span<float> YDATA,
                       std::span<std::int32_t> INCID, std::int32_t IY, std::int32_t MAXL,
                       std::int32_t MAXG, std::int32_t IYS)
    : YearReader(observations, fields, YDATA, INCID, {}, {}, IY, MAXL, MAXG, IYS) {
  const std::size_t cells = static_cast<std::size_t>(MAXL) * static_cast<std::size_t>(MAXG);
  std::fill_n(YDATA.begin(), cells, 0.0f);
  std::fill_n(INCID.begin(), cells, 0);
}

YearReader::YearReader(InputUnit& observations, ObservationFields& fields, std::span<float> YDATA,
                       std::span<std::int32_t> INCID, std::span<std::int32_t> LOCSEEN,
                       std::span<std::int32_t> ENTSEEN, std::int32_t IY, std::int32_t MAXL,
                       std::int32_t MAXG, std::int32_t IYS)
    : file_(observations),
      fields_(fields),
      YDATA_(YDATA),
      INCID_(INCID),
      LOCSEEN_(LOCSEEN),
      ENTSEEN_(ENTSEEN),
      IY_(IY),
      MAXL_(MAXL),
      MAXG_(MAXG),
      sequence_started_(IY > IYS) {}

// Stores the oldest waiting cell; true, with its note, when the cell was
// already observed.
[[gnu::always_inline]] inline bool YearReader::store_oldest(YearNote& note) {
  const Cell& c = waiting_[stored_++ % kAhead];
  YDATA_[c.cell] = c.value;
  const bool twice = INCID_[c.cell] == 1;
  INCID_[c.cell] = 1;
  if (!LOCSEEN_.empty()) {
    LOCSEEN_[static_cast<std::size_t>(c.L - 1)] += twice ? 0 : 1;
    ENTSEEN_[static_cast<std::size_t>(c.G - 1)] = 1;
  }
  if (twice) note = {YearNote::Kind::kDuplicate, c.L, c.G, c.value};
  return twice;
}

// Stores the waiting cells in order up to the first that was already
// observed, which is returned as a note; the next call goes on after it.
bool YearReader::store_waiting(YearNote& note) {
  while (stored_ < taken_) {
    if (store_oldest(note)) return true;
  }
  return false;
}

// Keeps the fields of the record just parsed for the records and years
// after it. Field by field: a copy of the whole struct is made by some
// compilers through a 16-byte load of four 4-byte stores, which stalls.
[[gnu::always_inline]] inline void YearReader::keep_fields(const ObservationFields& record) {
  fields_.year = record.year;
  fields_.location = record.location;
  fields_.entry = record.entry;
  fields_.value = record.value;
}

// Files the record just parsed (`record`, a copy of `fields_`), which is
// `lines_ahead` lines past the unit's line number: skips it, or adds its
// cell to those waiting; false when it ends the batch (a later year, a
// record out of range).
[[gnu::always_inline]] inline bool YearReader::take_fields(const ObservationFields& record,
                                                           long lines_ahead) {
  if (record.year < IY_) {
    if (sequence_started_ && skipped_++ == 0) {
      first_skipped_line_ = file_.line_number() + lines_ahead;
    }
    return true;
  }
  sequence_started_ = true;
  if (record.year > IY_) {
    then_ = Then::kLaterYear;
    return false;
  }
  const std::int32_t L = record.location;
  const std::int32_t G = record.entry;
  if (L < 1 || L > MAXL_ || G < 1 || G > MAXG_) {
    out_of_range_ = {YearNote::Kind::kOutOfRange, L, G, record.value};
    then_ = Then::kOutOfRange;
    return false;
  }
  const std::size_t cell = static_cast<std::size_t>(L - 1) +
                           static_cast<std::size_t>(G - 1) * static_cast<std::size_t>(MAXL_);
  __builtin_prefetch(&YDATA_[cell], 1);
  __builtin_prefetch(&INCID_[cell], 1);
  waiting_[taken_++ % kAhead] = {cell, L, G, record.value};
  return true;
}

// Reads the lines of the common shape at the start of `lines` (the unit's
// whole_lines()) one after another, up to the first of another shape or the
// end of the view (kOtherLine), a record that ends the batch (kStop) or a
// duplicate to report (kNote, in `note`). The lines are told to the unit
// once, at the end. The next line's start comes from this line's line feed
// alone and is kept here rather than in the unit, so that the parses of
// successive lines overlap instead of each waiting for the last.
[[gnu::always_inline]] inline YearReader::Batch YearReader::take_common_lines(
    std::string_view lines, YearNote& note) {
  const char* const begin = lines.data();
  const char* const end = begin + lines.size();
  const char* line = begin;
  const char* last = begin;
  long taken = 0;
  Batch batch = Batch::kOtherLine;
  while (line != end) {
    if (taken_ - stored_ == kAhead && store_oldest(note)) {
      batch = Batch::kNote;
      break;
    }
    // A local of this loop alone, whose address is never taken, so that its
    // fields stay in registers.
    ObservationFields common;
    const char* const after = common_line::read_common_line<false>(line, end, common);
    if (after == nullptr) break;
    keep_fields(common);
    last = line;
    line = after;
    ++taken;
    if (!take_fields(common, taken)) {
      batch = Batch::kStop;
      break;
    }
  }
  if (taken > 0) {
    file_.take_lines(static_cast<std::size_t>(line - begin), static_cast<std::size_t>(last - begin),
                     taken);
  }
  return batch;
}

YearNote YearReader::next() {
  YearNote note;
  for (;;) {
    if (then_ != Then::kRead && stored_ < taken_) {
      if (store_waiting(note)) return note;
    }
    switch (then_) {
      case Then::kRead:
        break;
      case Then::kGeneralParse:
        // The general reader may stop the run: the records before are
        // stored and their notes returned by now.
        then_ = Then::kRead;
        if (parse_general_observation(file_, record_, fields_) == ObservationLine::kObservation) {
          take_fields(fields_, 0);
        }
        continue;
      case Then::kOutOfRange:
        then_ = Then::kRead;
        return out_of_range_;
      case Then::kLaterYear:
        // The first record of a later year is read again by the next year.
        file_.step_back();
        then_ = Then::kDone;
        last_ = YearNote::Kind::kYearEnd;
        return {last_};
      case Then::kEndOfData:
        then_ = Then::kDone;
        last_ = YearNote::Kind::kEndOfData;
        return {last_};
      case Then::kDone:
        return {last_};
    }
    // The common case: records of the year, each a cell to store once
    // kAhead more have been taken (and their cells prefetched). Lines of the
    // common shape are read straight from the unit's buffer, a run of them
    // at a time (take_common_lines); any other line, and a last line without
    // a line feed, is taken as a record and read by the record readers.
    for (;;) {
      const std::string_view lines = file_.whole_lines();
      if (!lines.empty()) {
        const Batch batch = take_common_lines(lines, note);
        if (batch == Batch::kNote) return note;
        if (batch == Batch::kStop) break;
      }
      if (taken_ - stored_ == kAhead && store_oldest(note)) return note;
      ObservationFields line;  // set in full, or not at all
      std::string_view record;
      if (!file_.next_record(record)) {
        then_ = Then::kEndOfData;
        break;
      }
      if (!parse_plain_observation(record, line)) {
        record_ = record;
        then_ = Then::kGeneralParse;
        break;
      }
      keep_fields(line);
      if (!take_fields(line, 0)) break;
    }
  }
}

}  // namespace locprox
