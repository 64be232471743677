// The console dialogue: end of input at every prompt, and malformed numbers
// at every numeric answer.
#include "faults/fault_job.h"

namespace locprox::testing {
namespace {

// The two dialogues: default names, and the four names typed in full. The
// output files are opened once all file names are known.
struct Dialogue {
  const char* name;
  std::vector<std::string> answers;
  std::size_t answers_before_open;
};

const std::vector<Dialogue> kDialogues = {
    {"default names", kAnswers, 2},
    {"explicit names",
     {"n", "T.SEQ", "T.NAQ", "T.OCC", "T.PRX", "3", "2", "4", "1", "3", "r", "z"},
     5},
};

TEST(ConsoleFaults, EndOfInputAtEveryPromptStopsTheRun) {
  for (const Dialogue& dialogue : kDialogues) {
    for (std::size_t given = 0; given < dialogue.answers.size(); ++given) {
      SCOPED_TRACE(std::string(dialogue.name) + ", answers given: " + std::to_string(given));
      FaultRun run(job_files(), joined(dialogue.answers, given));
      run.expect_error_stop("the console",
                            "end of file met during a read, after line " + std::to_string(given));
      if (given < dialogue.answers_before_open) {
        run.expect_only_changed({});
      } else {
        run.expect_only_changed({"T.OCC", "T.PRX"});
      }
    }
  }
}

TEST(ConsoleFaults, AnswersWithoutAFinalLineEndAreComplete) {
  std::string answers = joined(kAnswers);
  answers.pop_back();
  FaultRun run(job_files(), answers);
  run.expect_normal_end();
}

// Texts that are not 32-bit integers.
const std::vector<std::string> kNotIntegers = {"abc", "3.5",         "1e40",       "1e-50", "NaN",
                                               "Inf", "99999999999", "2147483648", "-",     ".",
                                               "+",   "3x",          "--3"};

TEST(ConsoleFaults, MalformedNumberAtEverySizePromptStopsTheRun) {
  for (std::size_t field = 2; field < 7; ++field) {
    for (const std::string& bad : kNotIntegers) {
      SCOPED_TRACE("answer " + std::to_string(field + 1) + " = " + bad);
      std::vector<std::string> answers = kAnswers;
      answers[field] = bad;
      FaultRun run(job_files(), joined(answers));
      run.expect_error_stop("the console, line " + std::to_string(field + 1),
                            "malformed number \"" + bad + "\" where an integer is expected");
      run.expect_only_changed({"T.OCC", "T.PRX"});
      // Nothing of the problem size reached the files before the stop.
      EXPECT_EQ(run.file("T.PRX"), "");
    }
  }
}

TEST(ConsoleFaults, BadAnswersAreQuotedOnOneReadableLine) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {std::string("3\0", 2), "malformed number \"3\\x00\""},
      {"3\r5", "malformed number \"3\\x0D5\""},
      {"\x1b[2J", "malformed number \"\\x1B[2J\""},
      {std::string(1 << 20, '7'), "malformed number \"" + std::string(40, '7') + "...\""},
      {"x*" + std::string(1 << 20, 'y'),
       "malformed repeat count in \"x*" + std::string(38, 'y') + "...\""},
  };
  for (const auto& [answer, shown] : rows) {
    SCOPED_TRACE(shown);
    std::vector<std::string> answers = kAnswers;
    answers[3] = answer;
    FaultRun run(job_files(), joined(answers));
    run.expect_error_stop("the console, line 4", shown);
    EXPECT_LT(run.errors().size(), 200u);
  }
}

TEST(ConsoleFaults, CarriageReturnsInAnswersAreLineEnds) {
  std::string crlf;
  for (const std::string& answer : kAnswers) crlf += answer + "\r\n";
  FaultRun with_crlf(job_files(), crlf);
  FaultRun with_lf(job_files(), joined(kAnswers));
  with_crlf.expect_normal_end();
  EXPECT_EQ(with_crlf.file("T.PRX"), with_lf.file("T.PRX"));
  EXPECT_EQ(with_crlf.file("T.OCC"), with_lf.file("T.OCC"));
}

}  // namespace
}  // namespace locprox::testing
