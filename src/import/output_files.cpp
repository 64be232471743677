#include "import/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "import/import_error.h"

namespace locprox {
namespace {

// The buffer starts small and grows to its full size only for a file that
// needs it, so that small jobs stay cheap.
constexpr std::size_t kFirstBufferSize = std::size_t{1} << 16;
constexpr std::size_t kBufferSize = std::size_t{4} << 20;

std::string system_error(const std::string& what, const std::string& path) {
  return "cannot " + what + " " + path + ": " + std::strerror(errno);
}

// Writes all `size` bytes; 0, or the errno of the failure.
int write_all(int fd, const char* data, std::size_t size) noexcept {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return errno;
    if (written == 0) return EIO;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

// Asks the system to start writing the file's written pages to disk (only a
// request: the flush before the file is put in place makes sure of them).
void start_writeback(int fd) noexcept { ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE); }

}  // namespace

OutputFile::OutputFile(std::string path, std::string temporary_path, int fd)
    : path_(std::move(path)), temporary_path_(std::move(temporary_path)), fd_(fd),
      buffer_(kFirstBufferSize) {}

// The staged file owns the descriptor; a write still going on is waited for.
OutputFile::~OutputFile() {
  if (writing_.valid()) writing_.wait();
}

void OutputFile::wait_for_write() {
  if (!writing_.valid()) return;
  const int error = writing_.get();
  if (error != 0) {
    errno = error;
    throw ImportError(system_error("write", path_));
  }
}

void OutputFile::keep_in_memory(std::size_t padding) {
  keep_ = true;
  start_ = used_ = padding;
  buffer_.resize(std::max(kBufferSize, 2 * padding));
}

ByteBuffer OutputFile::take_kept() {
  buffer_.resize(used_ + start_);
  std::fill(buffer_.data() + used_, buffer_.data() + used_ + start_, '\0');
  used_ = start_;
  return std::move(buffer_);
}

void OutputFile::make_room(std::size_t count) {
  if (keep_) {
    // Nothing is written out before the file is closed.
    buffer_.resize(std::max(2 * buffer_.size(), used_ + count + start_));
    return;
  }
  if (buffer_.size() < kBufferSize) {
    buffer_.resize(std::max(kBufferSize, used_ + count));
    return;
  }
  write_out();
  if (buffer_.size() < count) buffer_.resize(count);
}

void OutputFile::write_out() {
  wait_for_write();
  const char* data = buffer_.data() + start_;
  const std::size_t size = used_ - start_;
  if (size == 0) return;
  if (keep_ || buffer_.size() < kBufferSize) {
    // A kept file is written once, at its close; a small one needs no thread.
    const int error = write_all(fd_, data, size);
    if (error != 0) {
      errno = error;
      throw ImportError(system_error("write", path_));
    }
    if (!keep_) used_ = 0;
    return;
  }
  std::swap(buffer_, in_flight_);
  if (buffer_.size() < in_flight_.size()) buffer_.resize(in_flight_.size());
  used_ = 0;
  try {
    writing_ = std::async(std::launch::async, [fd = fd_, data = in_flight_.data(), size] {
      const int error = write_all(fd, data, size);
      // To disk while the next buffer fills, rather than all at the end.
      if (error == 0) start_writeback(fd);
      return error;
    });
  } catch (const std::system_error&) {
    // No thread to be had: written here.
    const int error = write_all(fd_, in_flight_.data(), size);
    if (error != 0) {
      errno = error;
      throw ImportError(system_error("write", path_));
    }
  }
}

void OutputFile::close() {
  if (fd_ < 0) return;
  write_out();
  wait_for_write();
  start_writeback(fd_);
  fd_ = -1;
}

OutputFileSet::~OutputFileSet() = default;

OutputFile& OutputFileSet::create(const std::string& path) {
  try {
    StagedFile& staged = staged_.add(path);
    files_.push_back(std::make_unique<OutputFile>(path, staged.temporary_path(), staged.fd()));
  } catch (const std::system_error& error) {
    throw ImportError("cannot create " + path + ": " + error.code().message());
  }
  return *files_.back();
}

void OutputFileSet::commit() {
  for (const auto& file : files_) file->close();
  std::string problem;
  if (staged_.publish_all(problem) != 0) throw ImportError(problem);
}

void OutputFileSet::hand_over(StagedFiles& outputs) {
  for (const auto& file : files_) file->close();
  outputs.take(staged_);
}

}  // namespace locprox
