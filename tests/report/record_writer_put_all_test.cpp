// put_all, the writer's stretch-at-a-time path used for the long rows of the
// report and the proximity file, must write exactly what put() writes value
// by value: same fields, same record ends, same reversion.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "format/layout.h"
#include "format/record_writer.h"

namespace locprox {
namespace {

// What the writer wrote, through an in-memory file.
template <class T>
std::string written(OutputUnit::Style style, const Layout& layout, const std::vector<T>& values,
                    std::size_t split, bool stretches) {
  const int fd = ::memfd_create("put_all", 0);
  if (fd < 0) throw std::runtime_error("memfd_create failed");
  {
    OutputUnit out(22, "put_all", style, false);
    out.adopt(fd);
    RecordWriter writer(out, layout);
    if (stretches) {
      // Two calls, so that a stretch may also end in the middle of a run.
      std::span<const T> all(values);
      writer.put_all(all.first(split));
      writer.put_all(all.subspan(split));
    } else {
      for (T value : values) writer.put(value);
    }
    writer.finish();
    out.flush();
  }
  std::string text(static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)), '\0');
  if (::pread(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
    text = "(read failed)";
  }
  ::close(fd);
  return text;
}

template <class T>
void expect_same_as_put(const char* notation, const std::vector<T>& pool) {
  const Layout layout{notation};
  for (auto style : {OutputUnit::Style::kFile, OutputUnit::Style::kConsole}) {
    for (std::size_t count : {1, 2, 29, 30, 31, 49, 50, 51, 99, 100, 201, 202, 250}) {
      std::vector<T> values(pool.begin(), pool.begin() + static_cast<std::ptrdiff_t>(count));
      for (std::size_t split : {std::size_t{0}, count / 3, count}) {
        SCOPED_TRACE(std::string(notation) + ", " + std::to_string(count) + " values, split at " +
                     std::to_string(split) +
                     (style == OutputUnit::Style::kConsole ? ", console" : ", file"));
        EXPECT_EQ(written(style, layout, values, split, true),
                  written(style, layout, values, split, false));
      }
    }
  }
}

TEST(RecordWriterPutAll, IntegersComeOutAsWithPut) {
  std::vector<std::int32_t> pool;
  for (int i = 0; i < 250; ++i) pool.push_back(i % 7 == 0 ? 1000000 + i : (i * 37) % 1000 - 200);
  for (const char* notation : {"I5,1X,49I5", "' Total',49I5", "11X,48I5", "30I6", "20I4",
                               "I5,1X,200I1", "I3,2(I2,1X,I4)", "I3,(2I2,'|')", "10I6"}) {
    expect_same_as_put(notation, pool);
  }
}

TEST(RecordWriterPutAll, RealsComeOutAsWithPut) {
  std::vector<double> pool;
  for (int i = 0; i < 250; ++i) pool.push_back((i % 2 ? -1.0 : 1.0) * i * i / 7.0);
  for (const char* notation : {"10E16.8", "F10.3,2E12.4", "2F8.2,(E12.4,1X,E12.5)"}) {
    expect_same_as_put(notation, pool);
  }
}

}  // namespace
}  // namespace locprox
