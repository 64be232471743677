// Buffered reading of a text file record by record. A record ends at a line
// feed; a carriage return just before it is dropped, so files written with
// CR LF and files converted to plain LF read the same. A last record without
// a line feed is still a record.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace locprox::summary {

class LineReader {
 public:
  // Opens `path`; throws InputError when it cannot be opened.
  explicit LineReader(std::string path);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next record, valid until the following call; false at the end of the
  // file (and then line() is the number of the last record read).
  bool next(std::string_view& record);
  long line() const { return line_; }
  const std::string& path() const { return path_; }

 private:
  bool fill();

  std::string path_;
  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;
  size_t begin_ = 0;  // first unread byte in buffer_
  size_t end_ = 0;    // one past the last byte read into buffer_
  bool eof_ = false;
  long line_ = 0;
};

}  // namespace locprox::summary
