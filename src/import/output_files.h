// Files that appear whole or not at all. Each file is written under a
// temporary name in its own directory (a staged file, format/staged_file.h:
// removed on SIGINT, SIGTERM and SIGHUP too); commit() gives every one its
// final name once all are complete, or hand_over() passes them on still
// unpublished. A set destroyed before either removes what it wrote, so an
// import that stops leaves no job file behind, new or half-replaced.
#pragma once

#include <cstddef>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "format/staged_file.h"
#include "format/zeroed_block.h"

namespace locprox {

// A file being written, through a large buffer. A full buffer is written out
// on a thread of its own while the next one fills, so that the system's copy
// of the bytes runs beside the formatting of the next.
class OutputFile {
 public:
  OutputFile(std::string path, std::string temporary_path, int fd);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void write(std::string_view text) {
    if (buffer_.size() - used_ < text.size()) make_room(text.size());
    text.copy(buffer_.data() + used_, text.size());
    used_ += text.size();
  }
  // Room for `count` bytes at the end; commit(n) keeps the first n of them.
  char* reserve(std::size_t count) {
    if (buffer_.size() - used_ < count) make_room(count);
    return buffer_.data() + used_;
  }
  void commit(std::size_t count) { used_ += count; }

  // Keeps the whole file in memory as well, with `padding` bytes of no
  // meaning before and after it (for a reader that looks a little past its
  // bytes), written out in one call when the file is closed. Before the
  // first write.
  void keep_in_memory(std::size_t padding);
  // The bytes kept so far by keep_in_memory (after the padding); and
  // starting again from none, the buffer kept as it is.
  std::string_view kept() const { return {buffer_.data() + start_, used_ - start_}; }
  void clear_kept() { used_ = start_; }
  // After close(): the file's bytes kept by keep_in_memory, with the padding
  // (the padding after them zeroed).
  ByteBuffer take_kept();

  // Writes out the buffer and closes the file; throws ImportError on failure.
  void close();

  const std::string& path() const { return path_; }
  const std::string& temporary_path() const { return temporary_path_; }

 private:
  void make_room(std::size_t count);
  void write_out();
  // Waits for the buffer being written out; throws ImportError when that
  // write failed.
  void wait_for_write();

  std::string path_;
  std::string temporary_path_;
  int fd_;
  // Buffers that are not cleared and take huge pages (format/zeroed_block.h).
  ByteBuffer buffer_;
  std::size_t used_ = 0;
  std::size_t start_ = 0;  // the file's bytes in the buffer start here
  bool keep_ = false;
  ByteBuffer in_flight_;         // the buffer being written out
  std::future<int> writing_;     // its write: 0, or the errno of the failure
};

class OutputFileSet {
 public:
  OutputFileSet() = default;
  ~OutputFileSet();
  OutputFileSet(const OutputFileSet&) = delete;
  OutputFileSet& operator=(const OutputFileSet&) = delete;

  // A new file that will be named `path`; throws ImportError when it cannot
  // be created beside it.
  OutputFile& create(const std::string& path);
  // Closes every file and renames each to its final name.
  void commit();
  // Writes out every file and passes the temporaries on to `outputs`, to be
  // published with them.
  void hand_over(StagedFiles& outputs);

 private:
  std::vector<std::unique_ptr<OutputFile>> files_;
  StagedFiles staged_;
};

}  // namespace locprox
