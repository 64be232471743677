// The one way reading a delimited table stops: a TableError carries a
// one-line message "FILE, line N, column C: PROBLEM" (the line and column
// where they are known) and the same parts one by one, so that a program can
// show the fault in its own form.
#pragma once

#include <stdexcept>
#include <string>

namespace locprox {

class TableError : public std::runtime_error {
 public:
  enum class Fault {
    kNotATable,  // malformed quoting, or no delimiter in the header line
    kEmpty,      // no header row
    kMemory,     // a field or table too large to hold
    kFile,       // the file cannot be opened or read, or is far too large
    kContent,    // the rows do not hold what the table should
  };

  // `line` and `column` 0: not known, left out of the message.
  TableError(Fault fault, std::string file, long line, long column, std::string problem)
      : std::runtime_error(message(file, line, column, problem)),
        fault_(fault),
        file_(std::move(file)),
        line_(line),
        column_(column),
        problem_(std::move(problem)) {}

  Fault fault() const { return fault_; }
  const std::string& file() const { return file_; }
  long line() const { return line_; }
  long column() const { return column_; }
  const std::string& problem() const { return problem_; }

 private:
  static std::string message(const std::string& file, long line, long column,
                             const std::string& problem) {
    std::string text = file;
    if (line > 0) text += ", line " + std::to_string(line);
    if (column > 0) text += ", column " + std::to_string(column);
    return text + ": " + problem;
  }

  Fault fault_;
  std::string file_;
  long line_;
  long column_;
  std::string problem_;
};

}  // namespace locprox
