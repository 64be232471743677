#include "format/whole_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "format/signal_safe_slots.h"

namespace locprox {
namespace {

// The registry of mapped files, which the handler of a file cut short
// (format/mapped_file_stop.cpp) looks addresses up in.
struct Mapping {
  const char* start;
  std::size_t size;
  char path[kSlotPathSize];
};
SignalSafeSlots<Mapping, 16> mappings;

// Records a mapping of `path`; its slot, or -1 when the registry is full
// (reading such a file past a new end then raises SIGBUS as before).
int register_mapping(const void* start, std::size_t size, const std::string& path) {
  return mappings.add([&](Mapping& mapping) {
    mapping.start = static_cast<const char*>(start);
    mapping.size = size;
    const std::size_t n = std::min(path.size(), kSlotPathSize - 1);
    std::memcpy(mapping.path, path.data(), n);
    mapping.path[n] = '\0';
  });
}

}  // namespace

const char* mapped_file_at(const void* address) noexcept {
  const char* const at = static_cast<const char*>(address);
  const char* found = nullptr;
  mappings.for_each([&](const Mapping& mapping) {
    if (at >= mapping.start && at < mapping.start + mapping.size) found = mapping.path;
  });
  return found;
}

WholeFile::WholeFile(const std::string& path, Pages pages) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw WholeFileError(WholeFileError::Step::kOpen, errno);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat status {};
  if (::fstat(fd, &status) != 0) throw WholeFileError(WholeFileError::Step::kOpen, errno);
  if (S_ISDIR(status.st_mode)) throw WholeFileError(WholeFileError::Step::kDirectory, EISDIR);
  if (S_ISREG(status.st_mode) && status.st_size > 0) {
    const auto size = static_cast<std::size_t>(status.st_size);
    const int flags = MAP_PRIVATE | (pages == Pages::kAllAtOnce ? MAP_POPULATE : 0);
    void* at = ::mmap(nullptr, size, PROT_READ, flags, fd, 0);
    if (at != MAP_FAILED) {
      mapped_ = at;
      mapped_size_ = size;
      slot_ = register_mapping(at, size, path);
      bytes_ = std::string_view(static_cast<const char*>(at), size);
      return;
    }
  }
  // Read into one buffer, from the size the system gives, grown by doubling.
  read_.resize(S_ISREG(status.st_mode) && status.st_size > 0
                   ? static_cast<std::size_t>(status.st_size) + 1
                   : std::size_t{1} << 16);
  std::size_t filled = 0;
  for (;;) {
    if (filled == read_.size()) read_.resize(read_.size() * 2);
    const ssize_t got = ::read(fd, read_.data() + filled, read_.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw WholeFileError(WholeFileError::Step::kRead, errno);
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
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
  mappings.release(slot_);
  if (mapped_ != nullptr) ::munmap(mapped_, mapped_size_);
}

}  // namespace locprox
