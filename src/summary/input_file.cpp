#include "summary/input_file.h"

#include <fcntl.h>
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

WholeFile whole_proximity_file(const std::string& path) {
  try {
    return WholeFile(readable_path(path), WholeFile::Pages::kAsRead);
  } catch (const WholeFileError& failure) {
    switch (failure.step()) {
      case WholeFileError::Step::kOpen:
        throw InputError(path + ": cannot be opened: " + std::strerror(failure.code().value()));
      case WholeFileError::Step::kDirectory:
        throw InputError(path + ": cannot be opened: it is a directory");
      case WholeFileError::Step::kRead:
        break;
    }
    throw InputError(path + ": read failed: " + std::strerror(failure.code().value()));
  }
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
