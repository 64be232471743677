#include "summary/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "summary/errors.h"

namespace locprox::summary {

void write_file(const std::string& path, std::string_view contents) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw OutputError(path + ": cannot be created: " + std::strerror(errno));
  const bool written = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
  const int saved = errno;
  // A full disk may only show when the buffer is flushed at close.
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    throw OutputError(path + ": write failed: " + std::strerror(written ? errno : saved));
  }
}

}  // namespace locprox::summary
