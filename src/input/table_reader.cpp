#include "input/table_reader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "format/free_form.h"
#include "input/table_error.h"

namespace locprox {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// libcsv's state before the first byte of a row. Read at the start of each
// line to learn whether a new row starts there or a quoted field goes on.
constexpr int kRowNotBegun = 0;

// The delimiter of a header line: the most frequent of tab, semicolon and
// comma outside quotes, or 0 when none occurs.
char find_delimiter(std::string_view line) {
  std::size_t tabs = 0, semicolons = 0, commas = 0;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    tabs += c == '\t';
    semicolons += c == ';';
    commas += c == ',';
  }
  if (tabs == 0 && semicolons == 0 && commas == 0) return 0;
  if (tabs >= semicolons && tabs >= commas) return '\t';
  if (semicolons >= commas) return ';';
  return ',';
}

// The position of the first CR or LF, or npos: two memchr scans, which are
// far quicker than string_view::find_first_of over a whole block.
std::size_t line_terminator(std::string_view bytes) {
  const void* line_feed = std::memchr(bytes.data(), '\n', bytes.size());
  const std::size_t limit =
      line_feed ? static_cast<std::size_t>(static_cast<const char*>(line_feed) - bytes.data())
                : bytes.size();
  const void* carriage_return = std::memchr(bytes.data(), '\r', limit);
  if (carriage_return) {
    return static_cast<std::size_t>(static_cast<const char*>(carriage_return) - bytes.data());
  }
  return line_feed ? limit : std::string_view::npos;
}

std::string without_line_end(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return std::string(line);
}

// To the parser no character is a blank to be dropped.
extern "C" int no_blanks(unsigned char) {
  return 0;
}

}  // namespace

std::string TableRow::joined(char delimiter) const {
  std::string text;
  for (std::size_t i = 0; i < size(); ++i) {
    if (i > 0) text += delimiter;
    text += field(i);
  }
  return text;
}

TableReader::TableReader(std::string file_name, char delimiter, Blanks blanks)
    : file_name_(std::move(file_name)), delimiter_(delimiter), blanks_(blanks) {}

TableReader::~TableReader() {
  if (parser_ready_) csv_free(&parser_);
}

void TableReader::on_field(void* data, std::size_t size, void* self) {
  auto& reader = *static_cast<TableReader*>(self);
  TableRow& row = reader.current_;
  row.starts_.push_back(row.text_.size());
  if (data != nullptr) row.text_.append(static_cast<const char*>(data), size);
  row.ends_.push_back(row.text_.size());
}

void TableReader::on_row_end(int /*terminator*/, void* self) {
  auto& reader = *static_cast<TableReader*>(self);
  reader.current_.line_ = reader.row_line_;
  // The row waits until the parser has returned: handlers may throw, and
  // exceptions must not pass through the C library's frames.
  if (reader.ready_count_ == reader.ready_.size()) reader.ready_.emplace_back();
  std::swap(reader.ready_[reader.ready_count_++], reader.current_);
  reader.current_.clear();
}

void TableReader::fail_quoting(std::string_view line_text) const {
  throw TableError(TableError::Fault::kNotATable, file_name_, line_,
                   static_cast<long>(current_.size() + 1),
                   "a quote inside an unquoted field, or text after a closing quote; the line up "
                   "to the fault is " +
                       quoted_for_message(without_line_end(line_text)) +
                       " (a field holding quotes must itself be quoted, its quotes doubled)");
}

void TableReader::start_parser(std::string_view first_line, long line) {
  if (delimiter_ == 0) {
    delimiter_ = find_delimiter(first_line);
    if (delimiter_ == 0) {
      throw TableError(TableError::Fault::kNotATable, file_name_, line, 0,
                       "no comma, tab or semicolon in the header line " +
                           quoted_for_message(without_line_end(first_line)) +
                           "; a table needs at least the year, location, entry and value "
                           "columns (or give --delimiter)");
    }
    delimiter_found_ = true;
  }
  if (csv_init(&parser_, CSV_STRICT | CSV_STRICT_FINI) != 0) {
    throw TableError(TableError::Fault::kMemory, file_name_, 0, 0, "out of memory");
  }
  parser_ready_ = true;
  csv_set_delim(&parser_, static_cast<unsigned char>(delimiter_));
  if (blanks_ == Blanks::kKept) csv_set_space_func(&parser_, no_blanks);
  started_ = true;
}

void TableReader::look_for_header(bool final, RowHandler& handler) {
  // Lines before the header that hold nothing but blanks are counted here,
  // not parsed: to the parser a line of blanks would be a row. Each byte is
  // looked at once, however the table is cut into pieces.
  for (;;) {
    std::size_t i = header_scan_;
    while (i < pending_.size() && pending_[i] != '\r' && pending_[i] != '\n') {
      if (pending_[i] != ' ' && pending_[i] != '\t') header_line_blank_ = false;
      ++i;
    }
    header_scan_ = i;
    std::size_t end = std::string::npos;  // after the line's end
    if (i < pending_.size()) {
      if (pending_[i] == '\n') {
        end = i + 1;
      } else if (i + 1 < pending_.size()) {
        end = pending_[i + 1] == '\n' ? i + 2 : i + 1;
      } else if (final) {
        end = i + 1;
      } else {
        return;  // a CR last: its LF may come with the next bytes
      }
    } else if (!final) {
      return;  // the line is not whole yet
    }
    if (!header_line_blank_) {
      const std::string held = std::move(pending_);
      pending_.clear();
      const std::string_view rest = std::string_view(held).substr(header_line_start_);
      start_parser(rest.substr(0, i - header_line_start_), blank_lines_ + 1);
      line_ = blank_lines_;
      parse(rest, handler);
      return;
    }
    if (end == std::string::npos) {
      throw TableError(TableError::Fault::kEmpty, file_name_, 0, 0,
                       "the table is empty (no header row)");
    }
    ++blank_lines_;
    header_line_start_ = end;
    header_scan_ = end;
  }
}

void TableReader::feed(std::string_view bytes, RowHandler& handler) {
  if (started_) {
    parse(bytes, handler);
    return;
  }
  // Until the header line is whole, the bytes wait: the delimiter is found
  // from it.
  pending_.append(bytes);
  if (!bom_checked_) {
    if (pending_.size() < kByteOrderMark.size() &&
        kByteOrderMark.substr(0, pending_.size()) == pending_) {
      return;  // perhaps the start of a byte-order mark
    }
    if (pending_.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) {
      pending_.erase(0, kByteOrderMark.size());
    }
    bom_checked_ = true;
  }
  look_for_header(false, handler);
}

void TableReader::parse(std::string_view bytes, RowHandler& handler) {
  // One line at a time, so that every row and every fault is known by its
  // line. A line ends at LF, CR LF or a lone CR, as rows do.
  while (!bytes.empty()) {
    if (after_cr_) {
      // The last bytes ended in CR: an LF now belongs to the same line end.
      after_cr_ = false;
      if (bytes.front() == '\n') {
        csv_parse(&parser_, bytes.data(), 1, on_field, on_row_end, this);
        deliver(handler);
        bytes.remove_prefix(1);
        continue;
      }
    }
    const std::size_t terminator = line_terminator(bytes);
    std::size_t length = bytes.size();
    if (terminator != std::string_view::npos) {
      length = terminator + 1;
      if (bytes[terminator] == '\r') {
        if (terminator + 1 < bytes.size()) {
          if (bytes[terminator + 1] == '\n') ++length;
        } else {
          after_cr_ = true;
        }
      }
    }
    const bool line_starts_here = at_line_start_;
    if (at_line_start_) {
      ++line_;
      at_line_start_ = false;
      if (parser_.pstate == kRowNotBegun) row_line_ = line_;
    }
    const std::string_view piece = bytes.substr(0, length);
    const std::size_t used = csv_parse(&parser_, piece.data(), piece.size(), on_field, on_row_end, this);
    if (used != piece.size()) {
      // Rows completed before the fault come first: a fault of theirs is met
      // first in the file, whatever pieces the bytes came in.
      deliver(handler);
      if (csv_error(&parser_) == CSV_EPARSE) {
        const std::string_view read = piece.substr(0, used + 1);  // up to the byte at fault
        fail_quoting(line_starts_here ? std::string(read) : partial_line_ + std::string(read));
      }
      throw TableError(TableError::Fault::kMemory, file_name_, line_, 0,
                       "a field too large to hold in memory");
    }
    deliver(handler);
    if (terminator != std::string_view::npos) {
      at_line_start_ = true;
    } else if (line_starts_here) {
      partial_line_ = piece;  // the line goes on in the next bytes fed
    } else {
      partial_line_ += piece;
    }
    bytes.remove_prefix(length);
  }
}

std::size_t TableReader::header_end(std::string_view table) {
  std::size_t at = table.substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark.size() : 0;
  while (at < table.size()) {
    bool blank = true;
    std::size_t i = at;
    while (i < table.size() && table[i] != '\r' && table[i] != '\n') {
      if (table[i] != ' ' && table[i] != '\t') blank = false;
      ++i;
    }
    if (i == table.size()) return std::string_view::npos;
    std::size_t end = i + 1;
    const bool lone_cr = table[i] == '\r' && (end == table.size() || table[end] != '\n');
    if (table[i] == '\r' && !lone_cr) ++end;
    // After a lone CR the reader waits for the next byte before it takes
    // the line as whole.
    if (!blank) return lone_cr ? std::string_view::npos : end;
    at = end;
  }
  return std::string_view::npos;
}

long TableReader::read_unquoted(std::string_view text, char delimiter, Blanks blanks,
                                long first_line, RowHandler& handler) {
  // Without quotes a row is one line: its fields are the line split at the
  // delimiter, each without the blanks (space, tab) at either end when
  // blanks are dropped. A line with nothing left (empty, or only blanks
  // being dropped) is no row. One pass over the bytes, each classed by a
  // table: fields are short, and a library search per field or line costs
  // more than the look at each byte.
  enum : unsigned char { kOther = 0, kDelimiter = 1, kLineEnd = 2 };
  unsigned char kind[256] = {};
  kind[static_cast<unsigned char>('\n')] = kLineEnd;
  kind[static_cast<unsigned char>('\r')] = kLineEnd;
  kind[static_cast<unsigned char>(delimiter)] = kDelimiter;
  const bool drop = blanks == Blanks::kDropped;
  const auto is_blank = [delimiter](char c) { return (c == ' ' || c == '\t') && c != delimiter; };
  TableRow row;
  long line = first_line;
  const char* at = text.data();
  const char* const end = at + text.size();
  while (at < end) {
    const char* start = at;
    if (drop) {
      while (start < end && is_blank(*start)) ++start;
    }
    const char* stop = start;  // the line's end
    if (start < end && kind[static_cast<unsigned char>(*start)] != kLineEnd) {
      row.clear();
      row.line_ = line;
      const char* field = start;
      for (;;) {
        while (stop < end && kind[static_cast<unsigned char>(*stop)] == kOther) ++stop;
        const char* first = field;
        const char* last = stop;
        if (drop) {
          while (first < last && is_blank(*first)) ++first;
          while (last > first && is_blank(last[-1])) --last;
        }
        row.starts_.push_back(static_cast<std::size_t>(first - start));
        row.ends_.push_back(static_cast<std::size_t>(last - start));
        if (stop == end || kind[static_cast<unsigned char>(*stop)] == kLineEnd) break;
        field = ++stop;
      }
      row.text_.assign(start, stop);
      handler.row(row);
    }
    // The line end: LF, CR LF or a lone CR.
    if (stop < end) {
      if (*stop == '\r' && stop + 1 < end && stop[1] == '\n') ++stop;
      ++stop;
    }
    ++line;
    at = stop;
  }
  return line - first_line;
}

void TableReader::deliver(RowHandler& handler) {
  for (std::size_t i = 0; i < ready_count_; ++i) {
    if (!header_delivered_) {
      header_delivered_ = true;
      handler.header(ready_[i]);
    } else {
      handler.row(ready_[i]);
    }
  }
  ready_count_ = 0;
}

void TableReader::finish(RowHandler& handler) {
  if (!started_) {
    // The header line is the last line, or there is none.
    if (!bom_checked_ && pending_.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) {
      pending_.erase(0, kByteOrderMark.size());
    }
    bom_checked_ = true;
    look_for_header(true, handler);
  }
  if (csv_fini(&parser_, on_field, on_row_end, this) != 0) {
    throw TableError(TableError::Fault::kNotATable, file_name_, row_line_,
                     static_cast<long>(current_.size() + 1),
                     "a quoted field is not closed before the end of the table");
  }
  deliver(handler);
  if (!header_delivered_) {
    throw TableError(TableError::Fault::kEmpty, file_name_, 0, 0,
                     "the table is empty (no header row)");
  }
}

}  // namespace locprox
