// The names file cut short at every byte, and malformed counts.
#include "faults/fault_job.h"

namespace locprox::testing {
namespace {

TEST(NamesFaults, FileEndingAtEveryPointStopsTheRunOrEndsNormally) {
  // A cut inside the last entry name still leaves a (shorter) last record;
  // any earlier cut leaves the file short of a record it must have.
  const std::size_t last_line = kNames.rfind('\n', kNames.size() - 2) + 1;
  for (std::size_t cut = 0; cut < kNames.size(); ++cut) {
    const std::string names = kNames.substr(0, cut);
    SCOPED_TRACE("names file cut to " + std::to_string(cut) + " bytes");
    FaultRun run(job_files(names), joined(kAnswers));
    if (cut > last_line) {
      run.expect_normal_end();
      continue;
    }
    long records = 0;
    for (char c : names) records += c == '\n';
    if (!names.empty() && names.back() != '\n') ++records;
    run.expect_error_stop("unit 21 (T.NAQ)",
                          "end of file met during a read, after line " + std::to_string(records));
    run.expect_only_changed({"T.OCC", "T.PRX"});
  }
}

TEST(NamesFaults, MalformedCountStopsTheRunAtItsLine) {
  const std::vector<std::string> bad_counts = {"abc", "3.5",         "1e40", "1e-50", "NaN",
                                               "Inf", "99999999999", "-",    "."};
  for (int field = 0; field < 3; ++field) {
    for (const std::string& bad : bad_counts) {
      SCOPED_TRACE("count " + std::to_string(field + 1) + " = " + bad);
      std::vector<std::string> counts = {"3", "2", "4"};
      counts[static_cast<std::size_t>(field)] = bad;
      std::string names = kNames;
      names.replace(names.find("3 2 4"), 5, counts[0] + " " + counts[1] + " " + counts[2]);
      FaultRun run(job_files(names), joined(kAnswers));
      run.expect_error_stop("unit 21 (T.NAQ), line 2",
                            "malformed number \"" + bad + "\" where an integer is expected");
    }
  }
}

TEST(NamesFaults, LongLinesNulBytesAndLineEndsDoNotChangeTheResult) {
  FaultRun plain(job_files(), joined(kAnswers));
  plain.expect_normal_end();
  struct Variant {
    const char* name;
    std::string names;
  };
  std::string long_title = kNames;
  long_title.insert(long_title.find('\n'), std::string(1 << 20, 'x'));
  std::string long_name = kNames;
  long_name.insert(long_name.find("\nL1") + 3, std::string(1 << 20, ' '));
  std::string mixed;
  bool crlf = false;
  for (char c : kNames) {
    if (c == '\n' && (crlf = !crlf)) mixed += '\r';
    mixed += c;
  }
  std::string no_final_line_end = kNames.substr(0, kNames.size() - 1);
  std::string nul_in_name = kNames;
  nul_in_name.insert(nul_in_name.find("\nE2") + 3, std::string(1, '\0'));
  const std::vector<Variant> variants = {{"1 MB title line", long_title},
                                         {"1 MB location name line", long_name},
                                         {"CR LF and LF mixed", mixed},
                                         {"no final line end", no_final_line_end},
                                         {"NUL after an entry name", nul_in_name}};
  for (const Variant& variant : variants) {
    SCOPED_TRACE(variant.name);
    FaultRun run(job_files(variant.names), joined(kAnswers));
    run.expect_normal_end();
    run.expect_only_changed({"T.OCC", "T.PRX"});
    EXPECT_EQ(run.file("T.PRX"), plain.file("T.PRX"));
  }
}

}  // namespace
}  // namespace locprox::testing
