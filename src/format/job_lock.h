// One writer per folder and job. A command that writes the outputs of a job
// (the files STEM.*) first takes the lock ".NAME.locprox-lock" beside them
// (NAME: the file name of STEM) with flock(2); the system releases it when
// the process ends, however it ends. A second writer does not wait: it is
// told at once that the job is being written, and stops.
#pragma once

#include <string>

namespace locprox {

class JobLock {
 public:
  JobLock() = default;
  ~JobLock();
  JobLock(JobLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  JobLock& operator=(JobLock&& other) noexcept;
  JobLock(const JobLock&) = delete;
  JobLock& operator=(const JobLock&) = delete;

  enum class Outcome { kTaken, kBusy, kFailed };
  // Takes the lock of `stem`, or says in `problem` why it cannot: kBusy
  // when another process holds it, kFailed when the lock file cannot be
  // made (a folder that is missing or cannot be written: the outputs then
  // fail with their own messages). Once taken, the temporaries that dead processes left beside the
  // job's outputs are removed.
  Outcome take(const std::string& stem, std::string& problem);
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// The lock file of `stem`.
std::string job_lock_path(const std::string& stem);

}  // namespace locprox
