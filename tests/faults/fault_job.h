// The small job that the fault tables start from, and a run of the built
// program on it that remembers every file of its directory before the run,
// so that a row can say which files must come out unchanged.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/run_program.h"

namespace locprox::testing {

// 3 years, 2 locations, 4 entries; every year has data.
inline const std::string kNames = "Fault job\n3 2 4\nY1\nY2\nY3\nL1\nL2\nE1\nE2\nE3\nE4\n";
inline const std::string kObservations =
    "1 1 1 5.0\n1 2 1 6.0\n1 1 2 7.5\n1 2 2 3.0\n1 1 3 4.0\n1 2 3 4.5\n"
    "2 1 1 2.0\n2 2 1 2.5\n2 1 4 8.0\n2 2 4 9.0\n2 1 2 1.0\n2 2 2 0.5\n"
    "3 1 1 3.0\n3 2 1 3.5\n3 1 3 6.0\n3 2 3 5.0\n3 1 4 2.0\n3 2 4 1.0\n";
// The console answers, one per line, of a default-names run of job T.
inline const std::vector<std::string> kAnswers = {"y", "T", "3", "2", "4", "1", "3", "w", "s", "c"};

inline std::string joined(const std::vector<std::string>& lines, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count && i < lines.size(); ++i) text += lines[i] + "\n";
  return text;
}
inline std::string joined(const std::vector<std::string>& lines) {
  return joined(lines, lines.size());
}

// What an earlier run left in the output files; a row that must not touch
// them finds these texts afterwards.
inline const std::string kOldReport = "report of an earlier run\r\n";
inline const std::string kOldProximity = "proximity file of an earlier run\r\n";

// Root reads and writes whatever the permissions say, so a row about
// permissions runs the program as the user nobody when the tests run as
// root: through util-linux's setpriv, which drops the user, the group and the
// supplementary groups before it starts the program.
inline const std::string kSetpriv = "/usr/bin/setpriv";
inline std::vector<std::string> as_nobody(std::vector<std::string> arguments = {}) {
  std::vector<std::string> all = {"--reuid=65534", "--regid=65534", "--clear-groups", "--",
                                  LOCPROX_EXE};
  all.insert(all.end(), arguments.begin(), arguments.end());
  return all;
}

// Whether the program can run as nobody here (setpriv is there, and nobody
// may reach and run the built program).
inline bool can_run_as_nobody() {
  if (!std::filesystem::exists(kSetpriv)) return false;
  ScratchDirectory dir;
  return run_program(dir.path(), "", kSetpriv, as_nobody({"--version"})).exit_status == 0;
}

// One run of the program in a fresh directory holding `files`.
class FaultRun {
 public:
  // `prepare`, when given, changes the directory after the files are
  // written and before the snapshot (a directory made read-only, say). With
  // `as_nobody_user` the program runs as nobody, in a directory that
  // everybody may write.
  FaultRun(const std::map<std::string, std::string>& files, const std::string& answers,
           const std::function<void(const std::filesystem::path&)>& prepare = {},
           bool as_nobody_user = false) {
    for (const auto& [name, contents] : files) {
      std::filesystem::create_directories((dir_.path() / name).parent_path());
      dir_.write(name, contents);
    }
    if (as_nobody_user) {
      std::filesystem::permissions(dir_.path(), std::filesystem::perms::all);
      for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.path())) {
        std::filesystem::permissions(entry.path(), std::filesystem::perms::all);
      }
    }
    if (prepare) prepare(dir_.path());
    before_ = snapshot();
    run_ = as_nobody_user ? run_program(dir_.path(), answers, kSetpriv, as_nobody())
                          : run_program(dir_.path(), answers);
    // No run ever writes to an input file.
    for (const auto& [name, contents] : before_) {
      if (name.ends_with(".SEQ") || name.ends_with(".NAQ")) expect_unchanged(name);
    }
  }

  const ProgramRun& result() const { return run_; }
  int status() const { return run_.exit_status; }
  const std::string& errors() const { return run_.errors; }
  const std::string& console() const { return run_.console; }
  std::string file(const std::string& name) const { return dir_.read(name); }
  bool exists(const std::string& name) const { return dir_.exists(name); }
  const ScratchDirectory& directory() const { return dir_; }

  // The file is as it was before the run (or still absent).
  void expect_unchanged(const std::string& name) const {
    auto was = before_.find(name);
    if (was == before_.end()) {
      EXPECT_FALSE(exists(name)) << name << " was created";
    } else {
      EXPECT_TRUE(exists(name) && file(name) == was->second) << name << " was changed";
    }
  }
  // Every file that existed before the run is unchanged, except `changed`.
  void expect_only_changed(const std::vector<std::string>& changed) const {
    for (const auto& [name, contents] : before_) {
      if (std::find(changed.begin(), changed.end(), name) != changed.end()) continue;
      expect_unchanged(name);
    }
  }
  // An error stop: status 2 and one line on standard error that begins
  // with `where` and holds `problem`.
  void expect_error_stop(const std::string& where, const std::string& problem) const {
    EXPECT_EQ(status(), 2) << errors();
    EXPECT_EQ(errors().rfind("locprox: " + where, 0), 0u) << errors();
    EXPECT_NE(errors().find(problem), std::string::npos) << errors();
    ASSERT_FALSE(errors().empty());
    EXPECT_EQ(errors().find('\n'), errors().size() - 1) << "not one line: " << errors();
    for (char c : errors().substr(0, errors().size() - 1)) {
      EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f)
          << "a control character in the message: " << errors();
    }
  }
  void expect_normal_end() const {
    EXPECT_EQ(status(), 0) << errors();
    EXPECT_EQ(errors(), "");
  }
  // A refused run: its messages and records as always, then status 1.
  void expect_refused_end() const {
    EXPECT_EQ(status(), 1) << errors();
    EXPECT_EQ(errors(), "");
  }
  // A run that completed with one warning on standard error holding `text`.
  void expect_normal_end_with_warning(const std::string& text) const {
    EXPECT_EQ(status(), 0) << errors();
    EXPECT_EQ(errors().rfind("locprox: warning: ", 0), 0u) << errors();
    EXPECT_NE(errors().find(text), std::string::npos) << errors();
    EXPECT_EQ(errors().find('\n'), errors().size() - 1) << "not one line: " << errors();
  }

 private:
  std::map<std::string, std::string> snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(
             dir_.path(), std::filesystem::directory_options::skip_permission_denied)) {
      if (!entry.is_regular_file()) continue;
      if (::access(entry.path().c_str(), R_OK) != 0) continue;
      std::string name = std::filesystem::relative(entry.path(), dir_.path()).string();
      files[name] = dir_.read(name);
    }
    return files;
  }

  ScratchDirectory dir_;
  std::map<std::string, std::string> before_;
  ProgramRun run_;
};

// The usual inputs of job T, with the old outputs of an earlier run.
inline std::map<std::string, std::string> job_files(
    const std::string& names = kNames, const std::string& observations = kObservations) {
  return {
      {"T.NAQ", names}, {"T.SEQ", observations}, {"T.OCC", kOldReport}, {"T.PRX", kOldProximity}};
}

}  // namespace locprox::testing
