// STEM.html: one self-contained page that a breeder opens from disk and
// shares by e-mail. The page's HTML, CSS and JavaScript (src/summary/page/)
// are built into the program; the data goes into the page as one JSON object
// in a <script type="application/json"> block. Every number the page shows is
// written here, as the CSV files write it: the page only picks, sorts and
// draws.
//
// The data holds the running state after each year of the sequence up to
// the year summarised: the averages, entries in common and years compared of
// every pair, and that state's clustering (merges and drawing order, from
// which the page cuts the groups as cut_tree does). Its size grows with
// pairs x years, so at most kPairYearBudget of them are embedded: beyond it
// the page holds the latest states that fit (the year summarised always) and
// names the years left out.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "summary/command_line.h"
#include "summary/pair_trust.h"
#include "summary/proximity_reader.h"
#include "summary/shown_names.h"
#include "summary/stability.h"

namespace locprox::summary {

// Pairs (L(L+1)/2, diagonal included) times embedded years. About 20 bytes
// each: 600 locations (180,300 pairs) keep one state, about 4 MB.
inline constexpr std::int64_t kPairYearBudget = 300000;

// Optional per-pair statistics of the state summarised, packed upper
// triangles like the averages (see packed_index); each field is shown when
// present. Values are already text, as the CSV files show them; an empty
// text is "not available" for that pair.
// A column of texts, one per pair, kept end to end with the end of each: a
// few allocations for the whole column, where 180,000 strings each took an
// object of their own and the memory for it had to be cleared and copied as
// the vector grew.
class TextColumn {
 public:
  TextColumn() = default;
  TextColumn(std::initializer_list<std::string_view> texts);

  // Adds the text that `write` appends to the string it is given.
  template <typename Write>
  void add(Write write) {
    write(chars_);
    ends_.push_back(chars_.size());
  }
  void push_back(std::string_view text) {
    add([text](std::string& chars) { chars += text; });
  }
  void pop_back();
  void reserve(size_t texts, size_t chars);

  size_t size() const { return ends_.size(); }
  // Whether every text is empty (or there is none).
  bool all_empty() const { return chars_.empty(); }
  std::string_view operator[](size_t k) const {
    const size_t begin = k == 0 ? 0 : ends_[k - 1];
    return std::string_view(chars_).substr(begin, ends_[k] - begin);
  }

 private:
  std::string chars_;
  std::vector<size_t> ends_;
};

struct TrustTexts {
  TextColumn ci_low, ci_high;
  TextColumn heterogeneity_q, heterogeneity_df, heterogeneity_p;
  TextColumn sd_years;   // the spread of the yearly values
  TextColumn stability;  // the leave-one-year-out stability, as text
};

struct HtmlFacts {
  std::string title;           // the job's title, or the stem
  std::string measure;         // measure_text()
  std::string weighting;       // weighting_text()
  std::string value_label;     // value_label()
  std::string distance_label;  // distance_label()
  std::vector<std::string> names;       // the locations' names, by number
  std::vector<std::string> year_names;  // one for each of history.years
  std::int64_t min_common = 10;
  bool keep_z = false;
  // The files written beside the page, by their names (relative links).
  std::vector<std::string> files;
  std::optional<TrustTexts> trust;
  // The state summarised's pale cells as the picture draws them (packed,
  // 1 pale), and the rule that made them; empty: the page pales the pairs
  // on fewer than min_common entries, as for every earlier state.
  std::vector<std::uint8_t> pale;
  std::string pale_rule;
  // The number of groups the page opens with (its address may ask for
  // another); without it, two.
  std::optional<std::int32_t> groups;
  std::int64_t budget = kPairYearBudget;
  // Threads that make the embedded states (the same text for any number).
  unsigned threads = 1;
  // The leave-one-year-out figures of the state summarised, when the summary
  // grouped it (not owned; its group numbers are the summary's).
  const Stability* stability = nullptr;
};

// The indices into history.years of the states embedded: the latest that fit
// the budget, at least the last one, in ascending order.
std::vector<size_t> embedded_years(std::int64_t locations, size_t years, std::int64_t budget);

// The data object of the page, as JSON text safe inside a <script> element.
// `history.years` ends with the year summarised.
std::string report_json(const ProximityHistory& history, const HtmlFacts& facts);

// The whole page around report_json's object.
std::string html_report(const ProximityHistory& history, const HtmlFacts& facts);

// The page as locprox-summary writes it to STEM.html: the facts from the
// command line and the names, the links to the files written beside it.
// `year_names[k]` names history.years[k].
// `trust`: the pairs' trust figures of the state summarised; `groups`: the
// number of groups the summary printed, if any (its stability file is then
// beside the page), and `stability` its leave-one-year-out figures (or null);
// `pale`, `pale_rule`: as HtmlFacts.
std::string summary_page(const CommandLine& command, const ShownNames& shown,
                         const ProximityHistory& history,
                         const std::vector<std::string>& year_names, const std::string& stem,
                         const std::vector<PairTrust>& trust, std::optional<std::int32_t> groups,
                         const std::vector<std::uint8_t>& pale, const std::string& pale_rule,
                         const Stability* stability = nullptr);

// The trust figures as text, as pairs.csv writes them.
TrustTexts trust_texts(const std::vector<PairTrust>& trust);

// A JSON string literal of `text`, with <, >, & and the line separators
// escaped so that no text can close the <script> element around it.
std::string json_string(const std::string& text);

}  // namespace locprox::summary
