// A destination of records: the console or an output file, with its unit
// number and file name for error messages. Records are built in a large
// buffer and written with one system call per buffer (per record on the
// console). Every write failure stops the run with a RunError.
//
// A unit can also keep its records in memory (InMemory): the buffer then
// grows instead of being written, and its text is handed whole to a file
// unit with write_text(). Records are formatted that way on several threads
// at once, each into a memory unit of its own, and written in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "format/zeroed_block.h"

namespace locprox {

class OutputUnit {
 public:
  enum class Style {
    kFile,     // records end in CR LF; every character is written
    kConsole,  // an interactive console: the first character of every record is
               // carriage control and not shown, records end in LF
  };

  // `unit` is the unit number (0 for the console); `name` the file name shown
  // in messages. The unit does not own `fd` until open() or adopt().
  OutputUnit(int unit, std::string name, Style style, bool flush_every_record);
  ~OutputUnit();
  OutputUnit(const OutputUnit&) = delete;
  OutputUnit& operator=(const OutputUnit&) = delete;

  // Creates or replaces the file `name_` and opens it for writing. With
  // `replace` false an existing file keeps its contents until replace() is
  // called, so that a run that cannot open all its outputs loses nothing.
  void open(bool replace = true);
  // Empties the file opened by open(false).
  void replace();
  // Writes to an already open descriptor that the unit does not close.
  void adopt(int fd);
  // For a file that will be flushed to disk when complete (a staged
  // output): every few megabytes written, the system is asked to start
  // writing them to disk, so that the final flush waits only for the last
  // of them instead of the whole file. The bytes are the same.
  void write_back_as_written() { write_back_ = true; }

  // A unit that keeps its records, in the layout of `style`, in memory.
  struct InMemory {};
  explicit OutputUnit(InMemory, Style style = Style::kFile);
  // The records kept by a memory unit since it was made or cleared.
  std::string_view text() const { return {buffer_data(), used_}; }
  // Forgets them, keeping the memory for the next ones.
  void clear();

  // Writes `text`, whole records formatted by a memory unit of this unit's
  // style, after the records written so far. A large text goes to the file
  // with one system call instead of through the buffer. A record must not be
  // open.
  void write_text(std::string_view text);

  // Space for `count` characters at the end of the current record; commit()
  // then says how many were written.
  char* reserve(std::size_t count) {
    if (capacity_left() < count) make_room(count);
    return buffer_data() + used_;
  }
  void commit(std::size_t count);
  void append(std::string_view text) {
    char* out = reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) out[i] = text[i];
    commit(text.size());
  }
  void end_record();
  // A line was read from the console while a record was open (after a
  // prompt ending in $). On an interactive console the typed line end has
  // ended that record on the screen, so the next record starts afresh and
  // its first character is carriage control again; written as a file, the
  // next record still continues the open one.
  void line_read();

  // Writes out everything buffered.
  void flush();
  // Flushes and closes the file; a failure of either stops the run.
  void close();
  // Flushes what can be flushed and closes without raising errors: used while
  // a run is already stopping with an error.
  void close_quietly() noexcept;

  int unit() const { return unit_; }
  Style style() const { return style_; }
  bool at_record_start() const { return at_record_start_; }
  const std::string& name() const { return name_; }
  bool is_open() const { return fd_ >= 0; }

  [[noreturn]] void fail(std::string_view problem) const;

 private:
  std::size_t capacity_left() const { return buffer_size() - used_; }
  void make_room(std::size_t count);
  void write_out(const char* data, std::size_t size);

  int unit_;
  std::string name_;
  Style style_;
  bool flush_every_record_;
  bool in_memory_ = false;
  int fd_ = -1;
  bool owns_fd_ = false;
  bool at_record_start_ = true;
  // A file unit's buffer (ByteBuffer: large, nothing cleared) or a memory
  // unit's text (small at first, many of them).
  std::vector<char> text_;
  ByteBuffer file_buffer_;
  char* buffer_data() { return in_memory_ ? text_.data() : file_buffer_.data(); }
  const char* buffer_data() const { return in_memory_ ? text_.data() : file_buffer_.data(); }
  std::size_t buffer_size() const { return in_memory_ ? text_.size() : file_buffer_.size(); }
  std::size_t used_ = 0;
  bool write_back_ = false;
  std::uint64_t written_ = 0;       // bytes written to fd_ by this unit
  std::uint64_t written_back_ = 0;  // of which the system was asked to write back
};

}  // namespace locprox
