// The job files' years formatted on several threads: a write that fails
// while other threads wait for their turn ends the writing with the
// failure, thrown once to the caller, with no thread left behind.
#include "import/job_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "import/import_error.h"
#include "import/numbering.h"
#include "import/trial_table.h"
#include "input/table_reader.h"

namespace locprox {
namespace {

TEST(JobWriter, AWriteThatFailsOnSeveralThreadsIsThrownOnce) {
  const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  if (full < 0) GTEST_SKIP() << "no /dev/full to write to";
  ImportOptions options;
  TableReader reader("t.csv", options.delimiter);
  TrialTable table(options, reader);
  // 12 years of 60,000 rows, more than enough for several threads, and
  // 12 MB of text: the full device refuses the first 4 MiB written out,
  // which a later year's thread finds as it adds its text.
  for (int i = 0; i < 720000; ++i) {
    const float value = static_cast<float>(i % 977) * 0.25f;
    // Built by appending: GCC 12 warns falsely (-Wrestrict) on "L" + string.
    std::string location = "L", entry = "E";
    location += std::to_string(i % 40);
    entry += std::to_string(i % 250);
    table.add_row(std::to_string(2000 + i / 60000), location, entry, &value, i + 2);
  }
  const YearNumbering years = number_years(table.years().names());
  const RowsByYear by_year = rows_by_year(table.observations(), years);
  for (unsigned threads : {2u, 7u}) {
    SCOPED_TRACE("threads " + std::to_string(threads));
    OutputFile file("t.SEQ", "t.SEQ.tmp", full);
    EXPECT_THROW(
        {
          write_observations_file(file, table, by_year, years, Replicates::kLast, nullptr, threads);
          file.close();
        },
        ImportError);
  }
  ::close(full);
}

}  // namespace
}  // namespace locprox
