// Replays the inputs kept for the names-table fuzz target
// (tests/fixtures/fuzz/names_table/: seed-* written by hand, corpus-* from
// the runs, crash-* for inputs that once failed it) through its entry
// function, built here without libFuzzer; and checks the target's reference
// reader and the memory a large number costs.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <string>

#include "../../fuzz/fuzz_names_table.h"
#include "support/fuzz_replay.h"
#include "support/run_program.h"

namespace locprox {
namespace {

TEST(NamesTableFuzzInputs, HoldEveryCheck) {
  testing::replay_fuzz_inputs("names_table", fuzz::names_table_input);
}

// The target is only as good as its reference: it must see what the reader
// sees in tables whose outcome is known.
TEST(NamesTableFuzzReference, ReadsKnownTables) {
  const std::string header = "kind,number,name,full_name\n";
  using Fault = TableError::Fault;
  const struct {
    const char* what;
    std::string text;
    bool failed;
    Fault fault;
    long line, column;
    std::string entries;  // the entries read, as shown_rows gives them
  } cases[] = {
      {"quoted names, CR LF, a mark, blank lines", "\xEF\xBB\xBF\r\n \r\n" + header +
           "\r\nentry,2,\"B\"\"b\",\"x\r\ny\"\r\nENTRY,0001,A,\r\n",
       false, Fault::kContent, 0, 0, "1:A|;2:B\"b|x\r\ny;"},
      {"a lone CR and no last line end", header + "entry,1,A,a\rentry,2,B,\"b\"", false,
       Fault::kContent, 0, 0, "1:A|a;2:B|b;"},
      {"no name column", "full_name,kind,number\n a ,entry,1\n", false, Fault::kContent, 0, 0,
       "1:| a ;"},
      {"only blanks", " \t\n\n", true, Fault::kEmpty, 0, 0, ""},
      {"header without number", "\n\nkind,name,full_name\n", true, Fault::kContent, 3, 0, ""},
      {"a number with a sign", header + "entry,+1,A,A\n", true, Fault::kContent, 2, 0, ""},
      {"a number twice after a field over two lines",
       header + "entry,1,A,\"a\nb\"\nentry,1,B,B\n", true, Fault::kContent, 4, 0, ""},
      {"a line of blanks after the header", header + "entry,1,A,A\n  \n", true, Fault::kContent,
       3, 0, ""},
      {"a gap", header + "entry,2,B,B\n", true, Fault::kContent, 0, 0, ""},
      {"a quote inside a field, third column", header + "entry,1,A\"\n", true, Fault::kNotATable,
       2, 3, ""},
      {"text after a closing quote", header + "entry,1,\"A\"x,A\n", true, Fault::kNotATable, 2,
       3, ""},
      {"a quoted field left open", header + "entry,1,A,\"A\n\n", true, Fault::kNotATable, 2, 4,
       ""},
  };
  testing::ScratchDirectory dir;
  const std::string path = (dir.path() / "t.names.csv").string();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fuzz::NamesOutcome reference = fuzz::ReferenceNames().read(c.text);
    const fuzz::NamesOutcome reader = fuzz::read_table(path, c.text);
    for (const fuzz::NamesOutcome* o : {&reference, &reader}) {
      EXPECT_EQ(o->failed, c.failed);
      if (c.failed) {
        EXPECT_EQ(fuzz::shown_fault(*o), fuzz::shown_fault({true, c.fault, c.line, c.column, "", {}}));
      } else {
        EXPECT_EQ(fuzz::shown_rows(o->rows[static_cast<int>(NameKind::kEntry)]), c.entries);
      }
    }
  }
}

long peak_kilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// A number written in the table costs no memory in proportion to it beyond
// a bit per number: rows numbered 10000000 take a few megabytes at most.
TEST(NamesTableFuzzReference, LargeNumbersCostLittleMemory) {
  testing::ScratchDirectory dir;
  const std::string path = (dir.path() / "t.names.csv").string();
  const std::string text =
      "kind,number,name,full_name\nyear,10000000,Y,Y\nlocation,10000000,L,L\n"
      "entry,10000000,G,G\nentry,9999999,H,H\n";
  const long before = peak_kilobytes();
  const fuzz::NamesOutcome outcome = fuzz::read_table(path, text);
  EXPECT_TRUE(outcome.failed);
  EXPECT_LT(peak_kilobytes() - before, 64 * 1024);
}

}  // namespace
}  // namespace locprox
