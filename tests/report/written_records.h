// Helpers for the report writer tests: run a writer on an output unit that
// writes to a scratch file, then look at the bytes it wrote.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "format/output_unit.h"
#include "support/run_program.h"

namespace locprox::report_test {

// Everything `write` wrote to a fresh file unit, byte for byte.
inline std::string written(const std::function<void(OutputUnit&)>& write) {
  testing::ScratchDirectory directory;
  const std::string path = (directory.path() / "out.txt").string();
  OutputUnit out(22, path, OutputUnit::Style::kFile, false);
  out.open();
  write(out);
  out.close();
  return testing::read_file(path);
}

// The records of a file's text, without their line ends. Every record must
// end in CR LF; a text that does not is reported as a test failure.
inline std::vector<std::string> records(const std::string& text) {
  std::vector<std::string> result;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "text does not end in CR LF: \"" << text.substr(start) << "\"";
      break;
    }
    EXPECT_EQ(text.find('\n', start), end + 1) << "bare line feed in record " << result.size() + 1;
    result.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return result;
}

// Joins records, each followed by CR LF.
inline std::string lines(const std::vector<std::string>& records) {
  std::string text;
  for (const std::string& record : records) text += record + "\r\n";
  return text;
}

// `count` copies of `field`.
inline std::string repeated(const std::string& field, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += field;
  return text;
}

}  // namespace locprox::report_test
