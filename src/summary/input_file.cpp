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
