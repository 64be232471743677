#include "format/staged_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <system_error>

namespace locprox {
namespace {

// The registry of live temporaries. A signal handler may only call
// async-signal-safe functions, so the paths are kept pre-formatted in fixed
// buffers and a slot is marked in use only once its path is complete.
constexpr int kSlots = 16;
constexpr std::size_t kPathSize = 4096;
char registry_paths[kSlots][kPathSize];
std::atomic<bool> registry_used[kSlots];
std::mutex registry_mutex;
std::once_flag handlers_installed;

void remove_temporaries_and_die(int signal_number) {
  for (int i = 0; i < kSlots; ++i) {
    if (registry_used[i].load()) ::unlink(registry_paths[i]);
  }
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

void install_handlers() {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction action {};
    action.sa_handler = remove_temporaries_and_die;
    sigemptyset(&action.sa_mask);
    for (int blocked : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, blocked);
    ::sigaction(signal_number, &action, nullptr);
  }
}

// Records `path`; returns its slot, or -1 when the registry is full or the
// path too long (the file is then still removed on every ordinary stop).
int register_temporary(const std::string& path) {
  std::call_once(handlers_installed, install_handlers);
  if (path.size() >= kPathSize) return -1;
  std::lock_guard lock(registry_mutex);
  for (int i = 0; i < kSlots; ++i) {
    if (!registry_used[i].load()) {
      std::memcpy(registry_paths[i], path.c_str(), path.size() + 1);
      registry_used[i].store(true);
      return i;
    }
  }
  return -1;
}

void release(int slot) {
  if (slot >= 0) registry_used[slot].store(false);
}

std::string temporary_template(const std::string& final_path) {
  const std::size_t slash = final_path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : final_path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? final_path : final_path.substr(slash + 1);
  return folder + "." + base + ".locprox-tmp." + std::to_string(::getpid()) + ".XXXXXX";
}

}  // namespace

StagedFile::StagedFile(std::string final_path) : final_path_(std::move(final_path)) {
  std::string name = temporary_template(final_path_);
  // Blocks the three signals while the file is made and recorded, so that
  // no temporary exists unrecorded when one arrives.
  sigset_t blocked, previous;
  sigemptyset(&blocked);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&blocked, s);
  ::pthread_sigmask(SIG_BLOCK, &blocked, &previous);
  fd_ = ::mkostemp(name.data(), O_CLOEXEC);
  const int error = errno;
  if (fd_ >= 0) {
    temporary_path_ = name;
    slot_ = register_temporary(temporary_path_);
  }
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (fd_ < 0) {
    throw std::system_error(error, std::generic_category(),
                            "cannot create a temporary file beside it");
  }
  // The permissions an ordinary creation would give, not mkstemp's 0600.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd_, 0666 & ~mask);
}

StagedFile::~StagedFile() {
  if (!published_) discard();
}

int StagedFile::finish() noexcept {
  if (fd_ < 0) return 0;
  int error = 0;
  if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) error = errno;
  if (::close(fd_) != 0 && error == 0) error = errno;
  fd_ = -1;
  return error;
}

int StagedFile::publish() noexcept {
  if (published_) return 0;
  if (fd_ >= 0) {
    if (int error = finish(); error != 0) return error;
  }
  if (std::rename(temporary_path_.c_str(), final_path_.c_str()) != 0) return errno;
  published_ = true;
  release(slot_);
  slot_ = -1;
  return 0;
}

void StagedFile::discard() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_path_.empty() && !published_) ::unlink(temporary_path_.c_str());
  release(slot_);
  slot_ = -1;
}

int write_staged(const std::string& final_path, std::string_view contents, std::string& problem) {
  try {
    StagedFile file(final_path);
    const char* data = contents.data();
    std::size_t size = contents.size();
    while (size > 0) {
      const ssize_t written = ::write(file.fd(), data, size);
      if (written < 0) {
        if (errno == EINTR) continue;
        problem = std::string("write failed: ") + std::strerror(errno);
        return errno == 0 ? EIO : errno;
      }
      data += written;
      size -= static_cast<std::size_t>(written);
    }
    if (int error = file.publish(); error != 0) {
      problem = std::string("write failed: ") + std::strerror(error);
      return error;
    }
    return 0;
  } catch (const std::system_error& error) {
    problem = error.what();
    return error.code().value();
  }
}

}  // namespace locprox
