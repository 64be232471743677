#include "import/table_reader.h"

#include <algorithm>
#include <utility>

#include "format/free_form.h"
#include "import/import_error.h"

namespace locprox {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// libcsv's state before the first byte of a row. Read at the start of each
// line to learn whether a new row starts there or a quoted field goes on.
constexpr int kRowNotBegun = 0;

bool is_blank_line(std::string_view line) {
  return std::all_of(line.begin(), line.end(),
                     [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

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

std::string without_line_end(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return std::string(line);
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

TableReader::TableReader(std::string file_name, char delimiter)
    : file_name_(std::move(file_name)), delimiter_(delimiter) {}

TableReader::~TableReader() {
  if (parser_ready_) csv_free(&parser_);
}

void TableReader::on_field(void* data, std::size_t size, void* self) {
  auto& reader = *static_cast<TableReader*>(self);
  TableRow& row = reader.current_;
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
  throw ImportError(file_name_ + ", line " + std::to_string(line_) + ", column " +
                    std::to_string(current_.size() + 1) +
                    ": a quote inside an unquoted field, or text after a closing quote; the line up "
                    "to the fault is " +
                    quoted_for_message(without_line_end(line_text)) +
                    " (a field holding quotes must itself be quoted, its quotes doubled)");
}

void TableReader::start_parser(std::string_view first_line, long line) {
  if (delimiter_ == 0) {
    delimiter_ = find_delimiter(first_line);
    if (delimiter_ == 0) {
      throw ImportError(file_name_ + ", line " + std::to_string(line) +
                        ": no comma, tab or semicolon in the header line " +
                        quoted_for_message(without_line_end(first_line)) +
                        "; a table needs at least the year, location, entry and value columns "
                        "(or give --delimiter)");
    }
    delimiter_found_ = true;
  }
  if (csv_init(&parser_, CSV_STRICT | CSV_STRICT_FINI) != 0) {
    throw ImportError(file_name_ + ": out of memory");
  }
  parser_ready_ = true;
  csv_set_delim(&parser_, static_cast<unsigned char>(delimiter_));
  started_ = true;
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
  // Lines before the header that hold nothing are passed over here; the
  // header is the first line with something in it.
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = pending_.find('\n', start);
    if (end == std::string::npos) break;
    const std::string_view line(pending_.data() + start, end + 1 - start);
    if (!is_blank_line(line)) {
      start_parser(line, 1 + std::count(pending_.begin(), pending_.begin() + start, '\n'));
      std::string held = std::move(pending_);
      pending_.clear();
      parse(held, handler);
      return;
    }
    start = end + 1;
  }
}

void TableReader::parse(std::string_view bytes, RowHandler& handler) {
  // One line at a time, so that every row and every fault is known by its
  // line.
  while (!bytes.empty()) {
    const std::size_t line_feed = bytes.find('\n');
    const std::size_t length = line_feed == std::string_view::npos ? bytes.size() : line_feed + 1;
    const bool line_starts_here = at_line_start_;
    if (at_line_start_) {
      ++line_;
      at_line_start_ = false;
      if (parser_.pstate == kRowNotBegun) row_line_ = line_;
    }
    const std::string_view piece = bytes.substr(0, length);
    const std::size_t used = csv_parse(&parser_, piece.data(), piece.size(), on_field, on_row_end, this);
    if (used != piece.size()) {
      if (csv_error(&parser_) == CSV_EPARSE) {
        const std::string_view read = piece.substr(0, used + 1);  // up to the byte at fault
        fail_quoting(line_starts_here ? std::string(read) : partial_line_ + std::string(read));
      }
      throw ImportError(file_name_ + ", line " + std::to_string(line_) +
                        ": a field too large to hold in memory");
    }
    deliver(handler);
    if (line_feed != std::string_view::npos) {
      at_line_start_ = true;
    } else if (line_starts_here) {
      partial_line_ = piece;  // the line goes on in the next bytes fed
    } else {
      partial_line_ += piece;
    }
    bytes.remove_prefix(length);
  }
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
    // The whole table is one line without a line feed, or nothing at all.
    if (!bom_checked_ && pending_.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) {
      pending_.erase(0, kByteOrderMark.size());
    }
    bom_checked_ = true;
    std::size_t start = 0;
    for (;;) {
      const std::size_t end = pending_.find('\n', start);
      const std::string_view line = std::string_view(pending_).substr(
          start, end == std::string::npos ? std::string::npos : end + 1 - start);
      if (!is_blank_line(line)) break;
      if (end == std::string::npos) {
        throw ImportError(file_name_ + ": the table is empty (no header row)");
      }
      start = end + 1;
    }
    start_parser(std::string_view(pending_).substr(start),
                 1 + std::count(pending_.begin(), pending_.begin() + start, '\n'));
    std::string held = std::move(pending_);
    pending_.clear();
    parse(held, handler);
  }
  if (csv_fini(&parser_, on_field, on_row_end, this) != 0) {
    throw ImportError(file_name_ + ", line " + std::to_string(row_line_) + ", column " +
                      std::to_string(current_.size() + 1) +
                      ": a quoted field is not closed before the end of the table");
  }
  deliver(handler);
  if (!header_delivered_) throw ImportError(file_name_ + ": the table is empty (no header row)");
}

}  // namespace locprox
