// Job files that cannot be opened, read or written: each stops the run with
// status 2 and a message naming the unit and the file, and leaves every file
// that the run had no business changing as it was.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "faults/fault_job.h"
#include "support/case_names.h"

namespace locprox::testing {
namespace {

namespace fs = std::filesystem;

// The answers of an explicit dialogue naming the four files, then the rest
// of the usual dialogue.
std::string explicit_answers(const std::string& seq, const std::string& naq, const std::string& occ,
                             const std::string& prx) {
  return "n\n" + seq + "\n" + naq + "\n" + occ + "\n" + prx + "\n" +
         joined({kAnswers.begin() + 2, kAnswers.end()});
}

struct FileFault {
  const char* name;
  std::string answers;
  std::function<void(std::map<std::string, std::string>&)> edit_files;  // may be empty
  std::function<void(const fs::path&)> prepare;                         // may be empty
  std::string where;
  std::string problem;
  std::vector<std::string> may_change;  // files the run may write before it stops
  bool needs_permissions = false;       // run as nobody when the tests run as root
};

void remove_file(std::map<std::string, std::string>& files, const std::string& name) {
  files.erase(name);
}

const std::string kUsual = joined(kAnswers);

std::vector<FileFault> file_faults() {
  return {
      {"missing observations file",
       kUsual,
       [](auto& f) { remove_file(f, "T.SEQ"); },
       {},
       "unit 20 (T.SEQ)",
       "cannot open the file: No such file or directory",
       {}},
      {"missing names file",
       kUsual,
       [](auto& f) { remove_file(f, "T.NAQ"); },
       {},
       "unit 21 (T.NAQ)",
       "cannot open the file: No such file or directory",
       {}},
      {"observations file is a directory",
       kUsual,
       [](auto& f) {
         remove_file(f, "T.SEQ");
         f["T.SEQ/inside"] = "";
       },
       {},
       "unit 20 (T.SEQ)",
       "it is a directory",
       {}},
      {"unreadable observations file",
       kUsual,
       {},
       [](const fs::path& d) { fs::permissions(d / "T.SEQ", fs::perms::none); },
       "unit 20 (T.SEQ)",
       "cannot open the file: Permission denied",
       {},
       true},
      {"unreadable names file",
       kUsual,
       {},
       [](const fs::path& d) { fs::permissions(d / "T.NAQ", fs::perms::none); },
       "unit 21 (T.NAQ)",
       "cannot open the file: Permission denied",
       {},
       true},
      {"report in a directory that does not exist",
       explicit_answers("T.SEQ", "T.NAQ", "nodir/T.OCC", "T.PRX"),
       {},
       {},
       "unit 22 (nodir/T.OCC)",
       "cannot create or replace the file: No such file or directory",
       {}},
      {"proximity file in a directory that does not exist",
       explicit_answers("T.SEQ", "T.NAQ", "T.OCC", "nodir/T.PRX"),
       {},
       {},
       "unit 23 (nodir/T.PRX)",
       "cannot create or replace the file: No such file or directory",
       {}},
      {"report in a read-only directory",
       explicit_answers("T.SEQ", "T.NAQ", "ro/T.OCC", "T.PRX"),
       [](auto& f) { f["ro/T.OCC"] = kOldReport; },
       [](const fs::path& d) {
         fs::permissions(d / "ro" / "T.OCC", fs::perms::owner_read);
         fs::permissions(d / "ro", fs::perms::owner_read | fs::perms::owner_exec);
       },
       "unit 22 (ro/T.OCC)",
       "cannot create or replace the file: Permission denied",
       {},
       true},
      {"proximity file in a read-only directory",
       explicit_answers("T.SEQ", "T.NAQ", "T.OCC", "ro/T.PRX"),
       [](auto& f) { f["ro/x"] = ""; },
       [](const fs::path& d) {
         fs::permissions(d / "ro", fs::perms::owner_read | fs::perms::owner_exec);
       },
       "unit 23 (ro/T.PRX)",
       "cannot create or replace the file: Permission denied",
       {},
       true},
      // The file system of /sys takes no new files, not even from root.
      {"proximity file where no file can be created",
       explicit_answers("T.SEQ", "T.NAQ", "T.OCC", "/sys/locprox-fault-test.PRX"),
       {},
       {},
       "unit 23 (/sys/locprox-fault-test.PRX)",
       "cannot create or replace the file",
       {}},
      {"report on a full disk",
       explicit_answers("T.SEQ", "T.NAQ", "/dev/full", "T.PRX"),
       {},
       {},
       "unit 22 (/dev/full)",
       "write failed: No space left on device",
       {"T.PRX"}},
      {"proximity file on a full disk",
       explicit_answers("T.SEQ", "T.NAQ", "T.OCC", "/dev/full"),
       {},
       {},
       "unit 23 (/dev/full)",
       "write failed: No space left on device",
       {"T.OCC"}},
      // A file that never ends its first line is refused at a bound, not
      // buffered until memory runs out.
      {"observations file without line ends (/dev/zero)",
       explicit_answers("/dev/zero", "T.NAQ", "T.OCC", "T.PRX"),
       {},
       {},
       "unit 20 (/dev/zero)",
       "record longer than 64 MiB",
       {"T.OCC", "T.PRX"}},
      {"names file without line ends (/dev/zero)",
       explicit_answers("T.SEQ", "/dev/zero", "T.OCC", "T.PRX"),
       {},
       {},
       "unit 21 (/dev/zero)",
       "record longer than 64 MiB",
       {"T.OCC", "T.PRX"}},
      {"empty names file (/dev/null)",
       explicit_answers("T.SEQ", "/dev/null", "T.OCC", "T.PRX"),
       {},
       {},
       "unit 21 (/dev/null)",
       "end of file met during a read, after line 0",
       {"T.OCC", "T.PRX"}},
      {"file name holding a NUL character",
       std::string("y\nT\0x\n", 6) + kUsual.substr(4),
       {},
       {},
       "unit 20 (T\\0x.SEQ)",
       "NUL",
       {}},
  };
}

// Rows print as their names in test listings.
void PrintTo(const FileFault& row, std::ostream* out) {
  *out << row.name;
}

class FileFaults : public ::testing::TestWithParam<FileFault> {};

TEST_P(FileFaults, StopWithTheUnitAndLeaveOtherFilesAlone) {
  const FileFault& row = GetParam();
  // As root, the rows about permissions run the program as nobody.
  const bool as_nobody_user = row.needs_permissions && ::geteuid() == 0;
  if (as_nobody_user && !can_run_as_nobody()) {
    GTEST_SKIP() << "root ignores permissions, and the program cannot run as nobody here";
  }
  auto files = job_files();
  if (row.edit_files) row.edit_files(files);
  FaultRun run(files, row.answers, row.prepare, as_nobody_user);
  run.expect_error_stop(row.where, row.problem);
  run.expect_only_changed(row.may_change);
  for (const std::string& name : row.may_change) {
    // What was written before the stop is kept, in whole records.
    const std::string text = run.file(name);
    EXPECT_GT(text.size(), 2u) << name;
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << name;
  }
  if (row.prepare) {
    std::error_code ignored;
    fs::permissions(run.directory().path() / "ro", fs::perms::owner_all, ignored);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, FileFaults, ::testing::ValuesIn(file_faults()),
                         locprox::testing::NameOfCase());

}  // namespace
}  // namespace locprox::testing
