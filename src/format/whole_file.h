// A whole input file in memory, for a reader that cuts it into records or
// rows itself (the import's table, the summary's proximity file): a regular
// file mapped from the page cache (no copy), anything else (a pipe, a file
// that cannot be mapped) read into one buffer sized from what the system
// says. The bytes live as long as the object.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>

namespace locprox {

// Why a file could not be had whole; each reader words its own message.
class WholeFileError : public std::system_error {
 public:
  enum class Step { kOpen, kDirectory, kRead };
  WholeFileError(Step step, int error)
      : std::system_error(error, std::generic_category()), step_(step) {}
  // The step that failed; code() the system's reason (EISDIR for kDirectory).
  Step step() const { return step_; }

 private:
  Step step_;
};

// The path of the file whose mapping (by a WholeFile alive now) holds
// `address`, or null; async-signal-safe, for the handler that stops a
// program when a mapped file is cut short (format/mapped_file_stop.h).
const char* mapped_file_at(const void* address) noexcept;

class WholeFile {
 public:
  // How a mapped file's pages come in: as they are first read (several at
  // a time; done_with lets them go again), or all at once when mapped.
  enum class Pages { kAsRead, kAllAtOnce };

  // Throws WholeFileError.
  WholeFile(const std::string& path, Pages pages);
  ~WholeFile();
  WholeFile(const WholeFile&) = delete;
  WholeFile& operator=(const WholeFile&) = delete;

  std::string_view bytes() const { return bytes_; }

  // Tells the system that bytes [from, to) will not be read again for a
  // while: the pages of a mapped file wholly inside leave the process's
  // memory (they stay in the page cache; read again, they come back).
  void done_with(std::size_t from, std::size_t to) const;

 private:
  void* mapped_ = nullptr;
  int slot_ = -1;  // in the registry of mapped files, or -1
  std::size_t mapped_size_ = 0;
  std::string read_;  // the bytes when the file could not be mapped
  std::string_view bytes_;
};

}  // namespace locprox
