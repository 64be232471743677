#include "format/output_unit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "format/run_error.h"
#include "format/unit_names.h"

namespace locprox {
namespace {
constexpr std::size_t kBufferSize = 1 << 18;
constexpr std::size_t kDirectWrite = 1 << 15;
}

OutputUnit::OutputUnit(int unit, std::string name, Style style, bool flush_every_record)
    : unit_(unit),
      name_(std::move(name)),
      style_(style),
      flush_every_record_(flush_every_record),
      // Not in huge pages: a console's buffer holds a record at a time, and
      // clearing a 2 MiB page for a file's 256 KiB costs what its faults do.
      file_buffer_(kBufferSize, ByteBuffer::kNeverMapped) {}

OutputUnit::OutputUnit(InMemory, Style style)
    : unit_(0), name_("memory"), style_(style), flush_every_record_(false), in_memory_(true) {}

void OutputUnit::clear() {
  used_ = 0;
  at_record_start_ = true;
}

void OutputUnit::write_text(std::string_view text) {
  if (text.empty()) return;
  // Large texts (the pieces of a section formatted on another thread) skip
  // the copy into the buffer.
  if (!in_memory_ && text.size() >= kDirectWrite) {
    flush();
    write_out(text.data(), text.size());
  } else {
    char* out = reserve(text.size());
    std::memcpy(out, text.data(), text.size());
    used_ += text.size();
  }
  at_record_start_ = true;
  if (flush_every_record_) flush();
}

OutputUnit::~OutputUnit() {
  close_quietly();
}

void OutputUnit::open(bool replace) {
  fd_ = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (replace ? O_TRUNC : 0), 0666);
  if (fd_ < 0) fail(std::string("cannot create or replace the file: ") + std::strerror(errno));
  owns_fd_ = true;
}

void OutputUnit::replace() {
  struct stat status {};
  // Only a regular file has contents to drop (a device such as /dev/null
  // cannot be truncated and need not be).
  if (::fstat(fd_, &status) == 0 && S_ISREG(status.st_mode) && ::ftruncate(fd_, 0) != 0) {
    fail(std::string("cannot replace the file: ") + std::strerror(errno));
  }
}

void OutputUnit::adopt(int fd) {
  fd_ = fd;
  owns_fd_ = false;
}

void OutputUnit::commit(std::size_t count) {
  if (count == 0) return;
  if (at_record_start_ && style_ == Style::kConsole) {
    // The first character of a console record is carriage control.
    char* start = buffer_data() + used_;
    std::memmove(start, start + 1, count - 1);
    --count;
  }
  at_record_start_ = false;
  used_ += count;
}

void OutputUnit::end_record() {
  // Written straight into the buffer: a line end is never carriage control.
  std::string_view line_end = style_ == Style::kConsole ? "\n" : "\r\n";
  char* out = reserve(line_end.size());
  std::memcpy(out, line_end.data(), line_end.size());
  used_ += line_end.size();
  at_record_start_ = true;
  if (flush_every_record_) flush();
}

void OutputUnit::line_read() {
  if (style_ == Style::kConsole) at_record_start_ = true;
}

void OutputUnit::make_room(std::size_t count) {
  if (in_memory_) {
    // Grows geometrically, so that a long text costs few moves, from a
    // small start, as many memory units hold a short text each.
    std::size_t size = text_.size() < 64 ? 64 : text_.size();
    while (size - used_ < count) size *= 2;
    text_.resize(size);
    return;
  }
  flush();
  if (file_buffer_.size() < count) file_buffer_.resize(count);
}

void OutputUnit::flush() {
  if (in_memory_ || used_ == 0) return;
  std::size_t size = used_;
  used_ = 0;
  write_out(buffer_data(), size);
}

void OutputUnit::write_out(const char* data, std::size_t size) {
  if (fd_ < 0) fail("write to a unit that is not open");
  while (size > 0) {
    ssize_t written = ::write(fd_, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      fail(std::string("write failed: ") + std::strerror(errno));
    }
    data += written;
    size -= static_cast<std::size_t>(written);
    written_ += static_cast<std::uint64_t>(written);
  }
  constexpr std::uint64_t kWriteBackStep = std::uint64_t{8} << 20;
  if (write_back_ && written_ - written_back_ >= kWriteBackStep) {
    // Only a request: where the file system cannot take it, nothing changes.
    ::sync_file_range(fd_, static_cast<off_t>(written_back_),
                      static_cast<off_t>(written_ - written_back_), SYNC_FILE_RANGE_WRITE);
    written_back_ = written_;
  }
}

void OutputUnit::close() {
  if (fd_ < 0) return;
  flush();
  if (owns_fd_) {
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail(std::string("close failed: ") + std::strerror(errno));
  }
  fd_ = -1;
}

void OutputUnit::close_quietly() noexcept {
  if (fd_ < 0) return;
  if (used_ > 0) {
    const char* data = buffer_data();
    std::size_t size = used_;
    used_ = 0;
    while (size > 0) {
      ssize_t written = ::write(fd_, data, size);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) break;
      data += written;
      size -= static_cast<std::size_t>(written);
    }
  }
  if (owns_fd_) ::close(fd_);
  fd_ = -1;
}

void OutputUnit::fail(std::string_view problem) const {
  throw RunError(describe_unit(unit_, name_) + ": " + std::string(problem));
}

}  // namespace locprox
