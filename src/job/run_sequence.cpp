#include "job/run_sequence.h"

#include <algorithm>
#include <atomic>

#include "analysis/location_scaling.h"
#include "analysis/occurrence_counts.h"
#include "analysis/proximity_accumulation.h"
#include "format/proximity_records.h"
#include "input/names_file.h"
#include "input/observations_file.h"
#include "job/helper_thread.h"
#include "report/occurrence_report.h"
#include "report/proximity_file.h"

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

// A year's computing after its counts, shared with the helper thread: the
// helper writes the incidence, delta and gamma sections of the report while
// this thread centres (and standardises) the values; once those are ready
// both take columns of the proximity accumulation until none is left. Each
// column is computed whole by one thread, the report sections by the helper
// alone, and nothing else is written until the helper is done, so every
// byte comes out as when the steps run one after another.
//
// At the end of the year the helper derives the kappa counts and writes the
// kappa section and the year's blocks of the proximity file, while this
// thread reads the next year's observations. The records that open the next
// year are held back until then (YearOpening), so that they still follow.
struct SharedYear {
  Units& units;
  const Workspace& w;
  const ProblemSize& size;
  const AnalysisOptions& options;
  const bool concurrent;  // the helper runs beside this thread and takes columns
  // The year and its running totals.
  std::int32_t IY = 0, K = 0, NDELTA = 0, NGAMMA = 0;
  ColumnQueue columns{};
  std::atomic<bool> values_ready{false};

  void accumulate() {
    if (options.PRXTYP == 'S') {
      accumulate_distances(w.YDATA, w.INCID, w.PROX, w.NGPAIR, w.NYPAIR, size.MAXL, size.MAXG,
                           options.WEIGHT, columns);
    } else {
      accumulate_correlations(w.YDATA, w.INCID, w.PROX, w.NGPAIR, w.NYPAIR, size.MAXL, size.MAXG,
                              options.WEIGHT, options.CORTYP, columns);
    }
  }

  // The helper's part.
  static void report_then_accumulate(void* context) {
    SharedYear& year = *static_cast<SharedYear*>(context);
    const Workspace& w = year.w;
    write_occurrences(year.units.report, w.INCID, w.DELTA, w.DELTOT, year.NDELTA, w.GAMMA, w.GAMTOT,
                      w.GAMYR, year.NGAMMA, year.size.MAXL, year.size.MAXG, year.size.IYS, year.IY,
                      year.K);
    if (!year.concurrent) return;
    year.values_ready.wait(false, std::memory_order_acquire);
    year.accumulate();
  }

  // The helper's part at the end of the year.
  static void kappa_and_blocks(void* context) {
    SharedYear& year = *static_cast<SharedYear*>(context);
    const Workspace& w = year.w;
    const std::int32_t MAXL = year.size.MAXL;
    write_kappa(year.units.report, w.NGPAIR, w.NGLOC, w.NYPAIR, w.NYLOC, w.KII, w.KI, year.size.NTM,
                MAXL);
    write_proximity_block(year.units.proximity, w.PROX, MAXL);
    write_count_blocks(year.units.proximity, w.NGPAIR, w.NGLOC, w.NYPAIR, w.NYLOC, w.KII, w.KI,
                       MAXL);
  }
};

// The records that open a year: the year record of the proximity file, the
// "For year" line and "Read data". They are written once the helper has
// finished the previous year, before the first message of the year's
// reading or, without one, right after it.
class YearOpening {
 public:
  YearOpening(Units& units, HelperThread& helper, std::int32_t IY, const Name& name)
      : units_(units), helper_(helper), IY_(IY), name_(name) {}

  void write() {
    if (written_) return;
    written_ = true;
    // A failure of the helper's writes came first and is the one reported.
    helper_.wait();
    write_record(units_.proximity, kYearRecord, IY_, as_text(name_));
    report_then_console(units_, kForYear, as_text(name_));
    progress(units_, "   Read data");
  }

 private:
  Units& units_;
  HelperThread& helper_;
  std::int32_t IY_;
  const Name& name_;
  bool written_ = false;
};

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

SequenceOutcome run_sequence(Units& units, const Workspace& w, const ProblemSize& size,
                             const AnalysisOptions& options, SequenceNotes* notes) {
  // 1. Every accumulator starts from zero.
  for (auto part :
       {w.DELTA, w.DELTOT, w.GAMMA, w.GAMTOT, w.GAMYR, w.INCID, w.NGPAIR, w.NYPAIR, w.KII}) {
    std::fill(part.begin(), part.end(), 0);
  }
  std::fill(w.YDATA.begin(), w.YDATA.end(), 0.0f);
  std::fill(w.PROX.begin(), w.PROX.end(), 0.0);

  // 2.-4. Title and the options' echo.
  const Title title = read_title(units.names);
  write_empty_record(units.report);
  report_then_console(units, kJobTitle, as_text(title));
  console_then_report(units, kOptionsEcho, options.WEIGHT, options.PRXTYP, options.SEDTYP,
                      options.CORTYP);
  write_record(units.proximity, kOptionRecord, options.WEIGHT, options.PRXTYP, options.SEDTYP,
               options.CORTYP);

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
  const std::int32_t MAXL = size.MAXL;
  const std::int32_t MAXG = size.MAXG;
  ObservationFields fields;
  HelperThread helper;
  SharedYear shared{units, w, size, options, helper.concurrent()};
  for (std::int32_t IY = size.IYS, K = 1; IY <= size.IYF; ++IY, ++K) {
    if (notes != nullptr && notes->year_started != nullptr) notes->year_started(notes->context, IY, K);
    const Name year_name = w.YEARNAME[static_cast<std::size_t>(IY - 1)];
    YearOpening opening(units, helper, IY, year_name);
    YearReader reader(units.observations, fields, w.YDATA, w.INCID, IY, MAXL, MAXG, size.IYS);
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
    progress(units, "   Calculate delta & gamma matrices");
    count_occurrences(w.INCID, w.DELTA, w.DELTOT, shared.NDELTA, w.GAMMA, w.GAMTOT, w.GAMYR,
                      shared.NGAMMA, MAXL, MAXG, size.NYA, K);
    progress(units, "   Write delta and gamma matrices");
    // write_occurrences on the helper, centring and standardising here, then
    // the accumulation on both (see SharedYear); the records between them
    // follow once it is done.
    shared.IY = IY;
    shared.K = K;
    shared.columns.reset(MAXL);
    shared.values_ready.store(false, std::memory_order_relaxed);
    helper.start(SharedYear::report_then_accumulate, &shared);
    centre_locations(w.YDATA, w.INCID, MAXL, MAXG);
    if (options.PRXTYP == 'S' && options.SEDTYP != 'C') {
      standardise_locations(w.YDATA, w.INCID, MAXL, MAXG);
    }
    shared.values_ready.store(true, std::memory_order_release);
    shared.values_ready.notify_one();
    shared.accumulate();
    helper.wait();

    write_empty_record(units.report);
    progress(units, "   Location centre the years data");

    write_empty_record(units.report);
    progress(units, " Calculate requested proximity measure");
    progress(units,
             options.WEIGHT == 'W' ? "   Using weighted averages" : "   Using unweighted averages");
    if (options.PRXTYP == 'S') {
      progress(units, "   Of squared Euclidean distances");
      if (options.SEDTYP == 'C') {
        progress(units, "   With location centred data");
      } else {
        progress(units, "   With location standardized data");
      }
    } else {
      progress(units, "   Of correlation measures");
      progress(units,
               options.CORTYP == 'N' ? "   With normal averages" : "   With Fisher z averages");
    }

    // write_kappa and the proximity blocks on the helper (see SharedYear).
    helper.start(SharedYear::kappa_and_blocks, &shared);
  }
  helper.wait();
  return SequenceOutcome::kCompleted;
}

}  // namespace locprox
