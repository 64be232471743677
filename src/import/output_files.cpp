#include "import/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "import/import_error.h"

namespace locprox {
namespace {

// The buffer starts small and grows to its full size only for a file that
// needs it, so that small jobs stay cheap.
constexpr std::size_t kFirstBufferSize = std::size_t{1} << 16;
constexpr std::size_t kBufferSize = std::size_t{1} << 20;

std::string system_error(const std::string& what, const std::string& path) {
  return "cannot " + what + " " + path + ": " + std::strerror(errno);
}

// The permissions a file created now would get: read and write for all, as
// narrowed by the process's file creation mask.
mode_t created_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

OutputFile::OutputFile(std::string path, std::string temporary_path, int fd)
    : path_(std::move(path)), temporary_path_(std::move(temporary_path)), fd_(fd),
      buffer_(kFirstBufferSize) {}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
}

void OutputFile::make_room(std::size_t count) {
  if (buffer_.size() < kBufferSize) {
    buffer_.resize(std::max(kBufferSize, used_ + count));
    return;
  }
  write_out();
  if (buffer_.size() < count) buffer_.resize(count);
}

void OutputFile::write_out() {
  const char* data = buffer_.data();
  std::size_t size = used_;
  while (size > 0) {
    const ssize_t written = ::write(fd_, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) throw ImportError(system_error("write", path_));
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  used_ = 0;
}

void OutputFile::close() {
  if (fd_ < 0) return;
  write_out();
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) throw ImportError(system_error("write", path_));
}

OutputFileSet::~OutputFileSet() {
  if (committed_) return;
  for (const auto& file : files_) ::unlink(file->temporary_path().c_str());
}

OutputFile& OutputFileSet::create(const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path target(path);
  const fs::path directory = target.parent_path();
  // A hidden name beside the file: ".NAME.XXXXXX", built by appending (GCC 12
  // warns wrongly, -Wrestrict, on "." + string).
  std::string hidden(1, '.');
  hidden += target.filename().string();
  hidden += ".XXXXXX";
  std::string pattern = ((directory.empty() ? fs::path(".") : directory) / hidden).string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) throw ImportError(system_error("create", path));
  ::fchmod(fd, created_file_mode());
  files_.push_back(std::make_unique<OutputFile>(path, pattern, fd));
  return *files_.back();
}

void OutputFileSet::commit() {
  for (const auto& file : files_) file->close();
  for (const auto& file : files_) {
    if (::rename(file->temporary_path().c_str(), file->path().c_str()) != 0) {
      throw ImportError(system_error("write", file->path()));
    }
  }
  committed_ = true;
}

}  // namespace locprox
