// Reading a delimited table (CSV, TSV, semicolon-separated) as a stream of
// rows, with libcsv doing the RFC 4180 parsing: quoted fields with doubled
// quotes and line ends inside, LF or CR LF line ends, blank lines skipped,
// blanks around unquoted fields dropped (or kept, where the table's writer
// gives them meaning). A byte-order mark before the first
// line is dropped. The delimiter is found from the header line when it is
// not given: whichever of tab, semicolon and comma occurs most often outside
// quotes (ties go in that order).
//
// The bytes may come in pieces of any size; each completed row is handed to
// a RowHandler with the number of the line it starts on (lines end at LF,
// CR LF or a lone CR), the header row (the first line that holds anything
// but blanks) first.
#pragma once

#include <csv.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace locprox {

// One row of the table: its fields, held in one buffer, and the line
// (counting line feeds from 1) on which the row starts.
class TableRow {
 public:
  long line() const { return line_; }
  std::size_t size() const { return ends_.size(); }
  std::string_view field(std::size_t i) const {
    return std::string_view(text_).substr(starts_[i], ends_[i] - starts_[i]);
  }
  // The row as one line of text, its fields joined by `delimiter`, for
  // messages.
  std::string joined(char delimiter) const;

 private:
  friend class TableReader;
  void clear() {
    text_.clear();
    starts_.clear();
    ends_.clear();
  }
  long line_ = 0;
  // The fields' text, field i from starts_[i] to ends_[i]: a row read from
  // a line without quotes keeps the line whole (one copy), the delimiters
  // and the blanks around its fields in between.
  std::string text_;
  std::vector<std::size_t> starts_;
  std::vector<std::size_t> ends_;
};

class RowHandler {
 public:
  virtual void header(const TableRow& row) = 0;
  virtual void row(const TableRow& row) = 0;

 protected:
  ~RowHandler() = default;
};

class TableReader {
 public:
  enum class Blanks { kDropped, kKept };

  // `file_name` is shown in messages; `delimiter` 0 finds it from the header.
  // `blanks`: whether blanks around unquoted fields are dropped or are part
  // of the field.
  TableReader(std::string file_name, char delimiter, Blanks blanks = Blanks::kDropped);
  ~TableReader();
  TableReader(const TableReader&) = delete;
  TableReader& operator=(const TableReader&) = delete;

  // The next bytes of the table. Throws TableError at malformed quoting;
  // rows completed by these bytes go to `handler`, whose exceptions pass on.
  void feed(std::string_view bytes, RowHandler& handler);
  // The end of the table: completes the last row. Throws TableError for a
  // quoted field left open or a table without a header row.
  void finish(RowHandler& handler);

  // The rows of `text`, a stretch of a table after its header line that
  // holds no quote character and starts at the start of line `first_line`,
  // exactly as a reader fed the same bytes after the header would make them
  // (fields, blanks dropped or kept, blank lines skipped, line numbers); each
  // to handler.row(). A hand-written short path for the common table, which
  // parts of one table may take on different threads. Returns the number of
  // lines `text` holds (a last line without a line end counts).
  // Where the header line of `table` (the whole table's bytes) ends: just
  // after its line end, the first line holding anything but blanks after a
  // byte-order mark. npos when there is no such line or it does not end in
  // LF or CR LF.
  // Feeding the bytes up to there delivers the header and nothing else.
  static std::size_t header_end(std::string_view table);

  static long read_unquoted(std::string_view text, char delimiter, Blanks blanks, long first_line,
                            RowHandler& handler);

  char delimiter() const { return delimiter_; }
  Blanks blanks() const { return blanks_; }
  bool delimiter_found() const { return delimiter_found_; }
  const std::string& file_name() const { return file_name_; }
  // The number of lines seen so far.
  long lines() const { return line_; }

 private:
  static void on_field(void* data, std::size_t size, void* self);
  static void on_row_end(int terminator, void* self);

  void start_parser(std::string_view first_line, long line);
  void look_for_header(bool final, RowHandler& handler);
  void parse(std::string_view bytes, RowHandler& handler);
  void deliver(RowHandler& handler);
  [[noreturn]] void fail_quoting(std::string_view line_text) const;

  std::string file_name_;
  char delimiter_;
  Blanks blanks_;
  bool delimiter_found_ = false;
  bool started_ = false;        // the parser has the delimiter and is running
  bool bom_checked_ = false;    // the first bytes have been looked at for a BOM
  std::string pending_;         // bytes held back until the header line is whole
  std::size_t header_line_start_ = 0;  // in pending_: the line that may be the header
  std::size_t header_scan_ = 0;        // in pending_: how far that line has been looked at
  bool header_line_blank_ = true;      // that line holds nothing but blanks so far
  long blank_lines_ = 0;               // blank lines before it
  csv_parser parser_{};
  bool parser_ready_ = false;

  long line_ = 0;               // the line being parsed
  bool at_line_start_ = true;   // the next byte starts a new line
  bool after_cr_ = false;       // the bytes parsed so far end in CR
  long row_line_ = 0;           // the line on which the row in progress started
  std::string partial_line_;    // the current line's bytes from earlier pieces, for messages
  TableRow current_;
  std::vector<TableRow> ready_;  // rows completed by the last piece parsed
  std::size_t ready_count_ = 0;
  bool header_delivered_ = false;
};

}  // namespace locprox
