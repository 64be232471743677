#include "analysis/seqanl.h"

#include <algorithm>
#include <atomic>

#include "analysis/analysis_options.h"
#include "analysis/helper_thread.h"
#include "analysis/location_scaling.h"
#include "analysis/occurrence_counts.h"
#include "analysis/proximity_accumulation.h"
#include "input/names_file.h"
#include "input/observations_file.h"
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
const Layout kOptionRecord{"4(5X,A1)"};
const Layout kSequence{"' Sequence starts in year ' I3 ' & finishes in year ' I3"};
const Layout kYearRecord{"I6,4X,A8"};
const Layout kForYear{"/ '   For year' 1X A8"};

void progress(Units& units, const char* message) {
  report_then_console(units, kMessage, message);
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
  Units* units;
  std::span<double> PROX;
  std::span<float> YDATA;
  std::span<std::int32_t> INCID, DELTA, DELTOT, GAMMA, GAMTOT, GAMYR, NGPAIR, NYPAIR;
  std::span<std::int32_t> KII, NGLOC, NYLOC, KI;
  std::int32_t MAXL, MAXG, NYA, NTM, IYS;
  char WEIGHT, PRXTYP, CORTYP;
  bool concurrent;  // the helper runs beside this thread and takes columns
  // The year's values and counts.
  std::int32_t NDELTA = 0, NGAMMA = 0, IY = 0, K = 0;
  ColumnQueue columns{};
  std::atomic<bool> values_ready{false};

  void accumulate() {
    if (PRXTYP == 'S') {
      SEDACC(YDATA, INCID, PROX, NGPAIR, NYPAIR, MAXL, MAXG, NTM, WEIGHT, columns);
    } else {
      CORACC(YDATA, INCID, PROX, NGPAIR, NYPAIR, MAXL, MAXG, NTM, WEIGHT, CORTYP, columns);
    }
  }

  // The helper's part.
  static void report_then_accumulate(void* context) {
    SharedYear& year = *static_cast<SharedYear*>(context);
    OCCREP(year.units->report, year.INCID, year.DELTA, year.DELTOT, year.NDELTA, year.GAMMA,
           year.GAMTOT, year.GAMYR, year.NGAMMA, year.MAXL, year.NYA, year.MAXG, year.IYS, year.IY,
           year.K);
    if (!year.concurrent) return;
    year.values_ready.wait(false, std::memory_order_acquire);
    year.accumulate();
  }

  // The helper's part at the end of the year.
  static void kappa_and_blocks(void* context) {
    SharedYear& year = *static_cast<SharedYear*>(context);
    KAPPA(year.units->report, year.NGPAIR, year.NGLOC, year.NYPAIR, year.NYLOC, year.KII, year.KI,
          year.NTM, year.MAXL);
    PRXMAT(year.units->proximity, year.PROX, year.NTM, year.MAXL);
    PRXCNT(year.units->proximity, year.NGPAIR, year.NGLOC, year.NYPAIR, year.NYLOC, year.KII,
           year.KI, year.NTM, year.MAXL);
  }
};

// The records that open a year: the year record of the proximity file, the
// "For year" line and "Read data". They are written once the helper has
// finished the previous year, before the first message of the year's
// reading or, without one, right after it.
class YearOpening final : public BeforeFirstMessage {
 public:
  YearOpening(Units& units, HelperThread& helper, std::int32_t IY, const Name& name)
      : units_(units), helper_(helper), IY_(IY), name_(name) {}

  void operator()() override {
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

}  // namespace

void SEQANL(Units& units, std::span<double> PROX, std::span<float> YDATA,
            std::span<std::int32_t> INCID, std::span<std::int32_t> DELTA,
            std::span<std::int32_t> DELTOT, std::span<std::int32_t> GAMMA,
            std::span<std::int32_t> GAMTOT, std::span<std::int32_t> GAMYR,
            std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
            std::span<std::int32_t> KII, std::span<std::int32_t> NGLOC,
            std::span<std::int32_t> NYLOC, std::span<std::int32_t> KI, std::span<Name> YEARNAME,
            std::span<Name> LOCNAME, std::span<Name> ENTNAME, std::int32_t MAXY, std::int32_t MAXL,
            std::int32_t MAXG, std::int32_t IYS, std::int32_t IYF, std::int32_t NYA,
            std::int32_t NTM) {
  // 1. Every accumulator starts from zero.
  for (auto part : {DELTA, DELTOT, GAMMA, GAMTOT, GAMYR, INCID, NGPAIR, NYPAIR, KII}) {
    std::fill(part.begin(), part.end(), 0);
  }
  std::fill(YDATA.begin(), YDATA.end(), 0.0f);
  std::fill(PROX.begin(), PROX.end(), 0.0);
  std::int32_t NDELTA = 0;
  std::int32_t NGAMMA = 0;
  ObservationFields observation;

  // 2.-4. Options, title, and their echo.
  const AnalysisOptions options = ask_analysis_options(units.console, units.console_input);
  const char WEIGHT = options.WEIGHT;
  const char PRXTYP = options.PRXTYP;
  const char SEDTYP = options.SEDTYP;
  const char CORTYP = options.CORTYP;
  const Title title = read_title(units.names);
  write_empty_record(units.report);
  report_then_console(units, kJobTitle, as_text(title));
  console_then_report(units, kOptionsEcho, WEIGHT, PRXTYP, SEDTYP, CORTYP);
  write_record(units.proximity, kOptionRecord, WEIGHT, PRXTYP, SEDTYP, CORTYP);

  // 5.-7. The names file's counts must describe this problem.
  if (!check_names_counts(units, MAXY, MAXL, MAXG)) return;
  write_empty_record(units.report);
  report_then_console(units, kSequence, IYS, IYF);
  progress(units, " Read names of years, locations & entries in job");
  RDNAME(units.names, YEARNAME, LOCNAME, ENTNAME, MAXY, MAXL, MAXG);
  progress(units, " For each year");

  // 8. The years of the sequence; after each, the running state is written.
  HelperThread helper;
  SharedYear shared{&units, PROX,   YDATA,  INCID, DELTA,  DELTOT, GAMMA,  GAMTOT,
                    GAMYR,  NGPAIR, NYPAIR, KII,   NGLOC,  NYLOC,  KI,     MAXL,
                    MAXG,   NYA,    NTM,    IYS,   WEIGHT, PRXTYP, CORTYP, helper.concurrent()};
  for (std::int32_t IY = IYS, K = 1; IY <= IYF; ++IY, ++K) {
    const Name year_name = YEARNAME[static_cast<std::size_t>(IY - 1)];
    YearOpening opening(units, helper, IY, year_name);
    try {
      RDYEAR(units, observation, YDATA, INCID, IY, MAXL, MAXG, &opening);
    } catch (...) {
      opening();  // what came before the failed read is written first
      throw;
    }
    opening();
    progress(units, "   Calculate delta & gamma matrices");
    OCCCNT(INCID, DELTA, DELTOT, NDELTA, GAMMA, GAMTOT, GAMYR, NGAMMA, MAXL, MAXG, NYA, K);
    progress(units, "   Write delta and gamma matrices");
    // OCCREP on the helper, LOCCEN and LOCSTD here, then SEDACC or CORACC on
    // both (see SharedYear); the records between them follow once it is done.
    shared.NDELTA = NDELTA;
    shared.NGAMMA = NGAMMA;
    shared.IY = IY;
    shared.K = K;
    shared.columns.reset(MAXL);
    shared.values_ready.store(false, std::memory_order_relaxed);
    helper.start(SharedYear::report_then_accumulate, &shared);
    LOCCEN(YDATA, INCID, MAXL, MAXG);
    if (PRXTYP == 'S' && SEDTYP != 'C') LOCSTD(YDATA, INCID, MAXL, MAXG);
    shared.values_ready.store(true, std::memory_order_release);
    shared.values_ready.notify_one();
    shared.accumulate();
    helper.wait();

    write_empty_record(units.report);
    progress(units, "   Location centre the years data");

    write_empty_record(units.report);
    progress(units, " Calculate requested proximity measure");
    progress(units, WEIGHT == 'W' ? "   Using weighted averages" : "   Using unweighted averages");
    if (PRXTYP == 'S') {
      progress(units, "   Of squared Euclidean distances");
      if (SEDTYP == 'C') {
        progress(units, "   With location centred data");
      } else {
        progress(units, "   With location standardized data");
      }
    } else {
      progress(units, "   Of correlation measures");
      progress(units, CORTYP == 'N' ? "   With normal averages" : "   With Fisher z averages");
    }

    // KAPPA, PRXMAT and PRXCNT on the helper (see SharedYear).
    helper.start(SharedYear::kappa_and_blocks, &shared);
  }
  helper.wait();
}

}  // namespace locprox
