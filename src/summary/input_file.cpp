#include "summary/input_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "format/unit_names.h"
#include "summary/output_file.h"

namespace locprox::summary {

InputFile::InputFile(int unit, const std::string& path, std::size_t block_size)
    : unit_(unit, path, nullptr, block_size) {
  // A file still in the making (locprox analyse) is read from its temporary.
  fd_ = ::open(readable_path(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw InputError(path + ": cannot be opened: " + std::strerror(errno));
  struct stat status {};
  if (::fstat(fd_, &status) == 0 && S_ISDIR(status.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw InputError(path + ": cannot be opened: it is a directory");
  }
  unit_.adopt(fd_);
}

InputFile::~InputFile() {
  unit_.close();
  if (fd_ >= 0) ::close(fd_);
}

InputError InputFile::error(const RunError& stop) const {
  const std::string message = stop.what();
  const std::string unit = describe_unit(unit_.unit(), unit_.name());
  if (message.compare(0, unit.size(), unit) == 0) {
    return InputError(path() + message.substr(unit.size()));
  }
  return InputError(path() + ": " + message);
}

}  // namespace locprox::summary

namespace locprox::summary {

namespace {
// The record layer's bound on a record (format/input_unit.cpp).
constexpr std::size_t kLongestRecord = std::size_t{64} << 20;
}  // namespace

WholeFile::WholeFile(const std::string& path) {
  const int fd = ::open(readable_path(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw InputError(path + ": cannot be opened: " + std::strerror(errno));
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    const int error = errno;
    ::close(fd);
    throw InputError(path + ": cannot be opened: " + std::strerror(error));
  }
  if (S_ISDIR(status.st_mode)) {
    ::close(fd);
    throw InputError(path + ": cannot be opened: it is a directory");
  }
  // A regular file is mapped whole: no copy. Its pages are mapped as they
  // are first read (several at a time) and let go by done_with, so the
  // process holds only the part being read.
  if (S_ISREG(status.st_mode) && status.st_size > 0) {
    const std::size_t size = static_cast<std::size_t>(status.st_size);
    void* at = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (at != MAP_FAILED) {
      mapped_ = at;
      mapped_size_ = size;
      bytes_ = std::string_view(static_cast<const char*>(at), size);
      ::close(fd);
      return;
    }
  }
  // Anything else (a pipe, a file that cannot be mapped) is read into one
  // buffer, grown by doubling from the size the system gives.
  std::size_t room = S_ISREG(status.st_mode) && status.st_size > 0
                         ? static_cast<std::size_t>(status.st_size) + 1
                         : std::size_t{1} << 16;
  std::size_t filled = 0;
  read_.resize(room);
  for (;;) {
    if (filled == read_.size()) read_.resize(read_.size() * 2);
    const ssize_t got = ::read(fd, read_.data() + filled, read_.size() - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      throw InputError(path + ": read failed: " + std::strerror(error));
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  ::close(fd);
  read_.resize(filled);
  bytes_ = read_;
}

void WholeFile::done_with(std::size_t from, std::size_t to) const {
  if (mapped_ == nullptr || to > mapped_size_) return;
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t first = (from + page - 1) / page * page;
  const std::size_t last = to / page * page;
  if (first >= last) return;
  // A hint: refused, the pages simply stay.
  ::madvise(static_cast<char*>(mapped_) + first, last - first, MADV_DONTNEED);
}

WholeFile::~WholeFile() {
  if (mapped_ != nullptr) ::munmap(mapped_, mapped_size_);
}

bool RecordCursor::next(std::string_view& record) {
  if (next_ >= bytes_.size()) return false;
  const char* from = bytes_.data() + next_;
  const std::size_t left = bytes_.size() - next_;
  const void* line_feed = std::memchr(from, '\n', left);
  const std::size_t length =
      line_feed != nullptr ? static_cast<std::size_t>(static_cast<const char*>(line_feed) - from)
                           : left;
  if (length > kLongestRecord) {
    throw InputError(path() + (line_ > 0 ? ", line " + std::to_string(line_) : std::string()) +
                     ": record longer than 64 MiB");
  }
  record = std::string_view(from, length);
  if (!record.empty() && record.back() == '\r') record.remove_suffix(1);
  last_ = next_;
  next_ += line_feed != nullptr ? length + 1 : length;
  ++line_;
  return true;
}

}  // namespace locprox::summary
