// Outputs that appear whole or not at all. A staged file is written under a
// temporary name in the folder of its final name (so that the rename never
// crosses file systems), then flushed to disk and renamed over the final name
// once complete. The rename replaces whatever stood at the final name, a
// symbolic link included, instead of writing through it.
//
// Every live temporary is kept in a small registry; once the first one is
// made, SIGINT, SIGTERM and SIGHUP remove them all and the process then dies
// of the same signal (status 128 + signal). After SIGKILL or a power cut only
// files named ".NAME.locprox-tmp.PID.XXXXXX" can be left beside NAME.
#pragma once

#include <string>
#include <string_view>

namespace locprox {

// A file named `final_path` in the making. The destructor removes the
// temporary unless publish() has renamed it.
class StagedFile {
 public:
  // Creates the temporary; throws std::system_error (its what() names the
  // folder) when it cannot be created.
  explicit StagedFile(std::string final_path);
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // The descriptor of the temporary, open for writing; -1 once closed.
  int fd() const { return fd_; }
  const std::string& final_path() const { return final_path_; }
  const std::string& temporary_path() const { return temporary_path_; }

  // Flushes the temporary to disk and closes it; returns 0 or an errno value.
  int finish() noexcept;
  // Renames the finished temporary over the final name; returns 0 or an
  // errno value.
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

// Writes `contents` to a staged file and publishes it; returns 0 or an errno
// value, with nothing left under a temporary name on failure.
int write_staged(const std::string& final_path, std::string_view contents, std::string& problem);

}  // namespace locprox
