// The entry functions of the fuzz targets, shared by the libFuzzer programs
// in this folder and by the regression test that replays their corpus with
// the ordinary test build. Each takes one input of arbitrary bytes, drives
// one input surface of the program with it, and checks what must hold for
// every input: an error stop is a RunError with a message naming the unit,
// anything else that goes wrong throws FuzzFinding (which libFuzzer sees as
// a crash, and the replay test as a failure).
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "format/free_form.h"
#include "fuzz_checks.h"
#include "format/input_unit.h"
#include "format/record_reader.h"
#include "format/run_error.h"
#include "input/observation_line.h"
#include "job/console_dialogue.h"

namespace locprox::fuzz {

// A file descriptor of an anonymous in-memory file holding `contents`,
// positioned at its start. The caller closes it.
inline int memory_file(std::string_view contents) {
  int fd = ::memfd_create("locprox-fuzz", MFD_CLOEXEC);
  if (fd < 0) throw std::runtime_error("memfd_create failed");
  std::size_t done = 0;
  while (done < contents.size()) {
    ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
    if (n <= 0) throw std::runtime_error("write to memory file failed");
    done += static_cast<std::size_t>(n);
  }
  ::lseek(fd, 0, SEEK_SET);
  return fd;
}

inline std::string file_contents(int fd) {
  std::string text;
  ::lseek(fd, 0, SEEK_SET);
  char block[4096];
  for (;;) {
    ssize_t n = ::read(fd, block, sizeof block);
    if (n <= 0) break;
    text.append(block, static_cast<std::size_t>(n));
  }
  return text;
}

// Closes the descriptor at the end of a scope.
struct FileCloser {
  int fd;
  ~FileCloser() { ::close(fd); }
};

inline bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// ---------------------------------------------------------------------------
// Free-form numbers.

// The reference grammar of the numbers that must be accepted, checked
// independently of the reader: [sign] digits, or [sign] digits [. digits]
// [(E|D) [sign] digits] with at least one mantissa digit.
inline bool integer_shaped(std::string_view t) {
  std::size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
  if (i == t.size()) return false;
  for (; i < t.size(); ++i)
    if (t[i] < '0' || t[i] > '9') return false;
  return true;
}

inline bool real_shaped(std::string_view t) {
  std::size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
  std::size_t digits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i == t.size()) return true;
  if (t[i] != 'E' && t[i] != 'e' && t[i] != 'D' && t[i] != 'd') return false;
  ++i;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t exponent_digits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++exponent_digits;
  return exponent_digits > 0 && i == t.size();
}

// Checks parse_integer and parse_real on one text against the C library.
inline void check_number_text(std::string_view text) {
  std::int32_t integer = 12345;
  const bool integer_ok = parse_integer(text, integer);
  if (integer_shaped(text)) {
    std::string copy(text);
    errno = 0;
    const long long reference = std::strtoll(copy.c_str(), nullptr, 10);
    const bool fits = errno != ERANGE && reference >= INT32_MIN && reference <= INT32_MAX;
    expect(integer_ok == fits, "parse_integer accepts or refuses wrongly: " + copy);
    if (fits) expect(integer == reference, "parse_integer value differs: " + copy);
  } else {
    expect(!integer_ok, "parse_integer accepts a non-integer: " + std::string(text));
    expect(integer == 12345, "parse_integer changed its variable on failure");
  }

  float real = 7.0f;
  const bool real_ok = parse_real(text, real);
  if (!real_shaped(text)) {
    expect(!real_ok, "parse_real accepts a non-number: " + std::string(text));
    expect(real == 7.0f, "parse_real changed its variable on failure");
    return;
  }
  std::string respelled(text);
  for (char& c : respelled)
    if (c == 'D' || c == 'd') c = 'E';
  errno = 0;
  const float reference = std::strtof(respelled.c_str(), nullptr);
  if (std::isinf(reference)) {
    expect(!real_ok, "parse_real accepts a value beyond single precision: " + respelled);
  } else if (std::fpclassify(reference) == FP_NORMAL || reference == 0.0f) {
    expect(real_ok, "parse_real refuses a valid real: " + respelled);
    expect(real == reference || (real == 0.0f && reference == 0.0f),
           "parse_real rounds differently from strtof: " + respelled);
  } else if (real_ok) {
    // Below the normal range: zero or the correctly rounded subnormal.
    expect(std::isfinite(real) && std::fabs(real) <= 1.2e-38f,
           "parse_real gives a large value for a tiny one: " + respelled);
  }
  if (real_ok) expect(std::isfinite(real), "parse_real gives a non-finite value");
}

// A record of four or more blank-separated values, without commas, slashes
// or repeat counts, holds its observation in its first four values: checks
// the fields against the values read one by one.
inline void check_plain_observation(std::string_view record, const ObservationFields& fields) {
  if (record.find_first_of(",/*") != std::string_view::npos) return;
  std::vector<std::string_view> values;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= record.size(); ++i) {
    if (i == record.size() || record[i] == ' ' || record[i] == '\t') {
      if (i > start) values.push_back(record.substr(start, i - start));
      start = i + 1;
    }
  }
  if (values.size() < 4) return;
  std::int32_t integers[3];
  for (int k = 0; k < 3; ++k) {
    expect(parse_integer(values[static_cast<std::size_t>(k)], integers[k]),
           "an observation with a malformed integer was accepted");
  }
  float value = 0.0f;
  expect(parse_real(values[3], value), "an observation with a malformed value was accepted");
  expect(
      fields.year == integers[0] && fields.location == integers[1] && fields.entry == integers[2],
      "an observation's numbers differ from its values: " + std::string(record));
  expect(fields.value == value || (fields.value == 0.0f && value == 0.0f),
         "an observed value differs from its text: " + std::string(record));
}

// Input: one selector byte, then the text of a file. The selector picks the
// variables of the free-form reads (one to four, integers or reals) and
// whether the end of the file is an allowed outcome.
inline void free_form_input(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return;
  const std::uint8_t selector = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  // Every blank- or comma-separated token, and each whole line, as a number.
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == ' ' || text[i] == ',' || text[i] == '\n' ||
        text[i] == '\t' || text[i] == '/') {
      if (i > start) check_number_text(text.substr(start, i - start));
      start = i + 1;
    }
  }

  // Successive free-form reads until the file ends or the run stops.
  {
    const int fd = memory_file(text);
    FileCloser closer{fd};
    InputUnit unit(21, "fuzz.NAQ");
    unit.adopt(fd);
    const std::size_t count = 1 + (selector & 3u);
    std::int32_t integers[4] = {};
    float reals[4] = {};
    std::vector<FreeFormTarget> targets;
    for (std::size_t k = 0; k < count; ++k) {
      targets.push_back((selector >> (2 + k)) & 1u ? FreeFormTarget::real(reals[k])
                                                   : FreeFormTarget::integer(integers[k]));
    }
    const bool end_allowed = (selector & 0x80u) != 0;
    try {
      for (int reads = 0; reads < 100000; ++reads) {
        const long before = unit.line_number();
        if (read_free_form(unit, targets, end_allowed) == ReadOutcome::kEndOfFile) break;
        expect(unit.line_number() > before, "a free-form read consumed no record");
        for (float r : reals) expect(std::isfinite(r), "a free-form real is not finite");
      }
    } catch (const RunError& error) {
      expect(starts_with(error.what(), "unit 21 (fuzz.NAQ)"),
             std::string("message does not name the unit: ") + error.what());
      check_message(error.what());
    }
  }

  // The same text as an observations file, line by line.
  {
    const int fd = memory_file(text);
    FileCloser closer{fd};
    InputUnit unit(20, "fuzz.SEQ");
    unit.adopt(fd);
    ObservationFields fields;
    std::string_view record;
    try {
      while (unit.next_record(record)) {
        if (parse_observation(unit, record, fields) == ObservationLine::kObservation) {
          expect(std::isfinite(fields.value) && std::fabs(fields.value) <= 1.0e30f,
                 "an observed value beyond 1.0E+30 was accepted");
          check_plain_observation(record, fields);
        }
      }
    } catch (const RunError& error) {
      expect(starts_with(error.what(), "unit 20 (fuzz.SEQ), line "),
             std::string("message does not name the unit and line: ") + error.what());
      check_message(error.what());
    }
  }
}

// ---------------------------------------------------------------------------
// Records and reading by layout.

// The records of `text` by the rule the reader must follow: a record ends at
// a line feed, a carriage return right before it is dropped, and a last line
// without a line feed is a record too (its final carriage return dropped).
inline std::vector<std::string_view> reference_records(std::string_view text) {
  std::vector<std::string_view> records;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const std::size_t stop = end == std::string_view::npos ? text.size() : end;
    std::string_view record = text.substr(start, stop - start);
    if (!record.empty() && record.back() == '\r') record.remove_suffix(1);
    records.push_back(record);
    start = stop + 1;
  }
  return records;
}

// Input: one selector byte (the field width, and whether each record is also
// given back and read again) then the text of a file. One selector puts a
// line of almost the reader's block size in front, so that the records of
// the text straddle the end of the first block.
inline void record_input(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return;
  const std::uint8_t selector = data[0];
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  if (selector == 0xFF) text.insert(0, (std::size_t{1} << 20) - 16, 'x');
  const std::vector<std::string_view> expected = reference_records(text);
  const std::size_t width = selector % 97u;

  const int fd = memory_file(text);
  FileCloser closer{fd};
  InputUnit unit(0, "standard input");
  unit.adopt(fd);
  std::vector<char> field(width);
  for (std::size_t n = 0; n < expected.size(); ++n) {
    const bool step_back = ((n + selector) % 3u) == 0;
    if (step_back) {
      std::string_view record;
      expect(unit.next_record(record), "a record is missing");
      expect(record == expected[n], "a record differs from the file's line");
      expect(unit.line_number() == static_cast<long>(n + 1), "wrong line number");
      unit.step_back();
      expect(unit.line_number() == static_cast<long>(n), "step back did not restore the line");
    }
    read_characters(unit, field);
    const std::string_view record = expected[n];
    for (std::size_t k = 0; k < width; ++k) {
      const char want = k < record.size() ? record[k] : ' ';
      expect(field[k] == want, "a field differs from the first characters of its record");
    }
    expect(unit.line_number() == static_cast<long>(n + 1), "wrong line number after a read");
  }
  std::string_view record;
  expect(!unit.next_record(record), "a record beyond the end of the file");
  expect(!unit.next_record(record), "a record beyond the end of the file, twice");
  try {
    read_characters(unit, field);
    expect(false, "a read by layout at the end of the file did not stop the run");
  } catch (const RunError& error) {
    expect(starts_with(error.what(), "the console: end of file"),
           std::string("unexpected end-of-file message: ") + error.what());
  }
}

// ---------------------------------------------------------------------------
// A whole run.

// The scratch directory of the whole-run target, made once per process and
// removed at its end.
inline const std::filesystem::path& run_directory() {
  static const FuzzDirectory directory("run");
  return directory.path();
}

inline void write_whole_file(const std::filesystem::path& path, std::string_view contents) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot write " + path.string());
  FileCloser closer{fd};
  std::size_t done = 0;
  while (done < contents.size()) {
    ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
    if (n <= 0) throw std::runtime_error("write failed");
    done += static_cast<std::size_t>(n);
  }
}

inline std::string read_whole_file(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  FileCloser closer{fd};
  return file_contents(fd);
}

// The fixed dialogue of a run on T.SEQ and T.NAQ: 3 years, 4 locations and
// 5 entries; the selector picks the options and the year range.
inline std::string run_dialogue(std::uint8_t selector) {
  static const char* const kRanges[4] = {"1\n3\n", "2\n3\n", "1\n1\n", "3\n2\n"};
  std::string answers = "y\nT\n3\n4\n5\n";
  answers += kRanges[(selector >> 3) & 3u];
  answers += (selector & 1u) ? "w\n" : "u\n";
  if (selector & 2u) {
    answers += "s\n";
    answers += (selector & 4u) ? "c\n" : "s\n";
  } else {
    answers += "r\n";
    answers += (selector & 4u) ? "n\n" : "z\n";
  }
  return answers;
}

// Input: one selector byte, two bytes giving the length of the names file,
// the names file, then the observations file.
inline void whole_run(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return;
  const std::uint8_t selector = data[0];
  const std::size_t rest = size - 3;
  const std::size_t names_length = (std::size_t{data[1]} | std::size_t{data[2]} << 8) % (rest + 1);
  const std::string_view names(reinterpret_cast<const char*>(data + 3), names_length);
  const std::string_view observations(reinterpret_cast<const char*>(data + 3 + names_length),
                                      rest - names_length);

  const std::filesystem::path& directory = run_directory();
  write_whole_file(directory / "T.NAQ", names);
  write_whole_file(directory / "T.SEQ", observations);
  std::filesystem::remove(directory / "T.OCC");
  std::filesystem::remove(directory / "T.PRX");

  const int input = memory_file(run_dialogue(selector));
  FileCloser input_closer{input};
  const int output = memory_file("");
  FileCloser output_closer{output};
  const int errors = memory_file("");
  FileCloser errors_closer{errors};

  // The run opens its files by relative name.
  const int previous = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (previous < 0 || ::chdir(directory.c_str()) != 0) throw std::runtime_error("chdir failed");
  int status = -1;
  try {
    status = run_console_dialogue(input, output, errors);
  } catch (...) {
    (void)::fchdir(previous);
    ::close(previous);
    throw;
  }
  (void)::fchdir(previous);
  ::close(previous);

  const std::string message = file_contents(errors);
  expect(status == 0 || status == 1 || status == 2, "exit status " + std::to_string(status));
  if (status != 2) {
    // A completed (0) or refused (1) run: nothing on standard error but
    // warnings, one readable line each.
    std::size_t start = 0;
    while (start < message.size()) {
      const std::size_t end = message.find('\n', start);
      expect(end != std::string::npos, "a warning without a line end");
      const std::string_view line = std::string_view(message).substr(start, end - start);
      expect(starts_with(line, "locprox: warning: "), "a message on a normal end: " + message);
      check_message(line);
      start = end + 1;
    }
  } else {
    expect(starts_with(message, "locprox: unit 2") || starts_with(message, "locprox: the console"),
           "an error stop without a unit: " + message);
    expect(message.find('\n') == message.size() - 1, "an error message of several lines");
    check_message(std::string_view(message).substr(0, message.size() - 1));
  }
  expect(read_whole_file(directory / "T.NAQ") == names, "the names file was changed");
  expect(read_whole_file(directory / "T.SEQ") == observations, "the observations file changed");
  expect(
      std::filesystem::exists(directory / "T.OCC") && std::filesystem::exists(directory / "T.PRX"),
      "an output file is missing after a run that opened both");
  // A non-finite sum would be written as a field of asterisks; no finite
  // sum of values within 1.0E+30 is too wide for E16.8.
  const std::string proximity = read_whole_file(directory / "T.PRX");
  expect(proximity.find("****************") == std::string::npos,
         "a non-finite proximity sum was written");
  expect(proximity.size() < 2 || proximity.compare(proximity.size() - 2, 2, "\r\n") == 0,
         "the proximity file ends inside a record");
}

}  // namespace locprox::fuzz
