// The options dialogue of the analysis driver, by running the program: which
// prompts are shown, how answers are folded, the echo, the option record and
// the messages each choice gives.
#include <gtest/gtest.h>

#include <string>

#include "input/job_run.h"

namespace locprox {
namespace {

using namespace locprox::testing;

// Two years, one location, one entry; the sequence is year 1 only, and the
// year-2 record ends it, so no " End of data" is written.
const std::string kSizes = "2\n1\n1\n1\n1\n";
const std::string kRequired = "DZ=     2 Z=     2 MZ=    13 AZ=     5";
const std::string kNames = "Trial\n2 1 1\nY1\nY2\nL1\nE1\n";
const std::string kObservations = "1 1 1 2.5\n2 1 1 3.5\n";

TEST(DriverOptions, AnswersPromptsEchoAndMessages) {
  const std::string weighted = rec("   Using weighted averages");
  const std::string unweighted = rec("   Using unweighted averages");
  const std::string sed = rec("   Of squared Euclidean distances");
  const std::string cor = rec("   Of correlation measures");
  const std::string centred = rec("   With location centred data");
  const std::string standardized = rec("   With location standardized data");
  const std::string normal = rec("   With normal averages");
  const std::string fisher = rec("   With Fisher z averages");
  const std::string sed_prompts = kWeightPrompt + kMeasurePrompt + kSedTypePrompt;
  const std::string cor_prompts = kWeightPrompt + kMeasurePrompt + kCorTypePrompt;
  struct Case {
    std::string answers;
    std::string prompts;
    char weight, prxtyp, sedtyp, cortyp;  // the codes the echo shows
    std::string messages;
  } cases[] = {
      {"w\ns\nc\n", sed_prompts, 'W', 'S', 'C', '\0', weighted + sed + centred},
      {"u\ns\ns\n", sed_prompts, 'U', 'S', 'S', '\0', unweighted + sed + standardized},
      {"W\nS\nC\n", sed_prompts, 'W', 'S', 'C', '\0', weighted + sed + centred},
      // x is kept as typed and means unweighted.
      {"x\ns\nc\n", sed_prompts, 'x', 'S', 'C', '\0', unweighted + sed + centred},
      // Only the first character counts.
      {"weighted\nsed\nstandard\n", sed_prompts, 'W', 'S', 'S', '\0',
       weighted + sed + standardized},
      // Any third answer but C standardizes; c of "Centered" folds to C.
      {"w\ns\nx\n", sed_prompts, 'W', 'S', 'x', '\0', weighted + sed + standardized},
      {"w\ns\n\n", sed_prompts, 'W', 'S', ' ', '\0', weighted + sed + standardized},
      {"w\nr\nn\n", cor_prompts, 'W', 'R', '\0', 'N', weighted + cor + normal},
      {"u\nR\nz\n", cor_prompts, 'U', 'R', '\0', 'Z', unweighted + cor + fisher},
      // C, Correlation or an empty line all mean correlation: the fourth
      // prompt is asked, the third is not.
      {"w\nC\nN\n", cor_prompts, 'W', 'C', '\0', 'N', weighted + cor + normal},
      {"w\nCorrelation\nn\n", cor_prompts, 'W', 'C', '\0', 'N', weighted + cor + normal},
      {"w\n\nn\n", cor_prompts, 'W', ' ', '\0', 'N', weighted + cor + normal},
      // c is not one of the second prompt's letters: kept as typed.
      {"w\nc\nz\n", cor_prompts, 'W', 'c', '\0', 'Z', weighted + cor + fisher},
      // A fourth answer other than N reports Fisher z averages.
      {"w\nr\n\n", cor_prompts, 'W', 'R', '\0', ' ', weighted + cor + fisher},
      {"\nr\nx\n", cor_prompts, ' ', 'R', '\0', 'x', unweighted + cor + fisher},
      {"w\nr\nnormal\r\n", cor_prompts, 'W', 'R', '\0', 'N', weighted + cor + normal},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answers);
    ScratchDirectory dir;
    ProgramRun run = run_job_files(dir, kNames, kObservations, answers(kSizes, c.answers));
    ASSERT_EQ(run.exit_status, 0) << run.errors;
    const std::string echo = options_echo(c.weight, c.prxtyp, c.sedtyp, c.cortyp);
    // The console, all of it: the dialogue, the echo after the title (the
    // echo goes to the console first, which only the report's order shows)
    // and the year's messages.
    EXPECT_EQ(run.console, console_to_options(kRequired) + c.prompts + job_is("Trial") + echo +
                               opening(1, 1) + year_block("Y1      ", "", c.messages));
    // The report: an empty record, the title, the echo, then the counts.
    const std::string report = after_summary(dir.read("T.OCC"));
    EXPECT_TRUE(report.starts_with(rec("") + job_is("Trial") + echo + rec("") + opening(1, 1)))
        << report;
    EXPECT_EQ(shared_report_records(dir.read("T.OCC"), run.console), console_messages(run.console));
    // The option record: four codes, each after five blanks; the code that
    // was not asked is the byte 0.
    const auto prx = records_of(dir.read("T.PRX"));
    ASSERT_GE(prx.size(), 3u);
    EXPECT_EQ(prx[1], "     " + std::string(1, c.weight) + "     " + std::string(1, c.prxtyp) +
                          "     " + std::string(1, c.sedtyp) + "     " + std::string(1, c.cortyp));
    EXPECT_EQ(prx[2], "     1    Y1      ");
  }
}

TEST(DriverOptions, EndOfInputAtAnOptionPromptIsAnErrorStop) {
  ScratchDirectory dir;
  ProgramRun run = run_job_files(dir, kNames, kObservations, answers(kSizes, "w\ns\n"));
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_TRUE(run.errors.starts_with("locprox: the console: end of file")) << run.errors;
  EXPECT_TRUE(run.console.ends_with(kSedTypePrompt)) << run.console;
  // The dimension record written before the stop is kept.
  EXPECT_EQ(dir.read("T.PRX"), rec("     2     1     1     1     1     1     1"));
}

}  // namespace
}  // namespace locprox
