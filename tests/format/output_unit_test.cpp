// Memory units keep their records for a file unit to write whole; the file
// receives them in order with the records written directly, small or large.

#include "format/output_unit.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "format/record_writer.h"

namespace locprox {
namespace {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(OutputUnitInMemory, KeepsRecordsInTheLayoutOfItsStyle) {
  OutputUnit file_style(OutputUnit::InMemory{});
  write_record(file_style, Layout{"I5,1X,A3"}, 42, "abc");
  write_record(file_style, Layout{"'x'"});
  EXPECT_EQ(file_style.text(), "   42 abc\r\nx\r\n");
  // On a console the first character of a record is carriage control.
  OutputUnit console_style(OutputUnit::InMemory{}, OutputUnit::Style::kConsole);
  write_record(console_style, Layout{"' Read data'"});
  EXPECT_EQ(console_style.text(), "Read data\n");
  file_style.clear();
  EXPECT_EQ(file_style.text(), "");
  write_record(file_style, Layout{"I2"}, 7);
  EXPECT_EQ(file_style.text(), " 7\r\n");
}

TEST(OutputUnitInMemory, GrowsForLongTexts) {
  OutputUnit text(OutputUnit::InMemory{});
  std::string want;
  for (int r = 0; r < 100000; ++r) {
    write_record(text, Layout{"I7"}, r);
    char field[8];
    std::snprintf(field, sizeof field, "%7d", r);
    want += std::string(field) + "\r\n";
  }
  EXPECT_EQ(text.text(), want);
}

TEST(OutputUnitWriteText, FileGetsTextsAndRecordsInOrder) {
  char path[] = "/tmp/locprox-output-unit-XXXXXX";
  const int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  ::close(fd);
  std::string want;
  {
    OutputUnit file(23, path, OutputUnit::Style::kFile, false);
    file.open();
    OutputUnit piece(OutputUnit::InMemory{});
    for (const std::size_t records : {1u, 3u, 40000u, 2u, 70000u, 5u}) {
      write_record(file, Layout{"'direct'"});
      want += "direct\r\n";
      piece.clear();
      for (std::size_t r = 0; r < records; ++r) write_record(piece, Layout{"I6"}, 100);
      file.write_text(piece.text());
      want += std::string(piece.text());
    }
    write_record(file, Layout{"'last'"});
    want += "last\r\n";
    file.close();
  }
  EXPECT_EQ(read_file(path), want);
  std::remove(path);
}

}  // namespace
}  // namespace locprox
