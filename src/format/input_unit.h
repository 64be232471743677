// A source of records: an input file or the console. A record ends at a line
// feed; a carriage return right before it is not part of the record, and a
// last line without a line feed is still a record.
//
// The file is read front to back in large blocks; records are views into the
// block. The record just read can be given back once (step_back), which costs
// a pointer move, not a re-read.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "format/zeroed_block.h"

namespace locprox {

class OutputUnit;

class InputUnit {
 public:
  // `unit` is the unit number (0 for the console); `name` the file name for
  // messages. When `flush_before_read` is given, it is flushed before every
  // read that has to wait for more input (the console's prompts), and told
  // of every line read (see OutputUnit::line_read).
  // `block_size` is how much is read at a time: large for a file read in
  // bulk, small for the console and the names file, which are short.
  static constexpr std::size_t kLargeBlock = std::size_t{1} << 20;
  static constexpr std::size_t kSmallBlock = std::size_t{1} << 16;
  InputUnit(int unit, std::string name, OutputUnit* flush_before_read = nullptr,
            std::size_t block_size = kLargeBlock);
  ~InputUnit();
  InputUnit(const InputUnit&) = delete;
  InputUnit& operator=(const InputUnit&) = delete;

  // Opens the existing file `name_` for reading.
  void open();
  // Opens the existing file `path` for reading while messages keep naming
  // the unit's file (a job file read from the temporary that will become it).
  void open_path(const std::string& path);
  // Reads from an already open descriptor that the unit does not close.
  void adopt(int fd);
  // Reads the file's bytes from memory: `bytes` holds kReadPadding bytes,
  // the file's bytes, kReadPadding bytes. The buffer becomes the unit's own.
  void adopt_bytes(ByteBuffer bytes);
  void close() noexcept;

  // The next record, or false at the end of the file. The view stays valid
  // until the next call.
  bool next_record(std::string_view& record);
  // The next call of next_record returns the record just read again.
  void step_back();

  // For a reader that finds the ends of its records itself, on the bytes in
  // the buffer: the unread bytes up to and including the last line feed
  // read so far, without reading more (empty when the unread part holds no
  // line feed: next_record then reads on). kReadPadding bytes before the
  // view and past its end may be read; their values mean nothing.
  static constexpr std::size_t kReadPadding = 32;
  std::string_view whole_lines() const {
    return lines_end_ > next_ ? std::string_view(bytes() + next_, lines_end_ - next_)
                              : std::string_view();
  }
  // Takes `count` (at least one) records at once, as next_record would take
  // them one by one: the first `length` bytes of whole_lines(), which end
  // with a line feed, the last record starting `last_start` bytes into them.
  void take_lines(std::size_t length, std::size_t last_start, long count) {
    last_record_ = next_ + last_start;
    next_ += length;
    can_step_back_ = true;
    line_number_ += count;
    if (flush_before_read_ != nullptr) {
      for (long i = 0; i < count; ++i) tell_line_read();
    }
  }

  // The 1-based line number of the record last read (0 before the first).
  long line_number() const { return line_number_; }
  int unit() const { return unit_; }
  const std::string& name() const { return name_; }
  bool is_open() const { return fd_ >= 0; }

  // Stops the run with a message naming the unit, the file, the line of the
  // record last read and the problem.
  [[noreturn]] void fail(std::string_view problem) const;
  // Stops the run because the file ended during a read that needs a record.
  [[noreturn]] void fail_at_end() const;

 private:
  // Reads more of the file after the unread part; false at end of file.
  bool fill();
  void tell_line_read();

  int unit_;
  std::string name_;
  OutputUnit* flush_before_read_;
  int fd_ = -1;
  bool owns_fd_ = false;
  std::size_t block_size_;
  bool at_end_of_file_ = false;
  // The bytes read, with kReadPadding bytes before and after them.
  ByteBuffer buffer_;
  char* bytes() { return buffer_.data() + kReadPadding; }
  const char* bytes() const { return buffer_.data() + kReadPadding; }
  std::size_t next_ = 0;         // start of the next record
  std::size_t filled_ = 0;       // end of the bytes read so far
  std::size_t lines_end_ = 0;    // just after the last line feed in the bytes read (or 0)
  std::size_t last_record_ = 0;  // start of the record last returned
  bool can_step_back_ = false;
  long line_number_ = 0;
};

}  // namespace locprox
