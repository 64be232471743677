#include "format/job_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "format/staged_file.h"

namespace locprox {

std::string job_lock_path(const std::string& stem) {
  const std::size_t slash = stem.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : stem.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? stem : stem.substr(slash + 1);
  return folder + "." + base + ".locprox-lock";
}

JobLock::~JobLock() {
  if (fd_ >= 0) ::close(fd_);
}

JobLock& JobLock::operator=(JobLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

JobLock::Outcome JobLock::take(const std::string& stem, std::string& problem) {
  const std::string path = job_lock_path(stem);
  // Never through a symbolic link: the lock file is only ever a plain file
  // of its own.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) {
    problem = path + ": cannot make the lock file that keeps a second writer out: " +
              std::strerror(errno);
    return Outcome::kFailed;
  }
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) {
      problem = stem + ": another locprox is writing this job's files in this folder (it holds " +
                path + "); nothing was written: try again once it has finished";
      return Outcome::kBusy;
    }
    problem = path + ": cannot lock: " + std::strerror(error);
    return Outcome::kFailed;
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
  remove_stale_temporaries(stem);
  return Outcome::kTaken;
}

}  // namespace locprox
