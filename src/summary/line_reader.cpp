#include "summary/line_reader.h"

#include <cerrno>
#include <cstring>

#include "summary/errors.h"

namespace locprox::summary {

namespace {
// Large reads keep the proximity file of the biggest problem (tens of MB) to
// a few dozen system calls.
constexpr size_t kChunk = size_t{1} << 20;
}  // namespace

LineReader::LineReader(std::string path) : path_(std::move(path)), buffer_(kChunk) {
  file_ = std::fopen(path_.c_str(), "rb");
  if (file_ == nullptr) {
    throw InputError(path_ + ": cannot be opened: " + std::strerror(errno));
  }
}

LineReader::~LineReader() {
  if (file_ != nullptr) std::fclose(file_);
}

bool LineReader::fill() {
  if (eof_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);  // a very long record
  size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
  if (got == 0) {
    if (std::ferror(file_)) throw InputError(path_ + ": read error: " + std::strerror(errno));
    eof_ = true;
    return false;
  }
  end_ += got;
  return true;
}

bool LineReader::next(std::string_view& record) {
  size_t searched = begin_;
  for (;;) {
    const char* start = buffer_.data() + searched;
    const void* lf = std::memchr(start, '\n', end_ - searched);
    if (lf != nullptr) {
      size_t stop = static_cast<size_t>(static_cast<const char*>(lf) - buffer_.data());
      size_t length = stop - begin_;
      if (length > 0 && buffer_[stop - 1] == '\r') --length;
      record = std::string_view(buffer_.data() + begin_, length);
      begin_ = stop + 1;
      ++line_;
      return true;
    }
    size_t already = end_ - begin_;
    if (!fill()) break;
    searched = begin_ + already;
  }
  if (begin_ == end_) return false;
  // The last record has no line feed.
  size_t length = end_ - begin_;
  if (buffer_[end_ - 1] == '\r') --length;
  record = std::string_view(buffer_.data() + begin_, length);
  begin_ = end_;
  ++line_;
  return true;
}

}  // namespace locprox::summary
