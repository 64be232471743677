// Outputs that appear whole or not at all. A staged file is written under a
// temporary name in the folder of its final name (so that the rename never
// crosses file systems), then flushed to disk and renamed over the final name
// once complete. The rename replaces whatever stood at the final name, a
// symbolic link included, instead of writing through it.
//
// Every live temporary is kept in a small registry. A program that calls
// remove_temporaries_on_signals() (the programs' main functions do; library
// code never installs handlers, so that a process embedding it keeps its
// own) has SIGINT, SIGTERM and SIGHUP remove them all, after which the
// process dies of the same signal (status 128 + signal). After SIGKILL or a
// power cut only files named ".NAME.locprox-tmp.PID.XXXXXX" can be left
// beside NAME; remove_stale_temporaries() clears those of a dead process.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace locprox {

// The part of a temporary's name that marks it as one.
inline constexpr std::string_view kTemporaryMark = ".locprox-tmp.";

// Installs the handlers of SIGINT, SIGTERM and SIGHUP that remove the live
// temporaries and then end the process with the signal's own status.
void remove_temporaries_on_signals();

// Removes every live temporary; async-signal-safe, for a handler of another
// signal that ends the process (see whole_file.h).
void remove_live_temporaries() noexcept;

// A file named `final_path` in the making. The destructor removes the
// temporary unless publish() has renamed it.
class StagedFile {
 public:
  // Creates the temporary; throws std::system_error (its what() names the
  // file) when it cannot be created.
  explicit StagedFile(std::string final_path);
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // The descriptor of the temporary, open for writing; -1 once closed.
  int fd() const { return fd_; }
  const std::string& final_path() const { return final_path_; }
  const std::string& temporary_path() const { return temporary_path_; }
  bool published() const { return published_; }

  // Asks the system to start writing the temporary's pages to disk now, so
  // that finish() later waits for little; only a request, with no error.
  // For a file whose writing is done.
  void start_writeback() const noexcept;
  // Flushes the temporary to disk and closes it; returns 0 or an errno value.
  int finish() noexcept;
  // Finishes the temporary when still open and renames it over the final
  // name; returns 0 or an errno value.
  int publish() noexcept;
  // Closes and removes the temporary.
  void discard() noexcept;

 private:
  std::string final_path_;
  std::string temporary_path_;
  int fd_ = -1;
  int slot_ = -1;
  bool published_ = false;
};

// The outputs of one command, put in place together: every one is finished
// first, then all are renamed, with nothing else in between. Those not
// published are removed when the set is destroyed.
class StagedFiles {
 public:
  StagedFiles() = default;
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  StagedFile& add(std::string final_path);
  // Takes over the files of `other`, which is left empty.
  void take(StagedFiles& other);
  // Removes the file `path` (an output of an earlier run that this one does
  // not make) right after the renames of publish_all().
  void remove_when_published(std::string path);
  // The temporary of `final_path`, or null.
  const StagedFile* find(const std::string& final_path) const;

  // Flushes every file to disk and closes it, then renames them all; returns
  // 0, or an errno value with `problem` naming the file and the fault.
  int publish_all(std::string& problem) noexcept;
  void discard_all() noexcept;
  bool empty() const { return files_.empty(); }

 private:
  std::vector<std::unique_ptr<StagedFile>> files_;
  std::vector<std::string> removals_;
};

// Writes `contents` to a staged file and publishes it; returns 0 or an errno
// value, with nothing left under a temporary name on failure.
int write_staged(const std::string& final_path, std::string_view contents, std::string& problem);

// Writes all of `contents` to `fd`; returns 0 or an errno value.
int write_all(int fd, std::string_view contents) noexcept;

// Removes the temporaries that a process no longer running left beside the
// outputs of `stem` (the files ".NAME.locprox-tmp.PID.XXXXXX" in the folder
// of `stem` whose NAME begins with the file name of `stem` followed by a
// dot). Returns how many were removed.
int remove_stale_temporaries(const std::string& stem) noexcept;

}  // namespace locprox
