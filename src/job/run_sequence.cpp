#include "job/run_sequence.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <latch>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "analysis/location_scaling.h"
#include "analysis/observed_blocks.h"
#include "analysis/proximity_accumulation.h"
#include "format/proximity_records.h"
#include "input/names_file.h"
#include "input/year_reader.h"
#include "job/worker_pool.h"
#include "job/year_output.h"
#include "format/zeroed_block.h"

namespace locprox {
namespace {

const Layout kMessage{"A"};
const Layout kJobTitle{"' Job is ' A50"};
const Layout kOptionsEcho{
    "' Weighted (W) or unweighted (U) analysis (WEIGHT) ' A1 /"
    "' SED (S) or COR (C) measure              (PRXTYP) ' A1 /"
    "' Centered (C) or standardized (S) SED    (SEDTYP) ' A1 /"
    "' Normal (N) or Z (Z) average correlation (CORTYP) ' A1"};
const Layout kOptionRecord{proximity_records::kOptionRecord};
const Layout kSequence{"' Sequence starts in year ' I3 ' & finishes in year ' I3"};
const Layout kYearRecord{proximity_records::kYearRecord};
const Layout kForYear{"/ '   For year' 1X A8"};
const Layout kEndOfData{"' End of data'"};
const Layout kDuplicate{"' Duplicate observation in YR/Loc/En ' I5 I5 I5 F10.3"};
const Layout kOutOfRange{"' Observation out of range in YR/Loc/En ' I5 I5 I5 F10.3"};

void progress(Units& units, const char* message) {
  report_then_console(units, kMessage, message);
}

// The names file's counts against the problem: the first disagreement
// (years, then locations, then entries), or null.
const char* names_disagreement(const NamesCounts& counts, const ProblemSize& size) {
  if (counts.years != size.MAXY) return " No. years specified not the same as in *.NAQ file";
  if (counts.locations != size.MAXL) {
    return " No. locations specified not the same as in *.NAQ file";
  }
  if (counts.entries != size.MAXG) return " No. genotypes specified not the same as in *.NAQ file";
  return nullptr;
}

// A pair of arrays a year is read into: YDATA and INCID of the workspace,
// or their like besides it (see run_sequence).
struct ReadingArrays {
  std::span<float> YDATA;
  std::span<std::int32_t> INCID;
};

// What a year observed: the marks its reader leaves, the lists made from
// them, and the year's values and incidence gathered over them (so that the
// next year can be read while the workers still work on this one).
struct ObservedYear {
  ObservedYear(std::int32_t MAXL, std::int32_t MAXG)
      : LOCSEEN(static_cast<std::size_t>(MAXL)),
        ENTSEEN(static_cast<std::size_t>(MAXG)),
        observed_locations(static_cast<std::size_t>(MAXL)),
        observed_entries(static_cast<std::size_t>(MAXG)) {}
  std::vector<std::int32_t> LOCSEEN, ENTSEEN, observed_locations, observed_entries;
  ObservedCounts counts;
  // The blocks (observed_location_count x observed_entry_count), within
  // memory kept from year to year.
  std::span<float> observed_values;
  std::span<std::int32_t> observed_incidence;
  ReusedBlock<float> values_memory;
  ReusedBlock<std::int32_t> incidence_memory;
  // The arrays the year was read into, when the workers gather it from them
  // and clear them afterwards; null when this thread has gathered it.
  const ReadingArrays* read_into = nullptr;

  std::span<const std::int32_t> locations() const {
    return std::span<const std::int32_t>(observed_locations)
        .first(static_cast<std::size_t>(counts.observed_location_count));
  }
  std::span<const std::int32_t> entries() const {
    return std::span<const std::int32_t>(observed_entries)
        .first(static_cast<std::size_t>(counts.observed_entry_count));
  }
  ObservedBlock block() const {
    return {observed_values, observed_incidence, locations(), counts.observed_location_count,
            counts.observed_entry_count};
  }
};

// Gathers the year's observed values and incidence from the arrays it was
// read into into its blocks.
void gather_year(ObservedYear& year, const ReadingArrays& arrays, std::int32_t MAXL) {
  gather_observed(year.observed_values, year.observed_incidence, arrays.YDATA, arrays.INCID,
                  year.observed_locations, year.observed_entries, MAXL,
                  year.counts.observed_location_count, year.counts.observed_entry_count);
}

// Clears the year's cells in the arrays it was read into: arrays that were
// clear before the year are clear again.
void clear_year(const ObservedYear& year, const ReadingArrays& arrays, std::int32_t MAXL) {
  clear_observed(arrays.YDATA, arrays.INCID, year.observed_locations, year.observed_entries, MAXL,
                 year.counts.observed_location_count, year.counts.observed_entry_count);
}

// The messages that follow a year's delta and gamma sections, written to
// the report and then to the console; the report has an empty record before
// the first two.
void write_year_messages(OutputUnit& out, const Measure& measure, bool to_report) {
  if (to_report) write_empty_record(out);
  write_record(out, kMessage, "   Location centre the years data");
  if (to_report) write_empty_record(out);
  write_record(out, kMessage, " Calculate requested proximity measure");
  write_record(out, kMessage,
               measure.weighted() ? "   Using weighted averages" : "   Using unweighted averages");
  if (measure.distance()) {
    write_record(out, kMessage, "   Of squared Euclidean distances");
    write_record(out, kMessage,
                 measure.standardised() ? "   With location standardized data"
                                        : "   With location centred data");
  } else {
    write_record(out, kMessage, "   Of correlation measures");
    write_record(out, kMessage,
                 measure.said_fisher_z() ? "   With Fisher z averages" : "   With normal averages");
  }
}

// The text of those messages as `out` takes them.
std::string year_messages(const OutputUnit& out, const Measure& measure, bool to_report) {
  OutputUnit text(OutputUnit::InMemory{}, out.style());
  write_year_messages(text, measure, to_report);
  return std::string(text.text());
}

// A year after its reading and counting, run by the workers while this
// thread reads the next year, as one batch of tasks taken in this order:
// the gathering of the year's blocks, when this thread has not done it (and
// the clearing of the arrays it was read into, for the year after next);
// the occurrence sections and the messages, in pieces; the centring
// (and standardising) of the year's blocks, a chunk of locations at a time;
// the accumulation, shared by all threads a column at a time; the kappa
// counts; the kappa section and the proximity blocks, in pieces. Each phase
// that needs the one before waits for it; the pieces are written in order
// (YearOutput).
class YearInBackground {
 public:
  YearInBackground(WorkerPool& pool, YearOutput& output, const Workspace& w, const Measure& measure,
                   std::int32_t MAXL)
      : pool_(pool), output_(output), w_(w), measure_(measure), MAXL_(MAXL) {}
  // Waits for a year still running (its failure is dropped: the run is
  // already stopping for another reason).
  ~YearInBackground() {
    try {
      wait();
    } catch (...) {
      // Dropped, see above.
    }
  }

  // Starts the year IY at position K, gathered in `year`, which must stay as
  // it is until wait(), as must the running totals in the workspace.
  void start(std::int32_t IY, std::int32_t K, std::int32_t NDELTA, std::int32_t NGAMMA,
             ObservedYear& year) {
    year_ = &year;
    const std::int32_t observed_location_count = year.counts.observed_location_count;
    const std::size_t threads = pool_.threads();
    pieces_ = output_.prepare(IY, K, NDELTA, NGAMMA,
                              {year.locations(), year.entries(), year.observed_incidence});
    rows_per_chunk_ = std::max<std::int32_t>(
        16,
        static_cast<std::int32_t>(
            (static_cast<std::size_t>(observed_location_count) + 2 * threads - 1) / (2 * threads)));
    centring_ =
        static_cast<std::size_t>((observed_location_count + rows_per_chunk_ - 1) / rows_per_chunk_);
    accumulating_ = threads;
    gathering_ = year.read_into != nullptr ? 1 : 0;
    columns_.reset(observed_location_count);
    gathered_.emplace(static_cast<std::ptrdiff_t>(gathering_));
    centring_left_.emplace(static_cast<std::ptrdiff_t>(centring_));
    accumulation_left_.emplace(static_cast<std::ptrdiff_t>(accumulating_));
    counts_ready_.emplace(1);
    running_ = true;
    pool_.start(gathering_ + pieces_.early + centring_ + accumulating_ + 1 + pieces_.late, *this);
  }

  // Takes part in the year started last, returns once its records are
  // written, and rethrows the failure of the earliest. Nothing when no year
  // is running.
  void wait() {
    if (!running_) return;
    running_ = false;
    pool_.wait();
    output_.finish();
  }

  void operator()(std::size_t task) {
    if (task < gathering_) {
      gather_and_clear();
      gathered_->count_down();
    } else if ((task -= gathering_) < pieces_.early) {
      gathered_->wait();
      output_.do_early_piece(task);
    } else if ((task -= pieces_.early) < centring_) {
      gathered_->wait();
      centre(static_cast<std::int32_t>(task) * rows_per_chunk_);
      centring_left_->count_down();
    } else if ((task -= centring_) < accumulating_) {
      centring_left_->wait();
      accumulate();
      accumulation_left_->count_down();
    } else if (task == accumulating_) {
      accumulation_left_->wait();
      output_.derive_counts();
      counts_ready_->count_down();
    } else {
      counts_ready_->wait();
      output_.do_late_piece(task - accumulating_ - 1);
    }
  }

 private:
  // The year's blocks from the arrays it was read into, which are then
  // cleared where it observed.
  void gather_and_clear() {
    gather_year(*year_, *year_->read_into, MAXL_);
    clear_year(*year_, *year_->read_into, MAXL_);
  }

  void centre(std::int32_t first) {
    ObservedYear& y = *year_;
    const std::int32_t observed_location_count = y.counts.observed_location_count;
    const std::int32_t observed_entry_count = y.counts.observed_entry_count;
    centre_locations(y.observed_values, y.observed_incidence, observed_location_count,
                     observed_entry_count, first, rows_per_chunk_);
    if (measure_.standardised()) {
      standardise_locations(y.observed_values, y.observed_incidence, observed_location_count,
                            observed_entry_count, first, rows_per_chunk_);
    }
  }

  void accumulate() {
    accumulate_proximities(year_->block(), w_.PROX, w_.NGPAIR, w_.NYPAIR, measure_, columns_);
  }

  WorkerPool& pool_;
  YearOutput& output_;
  const Workspace& w_;
  const Measure& measure_;
  std::int32_t MAXL_;
  bool running_ = false;
  ObservedYear* year_ = nullptr;
  YearOutput::Pieces pieces_;
  std::int32_t rows_per_chunk_ = 16;
  std::size_t gathering_ = 0;     // tasks that gather the year's blocks (0 or 1)
  std::size_t centring_ = 0;      // tasks that centre a chunk of locations
  std::size_t accumulating_ = 0;  // tasks that share the accumulation
  ColumnQueue columns_;
  std::optional<std::latch> gathered_;
  std::optional<std::latch> centring_left_;
  std::optional<std::latch> accumulation_left_;
  std::optional<std::latch> counts_ready_;
};

// The records that open a year: the year record of the proximity file, the
// "For year" line and "Read data". They are written once the previous
// year's records are out (they are formatted and written by the other
// threads while this one reads), before the first message of the year's
// reading or, without one, right after it.
class YearOpening {
 public:
  YearOpening(Units& units, YearInBackground& previous, std::int32_t IY, const Name& name)
      : units_(units), previous_(previous), IY_(IY), name_(name) {}

  void write() {
    if (written_) return;
    written_ = true;
    // A failure of the previous year's writes came first and is the one
    // reported.
    previous_.wait();
    write_record(units_.proximity, kYearRecord, IY_, as_text(name_));
    report_then_console(units_, kForYear, as_text(name_));
    progress(units_, "   Read data");
  }

 private:
  Units& units_;
  YearInBackground& previous_;
  std::int32_t IY_;
  const Name& name_;
  bool written_ = false;
};

// Finds room for the year's blocks of observed values and incidence: only
// what the year observed is touched from here on (see
// analysis/observed_blocks.h for why the results are the same as over the
// whole arrays).
void make_room_for_blocks(ObservedYear& year) {
  const std::size_t cells = static_cast<std::size_t>(year.counts.observed_location_count) *
                            static_cast<std::size_t>(year.counts.observed_entry_count);
  year.observed_values = year.values_memory.first(cells);
  year.observed_incidence = year.incidence_memory.first(cells);
}

// Whether a problem of `cells` reads into two pairs of arrays, given the
// most they may take (see run_sequence).
bool reads_into_two_pairs(std::uint64_t cells, std::uint64_t second_arrays_bytes) {
  return cells <= second_arrays_bytes / 8;
}

// Writes what the year's reading met; false once the reading is over.
bool write_note(Units& units, std::int32_t IY, const YearNote& note) {
  switch (note.kind) {
    case YearNote::Kind::kDuplicate:
      report_then_console(units, kDuplicate, IY, note.location, note.entry, note.value);
      return true;
    case YearNote::Kind::kOutOfRange:
      report_then_console(units, kOutOfRange, IY, note.location, note.entry, note.value);
      return true;
    case YearNote::Kind::kEndOfData:
      console_then_report(units, kEndOfData);
      return false;
    case YearNote::Kind::kYearEnd:
      return false;
  }
  return false;
}

}  // namespace

std::uint64_t year_loop_memory(const ProblemRequirements& need, unsigned threads) {
  constexpr std::uint64_t kTop = std::numeric_limits<std::uint64_t>::max();
  auto add = [](std::uint64_t a, std::uint64_t b) { return a > kTop - b ? kTop : a + b; };
  auto times = [](std::int64_t count, std::uint64_t bytes) {
    const std::uint64_t n = count > 0 ? static_cast<std::uint64_t>(count) : 0;
    return n != 0 && bytes > kTop / n ? kTop : n * bytes;
  };
  const std::int64_t cells = need.ZREQ - 1;   // MAXL x MAXG
  const std::int64_t names = need.AZREQ - 1;  // MAXY + MAXL + MAXG, more than MAXL + MAXG
  // MAXL from NTM = MAXL(MAXL+1)/2, from above.
  const std::int64_t locations =
      static_cast<std::int64_t>(std::sqrt(2.0 * static_cast<double>(need.NTM))) + 1;
  const std::uint64_t workers = threads == 0 ? default_thread_count() : threads;
  // observed_values and observed_incidence, each a ZeroedBlock (in whole
  // huge pages when large).
  const std::uint64_t block = times(cells, 4);
  std::uint64_t bytes = block > kTop / 4 ? kTop : 2 * zeroed_block_bytes(block);
  // A second YDATA and INCID to read into, for a problem of few cells.
  if (cells >= 0 && reads_into_two_pairs(static_cast<std::uint64_t>(cells), kSecondArraysBytes)) {
    bytes = add(bytes, 2 * zeroed_block_bytes(block));
  }
  bytes = add(bytes, times(need.NTM, 40));                    // the kept texts
  bytes = add(bytes, times(names, 32));                       // lists, marks and positions
  bytes = add(bytes, times(locations, 2 * 200));              // delta and gamma rows, their fronts
  bytes = add(bytes, times(locations, times(need.NYA, 10)));  // and their years
  // Each thread's entry lists of the columns it accumulates: eight columns
  // of an offset and a value per entry.
  bytes = add(bytes, times(names, 8 * 16 * (workers + 1)));
  // The pieces in flight (OrderedOutput: at most 32 of them) take up to a
  // chunk each (kMaxChunkBytes, within the run's fixed overhead) and one
  // location's records more.
  const std::uint64_t in_flight = pieces_in_flight(static_cast<std::size_t>(workers));
  bytes = add(bytes, times(locations, 20 * in_flight));
  return bytes;
}

SequenceOutcome run_sequence(Units& units, const Workspace& w, const ProblemSize& size,
                             const Measure& measure, SequenceNotes* notes,
                             const SequenceSettings& settings) {
  // 1. Every accumulator starts from zero: cleared here, unless the work
  //    arrays came zeroed from the system (then the pages of the large
  //    YDATA and INCID that a year never touches are never even mapped).
  if (!w.zeroed) {
    for (auto part :
         {w.DELTA, w.DELTOT, w.GAMMA, w.GAMTOT, w.GAMYR, w.INCID, w.NGPAIR, w.NYPAIR, w.KII}) {
      std::fill(part.begin(), part.end(), 0);
    }
    std::fill(w.YDATA.begin(), w.YDATA.end(), 0.0f);
    std::fill(w.PROX.begin(), w.PROX.end(), 0.0);
  }

  // 2.-4. Title and the options' echo.
  const Title title = read_title(units.names);
  write_empty_record(units.report);
  report_then_console(units, kJobTitle, as_text(title));
  console_then_report(units, kOptionsEcho, measure.WEIGHT, measure.PRXTYP, measure.SEDTYP,
                      measure.CORTYP);
  write_record(units.proximity, kOptionRecord, measure.WEIGHT, measure.PRXTYP, measure.SEDTYP,
               measure.CORTYP);

  // 5.-7. The names file's counts must describe this problem.
  NamesCounts counts;
  read_names_counts(units.names, counts);
  if (const char* disagreement = names_disagreement(counts, size)) {
    write_empty_record(units.report);
    report_then_console(units, kMessage, disagreement);
    return SequenceOutcome::kNamesDisagree;
  }
  write_empty_record(units.report);
  report_then_console(units, kSequence, size.IYS, size.IYF);
  progress(units, " Read names of years, locations & entries in job");
  read_names(units.names, w.YEARNAME, w.LOCNAME, w.ENTNAME, size.MAXY, size.MAXL, size.MAXG);
  progress(units, " For each year");

  // 8. The years of the sequence; after each, the running state is written.
  // After a year's reading, counting and gathering on this thread, the rest
  // of it runs on the workers while this thread reads the next year
  // (YearInBackground): the records are formatted on all threads and
  // written in order (YearOutput).
  const std::int32_t MAXL = size.MAXL;
  const std::int32_t MAXG = size.MAXG;
  ObservationFields fields;
  WorkerPool pool(settings.threads == 0 ? default_thread_count() : settings.threads);
  YearOutput output(pool, units, w, size, year_messages(units.report, measure, true),
                    year_messages(units.console, measure, false));
  ObservedYear observed(MAXL, MAXG);
  // A problem of few cells reads its years into two pairs of arrays in
  // turn, YDATA and INCID and a pair besides them: a year's blocks are then
  // gathered (and its cells cleared) by the workers while this thread reads
  // the next year into the other pair, instead of by this thread in
  // between. A larger one reads every year into YDATA and INCID.
  const std::uint64_t cells =
      static_cast<std::uint64_t>(std::max(MAXL, 0)) * static_cast<std::uint64_t>(std::max(MAXG, 0));
  const bool two_pairs = reads_into_two_pairs(cells, settings.second_arrays_bytes);
  std::optional<ZeroedBlock<float>> second_values;
  std::optional<ZeroedBlock<std::int32_t>> second_incidence;
  ReadingArrays pairs[2] = {{w.YDATA, w.INCID}, {}};
  if (two_pairs) {
    second_values.emplace(static_cast<std::size_t>(cells));
    second_incidence.emplace(static_cast<std::size_t>(cells));
    pairs[1] = {second_values->span(), second_incidence->span()};
  }
  // Declared after what it works on, so that it finishes first.
  YearInBackground background(pool, output, w, measure, MAXL);
  std::int32_t NDELTA = 0;
  std::int32_t NGAMMA = 0;
  for (std::int32_t IY = size.IYS, K = 1; IY <= size.IYF; ++IY, ++K) {
    if (notes != nullptr && notes->year_started != nullptr)
      notes->year_started(notes->context, IY, K);
    const Name year_name = w.YEARNAME[static_cast<std::size_t>(IY - 1)];
    YearOpening opening(units, background, IY, year_name);
    // The arrays were cleared at the start; after a year, the cells it used
    // are cleared again (the workers work on the year's own blocks): here,
    // or with two pairs by the workers after gathering the year that used
    // the pair two years ago, done by now. The reader marks what the new
    // year observes.
    const ReadingArrays& arrays = pairs[two_pairs ? K % 2 : 0];
    if (!two_pairs) clear_year(observed, pairs[0], MAXL);
    std::fill(observed.LOCSEEN.begin(), observed.LOCSEEN.end(), 0);
    std::fill(observed.ENTSEEN.begin(), observed.ENTSEEN.end(), 0);
    YearReader reader(units.observations, fields, arrays.YDATA, arrays.INCID, observed.LOCSEEN,
                      observed.ENTSEEN, IY, MAXL, MAXG, size.IYS);
    try {
      // Each note is written as it comes, after the year's opening.
      for (bool reading = true; reading;) {
        const YearNote note = reader.next();
        opening.write();
        reading = write_note(units, IY, note);
      }
    } catch (...) {
      opening.write();  // what came before the failed read is written first
      throw;
    }
    if (notes != nullptr && reader.skipped_records() > 0) {
      if (notes->skipped_records == 0) notes->first_skipped_line = reader.first_skipped_line();
      notes->skipped_records += reader.skipped_records();
    }
    observed.counts = list_observed(observed.observed_locations, observed.observed_entries,
                                    observed.LOCSEEN, observed.ENTSEEN, MAXL, MAXG);
    progress(units, "   Calculate delta & gamma matrices");
    count_observed_occurrences(observed.LOCSEEN, observed.observed_locations, w.DELTA, w.DELTOT,
                               NDELTA, w.GAMMA, w.GAMTOT, w.GAMYR, NGAMMA, MAXL,
                               observed.counts.observed_location_count, K);
    progress(units, "   Write delta and gamma matrices");
    make_room_for_blocks(observed);
    if (two_pairs) {
      observed.read_into = &arrays;
    } else {
      observed.read_into = nullptr;
      gather_year(observed, arrays, MAXL);
    }

    // The rest of the year on the workers, while this thread reads the
    // next one; the year's messages are among its records.
    background.start(IY, K, NDELTA, NGAMMA, observed);
  }
  background.wait();
  return SequenceOutcome::kCompleted;
}

}  // namespace locprox
