#include "analysis/seqanl.h"

#include <algorithm>

#include "analysis/analysis_options.h"
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
  for (std::int32_t IY = IYS, K = 1; IY <= IYF; ++IY, ++K) {
    const Name year_name = YEARNAME[static_cast<std::size_t>(IY - 1)];
    write_record(units.proximity, kYearRecord, IY, as_text(year_name));
    report_then_console(units, kForYear, as_text(year_name));

    progress(units, "   Read data");
    RDYEAR(units, observation, YDATA, INCID, IY, MAXL, MAXG);
    progress(units, "   Calculate delta & gamma matrices");
    OCCCNT(INCID, DELTA, DELTOT, NDELTA, GAMMA, GAMTOT, GAMYR, NGAMMA, MAXL, MAXG, NYA, K);
    progress(units, "   Write delta and gamma matrices");
    OCCREP(units.report, INCID, DELTA, DELTOT, NDELTA, GAMMA, GAMTOT, GAMYR, NGAMMA, MAXL, NYA,
           MAXG, IYS, IY, K);

    write_empty_record(units.report);
    progress(units, "   Location centre the years data");
    LOCCEN(YDATA, INCID, MAXL, MAXG);

    write_empty_record(units.report);
    progress(units, " Calculate requested proximity measure");
    progress(units, WEIGHT == 'W' ? "   Using weighted averages" : "   Using unweighted averages");
    if (PRXTYP == 'S') {
      progress(units, "   Of squared Euclidean distances");
      if (SEDTYP == 'C') {
        progress(units, "   With location centred data");
      } else {
        progress(units, "   With location standardized data");
        LOCSTD(YDATA, INCID, MAXL, MAXG);
      }
      SEDACC(YDATA, INCID, PROX, NGPAIR, NYPAIR, MAXL, MAXG, NTM, WEIGHT);
    } else {
      progress(units, "   Of correlation measures");
      progress(units, CORTYP == 'N' ? "   With normal averages" : "   With Fisher z averages");
      CORACC(YDATA, INCID, PROX, NGPAIR, NYPAIR, MAXL, MAXG, NTM, WEIGHT, CORTYP);
    }

    KAPPA(units.report, NGPAIR, NGLOC, NYPAIR, NYLOC, KII, KI, NTM, MAXL);
    PRXMAT(units.proximity, PROX, NTM, MAXL);
    PRXCNT(units.proximity, NGPAIR, NGLOC, NYPAIR, NYLOC, KII, KI, NTM, MAXL);
  }
}

}  // namespace locprox
