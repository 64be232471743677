#include "format/staged_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "format/signal_safe_slots.h"

namespace locprox {
namespace {

// The registry of live temporaries, which the signal handlers remove.
struct TemporaryPath {
  char path[kSlotPathSize];
};
SignalSafeSlots<TemporaryPath, 64> live_temporaries;

constexpr int kCleanedSignals[] = {SIGINT, SIGTERM, SIGHUP};

void remove_temporaries_and_die(int signal_number) {
  remove_live_temporaries();
  // The signal is blocked while its handler runs: raised again with the
  // default action, it ends the process as soon as the handler returns.
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

sigset_t cleaned_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kCleanedSignals) sigaddset(&set, s);
  return set;
}

// Holds SIGINT, SIGTERM and SIGHUP back while alive, so that the registry
// and the folder are never seen half-changed by the handler.
class SignalsHeld {
 public:
  SignalsHeld() {
    const sigset_t set = cleaned_signals();
    ::pthread_sigmask(SIG_BLOCK, &set, &previous_);
  }
  ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

// Records `path`; returns its slot, or -1 when the registry is full or the
// path too long (the file is then still removed on every ordinary stop).
int register_temporary(const std::string& path) {
  if (path.size() >= kSlotPathSize) return -1;
  return live_temporaries.add(
      [&](TemporaryPath& entry) { std::memcpy(entry.path, path.c_str(), path.size() + 1); });
}

void release(int slot) {
  live_temporaries.release(slot);
}

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string base_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string temporary_template(const std::string& final_path) {
  std::string name = folder_of(final_path);
  name += '.';
  name += base_of(final_path);
  name += kTemporaryMark;
  name += std::to_string(::getpid());
  name += ".XXXXXX";
  return name;
}

// Makes the renames of a folder durable; failures are of no consequence to
// the files' contents and are ignored.
void sync_folder(const std::string& final_path) {
  const std::string folder = folder_of(final_path);
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

void remove_live_temporaries() noexcept {
  live_temporaries.for_each([](const TemporaryPath& entry) { ::unlink(entry.path); });
}

void remove_temporaries_on_signals() {
  for (int signal_number : kCleanedSignals) {
    struct sigaction action {};
    action.sa_handler = remove_temporaries_and_die;
    action.sa_mask = cleaned_signals();
    ::sigaction(signal_number, &action, nullptr);
  }
}

StagedFile::StagedFile(std::string final_path) : final_path_(std::move(final_path)) {
  std::string name = temporary_template(final_path_);
  int error = 0;
  {
    // No temporary exists unrecorded when a signal arrives.
    SignalsHeld held;
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    error = errno;
    if (fd_ >= 0) {
      temporary_path_ = name;
      slot_ = register_temporary(temporary_path_);
    }
  }
  if (fd_ < 0) {
    throw std::system_error(error, std::generic_category(),
                            final_path_ + ": cannot be created");
  }
  // The permissions an ordinary creation would give, not mkstemp's 0600.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd_, 0666 & ~mask);
}

StagedFile::~StagedFile() {
  if (!published_) discard();
}

void StagedFile::start_writeback() const noexcept {
  if (fd_ >= 0) ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
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
  if (int error = finish(); error != 0) return error;
  SignalsHeld held;
  if (std::rename(temporary_path_.c_str(), final_path_.c_str()) != 0) return errno;
  published_ = true;
  release(slot_);
  slot_ = -1;
  return 0;
}

void StagedFile::discard() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  SignalsHeld held;
  if (!temporary_path_.empty() && !published_) ::unlink(temporary_path_.c_str());
  release(slot_);
  slot_ = -1;
}

StagedFile& StagedFiles::add(std::string final_path) {
  files_.push_back(std::make_unique<StagedFile>(std::move(final_path)));
  return *files_.back();
}

void StagedFiles::take(StagedFiles& other) {
  for (auto& file : other.files_) files_.push_back(std::move(file));
  other.files_.clear();
  for (auto& path : other.removals_) removals_.push_back(std::move(path));
  other.removals_.clear();
}

void StagedFiles::remove_when_published(std::string path) {
  removals_.push_back(std::move(path));
}

const StagedFile* StagedFiles::find(const std::string& final_path) const {
  for (const auto& file : files_) {
    if (file->final_path() == final_path) return file.get();
  }
  return nullptr;
}

int StagedFiles::publish_all(std::string& problem) noexcept {
  for (const auto& file : files_) {
    if (int error = file->finish(); error != 0) {
      problem = file->final_path() + ": write failed: " + std::strerror(error);
      return error;
    }
  }
  // Between the first rename and the last nothing else happens, and no
  // signal ends the process half-way.
  SignalsHeld held;
  for (const auto& file : files_) {
    if (int error = file->publish(); error != 0) {
      problem = file->final_path() + ": cannot put the new file in place: " + std::strerror(error);
      return error;
    }
  }
  for (const std::string& path : removals_) ::unlink(path.c_str());
  if (!files_.empty()) sync_folder(files_.front()->final_path());
  return 0;
}

void StagedFiles::discard_all() noexcept {
  for (const auto& file : files_) {
    if (!file->published()) file->discard();
  }
}

int write_all(int fd, std::string_view contents) noexcept {
  const char* data = contents.data();
  std::size_t size = contents.size();
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

int write_staged(const std::string& final_path, std::string_view contents, std::string& problem) {
  try {
    StagedFile file(final_path);
    if (int error = write_all(file.fd(), contents); error != 0) {
      problem = final_path + ": write failed: " + std::strerror(error);
      return error;
    }
    if (int error = file.publish(); error != 0) {
      problem = final_path + ": write failed: " + std::strerror(error);
      return error;
    }
    return 0;
  } catch (const std::system_error& error) {
    problem = error.what();
    return error.code().value();
  }
}

int remove_stale_temporaries(const std::string& stem) noexcept {
  const std::string folder = folder_of(stem);
  // Built by appending: GCC 12 warns falsely (-Wrestrict) on "." + string.
  std::string prefix = ".";
  prefix += base_of(stem);
  prefix += '.';
  DIR* directory = ::opendir(folder.empty() ? "." : folder.c_str());
  if (directory == nullptr) return 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(directory)) {
    const std::string_view name(entry->d_name);
    if (name.substr(0, prefix.size()) != prefix) continue;
    const std::size_t mark = name.rfind(kTemporaryMark);
    if (mark == std::string_view::npos) continue;
    // ".NAME.locprox-tmp.PID.XXXXXX": the process that made it.
    const std::string rest(name.substr(mark + kTemporaryMark.size()));
    char* end = nullptr;
    const long pid = std::strtol(rest.c_str(), &end, 10);
    if (pid <= 0 || end == nullptr || *end != '.' || std::strlen(end) != 7) continue;
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    if (::unlink((folder + std::string(name)).c_str()) == 0) ++removed;
  }
  ::closedir(directory);
  return removed;
}

}  // namespace locprox
