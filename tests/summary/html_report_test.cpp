// The HTML report's data and page: the JSON the page reads (each state's
// averages as pairs.csv writes them, counts, merges), the escaping that keeps
// any name inside its <script> element, and the budget of embedded years.
// What a browser makes of the page is checked by
// html_report_browser_test.py.
#include "summary/html_report.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "summary/example_files.h"
#include "support/case_names.h"
#include "summary/scratch.h"

namespace locprox::summary {
namespace {

using testing::Scratch;

size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct EscapeCase {
  const char* name;
  std::string text;
  std::string json;
};

void PrintTo(const EscapeCase& c, std::ostream* os) {
  *os << c.name;
}

class JsonString : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(JsonString, EscapesWhatCouldEndTheScriptOrBreakTheJson) {
  EXPECT_EQ(json_string(GetParam().text), GetParam().json);
}

INSTANTIATE_TEST_SUITE_P(
    Names, JsonString,
    ::testing::Values(
        EscapeCase{"plain", "Northfield", "\"Northfield\""},
        EscapeCase{"quotes and backslash", "\"Q\" \\ x", "\"\\\"Q\\\" \\\\ x\""},
        EscapeCase{"markup", "A<b> & c>", "\"A\\u003cb\\u003e \\u0026 c\\u003e\""},
        EscapeCase{"end of script", "</script><script>",
                   "\"\\u003c/script\\u003e\\u003cscript\\u003e\""},
        EscapeCase{"control bytes", std::string("a\nb\tc\x01", 6) + '\x7f',
                   "\"a\\u000ab\\u0009c\\u0001\\u007f\""},
        EscapeCase{"UTF-8 kept", "H\xc3\xb6he \xe2\x82\xac", "\"H\xc3\xb6he \xe2\x82\xac\""},
        EscapeCase{"line separators", "a\xe2\x80\xa8" "b\xe2\x80\xa9", "\"a\\u2028b\\u2029\""},
        EscapeCase{"bytes that are not UTF-8", "K\xf6ln \xe2\x82 \xc0\xaf",
                   "\"K\\ufffdln \\ufffd\\ufffd \\ufffd\\ufffd\""}),
    locprox::testing::NameOfCase());

struct BudgetCase {
  const char* name;
  std::int64_t locations;
  size_t years;
  std::int64_t budget;
  std::vector<size_t> kept;
};

void PrintTo(const BudgetCase& c, std::ostream* os) {
  *os << c.name;
}

class EmbeddedYears : public ::testing::TestWithParam<BudgetCase> {};

TEST_P(EmbeddedYears, KeepsTheLatestStatesThatFitAndAlwaysTheLast) {
  const BudgetCase& c = GetParam();
  EXPECT_EQ(embedded_years(c.locations, c.years, c.budget), c.kept);
}

INSTANTIATE_TEST_SUITE_P(
    Budget, EmbeddedYears,
    ::testing::Values(
        BudgetCase{"all fit", 8, 6, kPairYearBudget, {0, 1, 2, 3, 4, 5}},
        BudgetCase{"exactly fit", 3, 4, 24, {0, 1, 2, 3}},
        BudgetCase{"one too many", 3, 4, 23, {1, 2, 3}},
        BudgetCase{"only the last", 600, 30, kPairYearBudget, {29}},
        BudgetCase{"the last even beyond the budget", 1000, 3, kPairYearBudget, {2}},
        BudgetCase{"three of many at 400 locations", 400, 30, kPairYearBudget, {27, 28, 29}}),
    locprox::testing::NameOfCase());

HtmlFacts example_facts(std::vector<std::string> names) {
  HtmlFacts facts;
  facts.title = "Trial";
  facts.measure = "correlation";
  facts.weighting = "weighted";
  facts.value_label = "average correlation r";
  facts.distance_label = "1 - r";
  facts.names = std::move(names);
  facts.year_names = {"1995", "1996"};
  facts.files = {"JOB.pairs.csv"};
  return facts;
}

ProximityHistory example_history() {
  Scratch dir;
  dir.write("JOB.PRX", testing::example_prx());
  return read_proximity_history(dir.file("JOB.PRX"));
}

// The example file's two states (see example_files.h), pair by pair in the
// packed order (1,1), (1,2), (2,2), (1,3), (2,3), (3,3).
TEST(ReportJson, HoldsEachYearsAveragesCountsAndClusteringAsTheCsvFilesWriteThem) {
  const std::string json = report_json(example_history(), example_facts({"North", "S", "East"}));
  EXPECT_TRUE(contains(json, "\"states\":[{\"year\":1,\"name\":\"1995\",")) << json;
  // Year 1: (1,3) not yet compared.
  EXPECT_TRUE(contains(json, "\"values\":\"1,0.6,1,,-0.5,1\",\"common\":\"5,4,6,0,3,4\","
                             "\"years\":\"1*3,0,1,1\"")) << json;  // a run of three written once
  // Year 2: the state summarised. 1 - r: (1,3) 0.4 joins first, then 2 at
  // the mean of 0.5 and 1.5.
  EXPECT_TRUE(contains(json, "{\"year\":2,\"name\":\"1996\",\"scale\":[-0.5,0.6],"
                             "\"counts\":{\"pairs\":3,\"compared\":3,\"never_compared\":0,"
                             "\"unknown\":0,\"few_common\":3},")) << json;
  EXPECT_TRUE(contains(json, "\"values\":\"1,0.5,1,0.6,-0.5,1\",\"common\":\"9,8,11,2,3,8\","
                             "\"years\":\"2*3,1,1,2\",\"merges\":[[0,2,\"0.4\"],[3,1,\"1\"]],"
                             "\"order\":[0,2,1]}]")) << json;
  EXPECT_TRUE(contains(json, "\"years_left_out\":[]")) << json;
  EXPECT_TRUE(contains(json, "\"locations\":[\"North\",\"S\",\"East\"]")) << json;
  EXPECT_FALSE(contains(json, "ci_low")) << "no interval without the trust statistics";
  EXPECT_FALSE(contains(json, "\"groups\":")) << "the page's own default without --groups";
}

TEST(ReportJson, NamesTheYearsLeftOutBeyondTheBudget) {
  HtmlFacts facts = example_facts({"North", "S", "East"});
  facts.budget = 6;  // one state of 3 locations
  const std::string json = report_json(example_history(), facts);
  EXPECT_TRUE(contains(json, "\"years_left_out\":[{\"year\":1,\"name\":\"1995\"}]")) << json;
  EXPECT_EQ(count(json, "\"year\":2,"), 1u);
  EXPECT_FALSE(contains(json, "\"year\":1,\"name\":\"1995\",\"scale\"")) << json;
}

TEST(ReportJson, ShowsThePairsTrustStatisticsWhereGiven) {
  HtmlFacts facts = example_facts({"North", "S", "East"});
  TrustTexts trust;
  trust.ci_low = {"", "0.1", "", "0.2", "-0.9", ""};
  trust.ci_high = {"", "0.8", "", "0.9", "0.1", ""};
  trust.heterogeneity_p = {"", "0.5", "", "", "", ""};  // not for this run: wrong length
  trust.heterogeneity_p.pop_back();
  facts.trust = trust;
  const std::string json = report_json(example_history(), facts);
  EXPECT_TRUE(contains(json, "\"ci_low\":\",0.1,,0.2,-0.9,\",\"ci_high\":\",0.8,,0.9,0.1,\"}]"))
      << json;
  EXPECT_EQ(count(json, "ci_low"), 1u) << "only the state summarised carries them";
  EXPECT_FALSE(contains(json, "heterogeneity_p")) << json;
}

// Leave-one-year-out over the example's two years, made up: 2 groups, the
// run without year 2 changed them (adjusted Rand index 0.25), so the page
// names 1996; each pair's runs together ride with the state summarised.
TEST(ReportJson, HoldsTheLeaveOneYearOutFiguresOfTheStateSummarised) {
  Stability stability;
  stability.groups = 2;
  stability.full_group = {1, 2, 1};
  stability.years_compared = 2;
  stability.runs = {0, 1};
  stability.together = {0, 0, 0, 2, 1, 0};  // (1,2) 0, (1,3) 2, (2,3) 1
  stability.stayed_whole = {2, 1};
  stability.stayed_home = {2, 1, 2};
  stability.adjusted_rand = {1.0, 0.25};
  HtmlFacts facts = example_facts({"North", "S", "East"});
  facts.stability = &stability;
  std::string json = report_json(example_history(), facts);
  EXPECT_TRUE(contains(json, "\"stability\":{\"groups\":2,\"runs\":2,\"years_compared\":2,"
                             "\"full_group\":[1,2,1],\"stayed_whole\":[2,1],"
                             "\"stayed_home\":[2,1,2],\"most_changing\":{\"year\":2,"
                             "\"name\":\"1996\",\"adjusted_rand\":\"0.250\"}}")) << json;
  EXPECT_TRUE(contains(json, "\"together\":\",0,,2,1,\"}]")) << json;
  EXPECT_EQ(count(json, "\"together\""), 1u) << "only the state summarised carries them";

  stability.adjusted_rand = {1.0, 1.0};  // no year's removal changes the groups
  json = report_json(example_history(), facts);
  EXPECT_TRUE(contains(json, "\"most_changing\":null}")) << json;
}

TEST(HtmlReport, IsOnePageWithItsStyleScriptAndDataInside) {
  const std::string page =
      html_report(example_history(), example_facts({"</script><script>alert(1)</script>",
                                                    "Tom & \"Jerry\"", "<!-- report.js -->"}));
  EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_FALSE(contains(page, "<!-- report")) << "every part put in its place";
  EXPECT_TRUE(contains(page, "<style>"));
  EXPECT_TRUE(contains(page, "<script type=\"application/json\" id=\"report-data\">{"));
  // No name closes the data's element or opens another one.
  EXPECT_EQ(count(page, "<script"), count(page, "</script>"));
  EXPECT_EQ(count(page, "<script"), 3u);  // the error catcher, the data, the page's code
  EXPECT_TRUE(contains(page, "\\u003c/script\\u003e\\u003cscript\\u003ealert(1)"));
  EXPECT_TRUE(contains(page, "\"Tom \\u0026 \\\"Jerry\\\"\""));
  // Nothing fetched from elsewhere.
  EXPECT_FALSE(contains(page, "src="));
  EXPECT_FALSE(contains(page, "<link"));
  EXPECT_FALSE(contains(page, "@import"));
  EXPECT_FALSE(contains(page, "https:"));
}

}  // namespace
}  // namespace locprox::summary
