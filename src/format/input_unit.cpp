#include "format/input_unit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "format/output_unit.h"
#include "format/run_error.h"
#include "format/unit_names.h"

namespace locprox {
namespace {
// A record longer than this is refused rather than buffered without bound.
constexpr std::size_t kLongestRecord = std::size_t{64} << 20;
}  // namespace

InputUnit::InputUnit(int unit, std::string name, OutputUnit* flush_before_read,
                     std::size_t block_size)
    : unit_(unit),
      name_(std::move(name)),
      flush_before_read_(flush_before_read),
      block_size_(block_size) {}

InputUnit::~InputUnit() {
  close();
}

void InputUnit::open() {
  open_path(name_);
}

void InputUnit::open_path(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) fail(std::string("cannot open the file: ") + std::strerror(errno));
  owns_fd_ = true;
  struct stat status {};
  if (::fstat(fd_, &status) == 0 && S_ISDIR(status.st_mode)) {
    fail("cannot open the file: it is a directory");
  }
}

void InputUnit::adopt(int fd) {
  fd_ = fd;
  owns_fd_ = false;
}

void InputUnit::adopt_bytes(ByteBuffer bytes) {
  if (bytes.size() < 2 * kReadPadding) {
    bytes = ByteBuffer(2 * kReadPadding);
    std::memset(bytes.data(), 0, bytes.size());
  }
  buffer_ = std::move(bytes);
  next_ = 0;
  filled_ = buffer_.size() - 2 * kReadPadding;
  const void* line_feed = ::memrchr(this->bytes(), '\n', filled_);
  lines_end_ = line_feed != nullptr
                   ? static_cast<std::size_t>(static_cast<const char*>(line_feed) - this->bytes()) + 1
                   : 0;
  at_end_of_file_ = true;
}

void InputUnit::close() noexcept {
  if (fd_ >= 0 && owns_fd_) ::close(fd_);
  fd_ = -1;
}

bool InputUnit::fill() {
  if (at_end_of_file_) return false;
  if (fd_ < 0) fail("read from a unit that is not open");
  // Keep the unread part (the record being looked for starts at next_)
  // and move it to the front.
  if (next_ > 0) {
    std::memmove(bytes(), bytes() + next_, filled_ - next_);
    filled_ -= next_;
    lines_end_ = lines_end_ > next_ ? lines_end_ - next_ : 0;
    next_ = 0;
    can_step_back_ = false;
  }
  // The bytes past filled_ up to the end of the buffer less its padding are
  // free for reading.
  std::size_t room = buffer_.empty() ? 0 : buffer_.size() - 2 * kReadPadding;
  if (room - filled_ < block_size_ / 2) {
    if (room >= kLongestRecord) fail("record longer than 64 MiB");
    room = room == 0 ? block_size_ : room * 2;
    buffer_.resize(room + 2 * kReadPadding);
  }
  if (flush_before_read_ != nullptr) flush_before_read_->flush();
  for (;;) {
    ssize_t got = ::read(fd_, bytes() + filled_, room - filled_);
    if (got < 0) {
      if (errno == EINTR) continue;
      fail(std::string("read failed: ") + std::strerror(errno));
    }
    if (got == 0) {
      at_end_of_file_ = true;
      return false;
    }
    const void* line_feed =
        ::memrchr(bytes() + filled_, '\n', static_cast<std::size_t>(got));
    filled_ += static_cast<std::size_t>(got);
    if (line_feed != nullptr) {
      lines_end_ =
          static_cast<std::size_t>(static_cast<const char*>(line_feed) - bytes()) + 1;
    }
    return true;
  }
}

void InputUnit::tell_line_read() {
  flush_before_read_->line_read();
}

bool InputUnit::next_record(std::string_view& record) {
  std::size_t searched = next_;
  for (;;) {
    const void* line_feed =
        filled_ > searched ? std::memchr(bytes() + searched, '\n', filled_ - searched) : nullptr;
    if (line_feed != nullptr) {
      std::size_t end =
          static_cast<std::size_t>(static_cast<const char*>(line_feed) - bytes());
      std::size_t length = end - next_;
      if (length > 0 && bytes()[end - 1] == '\r') --length;
      record = std::string_view(bytes() + next_, length);
      last_record_ = next_;
      next_ = end + 1;
      break;
    }
    std::size_t scanned = filled_ - next_;
    if (!fill()) {
      if (next_ >= filled_) return false;
      // The last line has no line feed; it is a record all the same (a
      // carriage return left at its end is dropped like one before a feed).
      std::size_t length = filled_ - next_;
      if (bytes()[filled_ - 1] == '\r') --length;
      record = std::string_view(bytes() + next_, length);
      last_record_ = next_;
      next_ = filled_;
      break;
    }
    searched = next_ + scanned;
  }
  can_step_back_ = true;
  ++line_number_;
  if (flush_before_read_ != nullptr) tell_line_read();
  return true;
}

void InputUnit::step_back() {
  if (!can_step_back_) fail("cannot step back more than one record");
  next_ = last_record_;
  can_step_back_ = false;
  --line_number_;
}

void InputUnit::fail(std::string_view problem) const {
  std::string where = describe_unit(unit_, name_);
  if (line_number_ > 0) where += ", line " + std::to_string(line_number_);
  throw RunError(where + ": " + std::string(problem));
}

void InputUnit::fail_at_end() const {
  throw RunError(describe_unit(unit_, name_) + ": end of file met during a read, after line " +
                 std::to_string(line_number_));
}

}  // namespace locprox
