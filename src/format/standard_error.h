// Messages to standard error (or any descriptor) written straight away,
// unbuffered, with the program's name in front. A message that cannot be
// written is dropped: it is never a failure of its own.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>

namespace locprox {

inline void write_to_descriptor(int fd, std::string_view text) {
  const char* data = text.data();
  std::size_t size = text.size();
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

// "locprox: MESSAGE" as one line.
inline void write_program_message(int fd, std::string_view message) {
  std::string line = "locprox: ";
  line += message;
  line += '\n';
  write_to_descriptor(fd, line);
}

}  // namespace locprox
