// The problem-size step against capacities chosen around the worked example's requirements
// (MAXY 3, MAXL 4, MAXG 5, IYS 1, IYF 3: DZREQ 11, ZREQ 21, MZREQ 98, AZREQ
// 13): a requirement equal to its capacity passes, one more fails; every
// array that passes is cleared up to its requirement and no further.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job/console_dialogue.h"
#include "support/run_program.h"

namespace locprox {
namespace {

using locprox::testing::ScratchDirectory;

constexpr double kDZMark = 7.0;
constexpr float kZMark = 7.0f;
constexpr std::int32_t kMZMark = 7;
const Name kAZMark = {'m', 'a', 'r', 'k', 'm', 'a', 'r', 'k'};

struct Capacities {
  std::int32_t DZ, Z, MZ, AZ;
};

struct Outcome {
  std::string console;
  std::string report;
  std::vector<double> DZ;
  std::vector<float> Z;
  std::vector<std::int32_t> MZ;
  std::vector<Name> AZ;
};

// Runs the problem-size step on the worked example with the given capacities and arrays a
// few elements longer than them, every element marked. The names file
// disagrees with the problem, so a year loop that is reached returns at once.
Outcome run_size_step(Capacities cap) {
  ScratchDirectory dir;
  dir.write("answers", "3\n4\n5\n1\n3\nw\ns\nc\n");
  dir.write("T.NAQ", "title\n9 9 9\n");
  dir.write("T.SEQ", "");
  const auto path = [&dir](const char* name) { return (dir.path() / name).string(); };
  Outcome out;
  out.DZ.assign(static_cast<std::size_t>(cap.DZ) + 3, kDZMark);
  out.Z.assign(static_cast<std::size_t>(cap.Z) + 3, kZMark);
  out.MZ.assign(static_cast<std::size_t>(cap.MZ) + 3, kMZMark);
  out.AZ.assign(static_cast<std::size_t>(cap.AZ) + 3, kAZMark);
  {
    OutputUnit console(0, path("console"), OutputUnit::Style::kFile, true);
    console.open();
    InputUnit console_input(0, path("answers"), &console);
    console_input.open();
    InputUnit observations(20, path("T.SEQ"));
    observations.open();
    InputUnit names(21, path("T.NAQ"));
    names.open();
    OutputUnit report(22, path("T.OCC"), OutputUnit::Style::kFile, false);
    report.open();
    OutputUnit proximity(23, path("T.PRX"), OutputUnit::Style::kFile, false);
    proximity.open();
    Units units{console, console_input, observations, names, report, proximity};
    run_problem(units, {out.DZ, out.Z, out.MZ, out.AZ, cap.DZ, cap.Z, cap.MZ, cap.AZ});
    console.close();
    report.close();
    proximity.close();
  }
  out.console = dir.read("console");
  out.report = dir.read("T.OCC");
  return out;
}

// How many leading elements hold `value`.
template <class T>
std::size_t leading(const std::vector<T>& v, const T& value) {
  std::size_t n = 0;
  while (n < v.size() && v[n] == value) ++n;
  return n;
}

TEST(ProblemSizeStep, CapacitiesAroundTheRequirements) {
  const Name blanks = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  struct Case {
    Capacities capacities;
    std::string messages;  // the failing arrays' messages, in order
  } cases[] = {
      {{11, 21, 98, 13}, ""},  // every requirement equals its capacity
      {{10, 21, 98, 13}, " INCREASE DIMENSION OF DZ ARRAY TO      11\r\n"},
      {{11, 20, 98, 13}, " INCREASE DIMENSION OF Z ARRAY TO      21\r\n"},
      {{11, 21, 97, 13}, " INCREASE DIMENSION OF MZ ARRAY TO      98\r\n"},
      {{11, 21, 98, 12}, " INCREASE DIMENSION OF AZ ARRAY TO      13\r\n"},
      {{10, 20, 97, 12},
       " INCREASE DIMENSION OF DZ ARRAY TO      11\r\n"
       " INCREASE DIMENSION OF Z ARRAY TO      21\r\n"
       " INCREASE DIMENSION OF MZ ARRAY TO      98\r\n"
       " INCREASE DIMENSION OF AZ ARRAY TO      13\r\n"},
      {{11, 20, 98, 12},
       " INCREASE DIMENSION OF Z ARRAY TO      21\r\n"
       " INCREASE DIMENSION OF AZ ARRAY TO      13\r\n"},
  };
  for (const Case& c : cases) {
    const Capacities& cap = c.capacities;
    SCOPED_TRACE(std::to_string(cap.DZ) + " " + std::to_string(cap.Z) + " " +
                 std::to_string(cap.MZ) + " " + std::to_string(cap.AZ));
    Outcome out = run_size_step(cap);
    // The messages follow the last prompt on the console and the summary in
    // the report.
    const std::string after_prompts = c.messages + "\r\n DIMENSIONS OF ARRAYS:\r\n";
    EXPECT_NE(out.console.find("finishes - " + after_prompts), std::string::npos) << out.console;
    const std::size_t summary_end = out.report.find("(NTM) =     10\r\n") + 16;
    EXPECT_EQ(out.report.substr(summary_end, c.messages.size()), c.messages);
    const bool sequence_ran = out.report.find(" Job is title") != std::string::npos;
    EXPECT_EQ(sequence_ran, c.messages.empty());
    if (sequence_ran) continue;  // the year loop clears its partitions itself
    // Each array that passed is cleared from element 1 to its requirement.
    EXPECT_EQ(leading(out.DZ, 0.0), cap.DZ >= 11 ? 11u : 0u);
    EXPECT_EQ(leading(out.Z, 0.0f), cap.Z >= 21 ? 21u : 0u);
    EXPECT_EQ(leading(out.MZ, std::int32_t{0}), cap.MZ >= 98 ? 98u : 0u);
    EXPECT_EQ(leading(out.AZ, blanks), cap.AZ >= 13 ? 13u : 0u);
    // Nothing beyond is touched.
    EXPECT_EQ(out.DZ.back(), kDZMark);
    EXPECT_EQ(out.Z[21], kZMark);
    EXPECT_EQ(out.MZ[98], kMZMark);
    EXPECT_EQ(out.AZ[13], kAZMark);
  }
}

}  // namespace
}  // namespace locprox
