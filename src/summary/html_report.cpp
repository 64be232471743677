#include "summary/html_report.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "job/worker_pool.h"
#include "summary/averages.h"
#include "summary/clustering.h"
#include "summary/colour_scale.h"
#include "summary/errors.h"
#include "summary/number_text.h"
#include "summary/page/page_files.h"
#include "summary/summary_report.h"
#include "summary/trust_report.h"

namespace locprox::summary {

namespace {

// The length of the well-formed UTF-8 character at text[at], or 0.
size_t utf8_length(const std::string& text, size_t at) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(at);
  size_t length = 0;
  unsigned char low = 0x80, high = 0xbf;  // the range of the second byte
  if (lead < 0x80) return 1;
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    if (lead == 0xe0) low = 0xa0;
    if (lead == 0xed) high = 0x9f;  // no surrogates
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    if (lead == 0xf0) low = 0x90;
    if (lead == 0xf4) high = 0x8f;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k) {
    if (byte(at + k) < 0x80 || byte(at + k) > 0xbf) return 0;
  }
  return length;
}

void add_json_text(std::string& out, const std::string& text) {
  out += '"';
  for (size_t at = 0; at < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    const size_t length = utf8_length(text, at);
    if (length == 0) {
      // A name from an old names file may be in another encoding: a byte that
      // is not UTF-8 shows as the replacement character rather than making
      // the page's text invalid.
      out += "\\ufffd";
      ++at;
      continue;
    }
    if (length == 3 && c == 0xe2 && static_cast<unsigned char>(text[at + 1]) == 0x80 &&
        (static_cast<unsigned char>(text[at + 2]) == 0xa8 ||
         static_cast<unsigned char>(text[at + 2]) == 0xa9)) {
      out += static_cast<unsigned char>(text[at + 2]) == 0xa8 ? "\\u2028" : "\\u2029";
    } else if (c == '"') {
      out += "\\\"";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '<' || c == '>' || c == '&' || c < 0x20 || c == 0x7f) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out.append(text, at, length);
    }
    at += length;
  }
  out += '"';
}

void add_key(std::string& out, const char* key) {
  out += '"';
  out += key;
  out += "\":";
}

// A packed triangle of texts as one comma-separated string: far smaller than
// a JSON array of strings, and the page splits it once. A run of three or
// more equal texts is written once, as TEXT*COUNT (no text holds a '*'):
// years compared, degrees of freedom and pale flags are mostly runs, and at
// 600 locations each would otherwise take 360 kB. `write_text(p, text)`
// puts the text of element p into `text`, which it is given empty.
template <typename WriteText>
void add_packed(std::string& out, size_t count, WriteText write_text) {
  out += '"';
  // Each text is made once: the one that ends a run starts the next. The two
  // buffers are reused from element to element.
  std::string text, next;
  if (count > 0) write_text(size_t{0}, text);
  for (size_t p = 0; p < count;) {
    size_t end = p + 1;
    while (end < count) {
      next.clear();
      write_text(end, next);
      if (next != text) break;
      ++end;
    }
    const size_t run = end - p;
    if (p > 0) out += ',';
    out += text;
    if (run >= 3) {
      out += '*';
      append_integer(out, static_cast<std::int64_t>(run));
    } else if (run == 2) {
      out += ',';
      out += text;
    }
    p = end;
    text.swap(next);
  }
  out += '"';
}

YearGroup with_known_flags(const YearGroup& group) {
  YearGroup copy = group;
  if (copy.ngpair_known.empty()) copy.ngpair_known.assign(copy.prox.size(), 1);
  if (copy.nypair_known.empty()) copy.nypair_known.assign(copy.prox.size(), 1);
  return copy;
}

void add_state(std::string& out, const ProximityHistory& history, size_t index,
               const HtmlFacts& facts, bool last) {
  const ProximityFile file{history.dims, history.options,
                           with_known_flags(history.years[index]), 0};
  const YearGroup& group = file.group;
  const size_t ntm = group.prox.size();
  const Averages averages = form_averages(file, facts.keep_z, facts.min_common);
  const PairCounts counts = count_pairs(averages);
  std::vector<std::uint8_t> compared(ntm);
  for (size_t p = 0; p < ntm; ++p) compared[p] = averages.state[p] == PairState::compared;
  const Dendrogram tree = average_linkage(averages.locations, averages.distance, compared);
  const ColourScale scale = scale_for(averages);

  out += '{';
  add_key(out, "year");
  out += std::to_string(group.year);
  out += ',';
  add_key(out, "name");
  add_json_text(out, facts.year_names[index]);
  out += ',';
  add_key(out, "scale");
  out += '[' + number_text(scale.low) + ',' + number_text(scale.high) + "],";
  add_key(out, "counts");
  out += "{\"pairs\":" + std::to_string(counts.pairs) +
         ",\"compared\":" + std::to_string(counts.compared) +
         ",\"never_compared\":" + std::to_string(counts.never_compared) +
         ",\"unknown\":" + std::to_string(counts.unknown) +
         ",\"few_common\":" + std::to_string(counts.few_common) + "},";
  // Per pair: the average as pairs.csv writes it; "" never compared, "?" a
  // count written as asterisks, "-" no average of this measure (a diagonal).
  add_key(out, "values");
  add_packed(out, ntm, [&](size_t p, std::string& text) {
    switch (averages.state[p]) {
      case PairState::compared:
        append_average(text, averages.value[p]);
        break;
      case PairState::never_compared:
        break;
      case PairState::unknown:
        text += '?';
        break;
      case PairState::no_value:
        text += '-';
        break;
    }
  });
  out += ',';
  add_key(out, "common");
  add_packed(out, ntm, [&](size_t p, std::string& text) {
    if (averages.common_known[p]) append_integer(text, averages.common[p]);
  });
  out += ',';
  add_key(out, "years");
  add_packed(out, ntm, [&](size_t p, std::string& text) {
    if (group.nypair_known[p]) append_integer(text, group.nypair[p]);
  });
  out += ',';
  // The merges in the order they happen: [left, right, height], nodes as in
  // Dendrogram (a location is its number - 1, merge k makes node L + k), the
  // height as tree.csv writes it, null when no compared pair joined them.
  add_key(out, "merges");
  out += '[';
  for (size_t k = 0; k < tree.merges.size(); ++k) {
    const Merge& m = tree.merges[k];
    if (k > 0) out += ',';
    out += '[' + std::to_string(m.left) + ',' + std::to_string(m.right) + ',' +
           (m.connected ? '"' + average_text(m.height) + '"' : std::string("null")) + ']';
  }
  out += "],";
  add_key(out, "order");
  out += '[';
  for (size_t k = 0; k < tree.order.size(); ++k) {
    if (k > 0) out += ',';
    out += std::to_string(tree.order[k]);
  }
  out += ']';
  if (last && facts.pale.size() == ntm) {
    out += ',';
    add_key(out, "pale");
    add_packed(out, ntm, [&](size_t p, std::string& text) {
      if (facts.pale[p]) text += '1';
    });
    out += ',';
    add_key(out, "pale_rule");
    add_json_text(out, facts.pale_rule);
  }
  if (last && facts.trust) {
    const TrustTexts& trust = *facts.trust;
    const std::pair<const char*, const TextColumn*> fields[] = {
        {"ci_low", &trust.ci_low},
        {"ci_high", &trust.ci_high},
        {"heterogeneity_q", &trust.heterogeneity_q},
        {"heterogeneity_df", &trust.heterogeneity_df},
        {"heterogeneity_p", &trust.heterogeneity_p},
        {"sd_years", &trust.sd_years},
        {"stability", &trust.stability}};
    for (const auto& [key, texts] : fields) {
      if (texts->size() != ntm) continue;  // not given for this run
      if (texts->all_empty()) continue;  // not a figure of this measure
      out += ',';
      add_key(out, key);
      add_packed(out, ntm, [&](size_t p, std::string& text) { text += (*texts)[p]; });
    }
  }
  if (last && facts.stability && facts.stability->together.size() == ntm) {
    // Per pair of two locations: in how many leave-one-year-out runs they
    // were in one group, as stability.csv writes it; empty on the diagonal.
    out += ',';
    add_key(out, "together");
    const Stability& stability = *facts.stability;
    const std::int32_t maxl = file.dims.maxl;
    std::vector<std::uint8_t> off_diagonal(ntm, 0);
    for (std::int32_t j = 2; j <= maxl; ++j) {
      for (std::int32_t i = 1; i < j; ++i) off_diagonal[packed_index(i, j)] = 1;
    }
    add_packed(out, ntm, [&](size_t p, std::string& text) {
      if (off_diagonal[p]) append_integer(text, stability.together[p]);
    });
  }
  out += '}';
}

// The leave-one-year-out account of the state summarised: the runs, how
// often each group stayed whole and each location stayed in its group, and
// the year whose removal changes the grouping most, as the summary prints it.
void add_stability(std::string& out, const Stability& stability,
                   const ProximityHistory& history, const HtmlFacts& facts) {
  const auto add_numbers = [&](const std::vector<std::int32_t>& numbers) {
    out += '[';
    for (size_t k = 0; k < numbers.size(); ++k) {
      if (k > 0) out += ',';
      out += std::to_string(numbers[k]);
    }
    out += ']';
  };
  out += '{';
  add_key(out, "groups");
  out += std::to_string(stability.groups) + ',';
  add_key(out, "runs");
  out += std::to_string(stability.runs.size()) + ',';
  add_key(out, "years_compared");
  out += std::to_string(stability.years_compared) + ',';
  add_key(out, "full_group");
  add_numbers(stability.full_group);
  out += ',';
  add_key(out, "stayed_whole");
  add_numbers(stability.stayed_whole);
  out += ',';
  add_key(out, "stayed_home");
  add_numbers(stability.stayed_home);
  out += ',';
  add_key(out, "most_changing");
  const std::optional<size_t> worst = most_changing_run(stability);
  if (worst && stability.runs[*worst] < history.years.size()) {
    const size_t year = stability.runs[*worst];
    out += "{\"year\":" + std::to_string(history.years[year].year) + ",\"name\":";
    add_json_text(out, facts.year_names[year]);
    out += ",\"adjusted_rand\":";
    add_json_text(out, adjusted_rand_text(stability.adjusted_rand[*worst]));
    out += '}';
  } else {
    out += "null";
  }
  out += '}';
}

void replace_marker(std::string& page, const std::string& marker, const std::string& text) {
  const size_t at = page.find(marker);
  if (at == std::string::npos) {
    throw OutputError("the built-in report page has no " + marker + " (a fault of the build)");
  }
  page.replace(at, marker.size(), text);
}

}  // namespace

std::string json_string(const std::string& text) {
  std::string out;
  add_json_text(out, text);
  return out;
}

std::vector<size_t> embedded_years(std::int64_t locations, size_t years, std::int64_t budget) {
  const std::int64_t pairs = std::max<std::int64_t>(1, locations * (locations + 1) / 2);
  const size_t fit = static_cast<size_t>(std::max<std::int64_t>(1, budget / pairs));
  const size_t kept = std::min(fit, years);
  std::vector<size_t> indices;
  for (size_t k = years - kept; k < years; ++k) indices.push_back(k);
  return indices;
}

std::string report_json(const ProximityHistory& history, const HtmlFacts& facts) {
  const std::int32_t maxl = history.dims.maxl;
  std::string out = "{";
  add_key(out, "title");
  add_json_text(out, facts.title);
  out += ',';
  add_key(out, "measure");
  add_json_text(out, facts.measure);
  out += ',';
  add_key(out, "weighting");
  add_json_text(out, facts.weighting);
  out += ',';
  add_key(out, "value_label");
  add_json_text(out, facts.value_label);
  out += ',';
  add_key(out, "distance_label");
  add_json_text(out, facts.distance_label);
  out += ',';
  add_key(out, "distance");
  out += history.options.distance() ? "true," : "false,";
  add_key(out, "min_common");
  out += std::to_string(facts.min_common) + ',';
  add_key(out, "locations");
  out += '[';
  for (std::int32_t i = 0; i < maxl; ++i) {
    if (i > 0) out += ',';
    add_json_text(out, facts.names[static_cast<size_t>(i)]);
  }
  out += "],";
  // The colours of the picture: never compared, unknown count, the diagonal,
  // no value, the dot of a thin pair, then the scale's steps and their pale
  // copies for pairs on too few entries.
  const std::vector<Rgb> palette = heatmap_palette();
  add_key(out, "colours");
  out += "{\"no_value\":\"" + hex(palette[kNoValue]) + "\",\"never_compared\":\"" +
         hex(palette[kNeverCompared]) + "\",\"unknown\":\"" + hex(palette[kUnknown]) +
         "\",\"marker\":\"" + hex(palette[kMarker]) + "\",\"diagonal\":\"" +
         hex(palette[kDiagonal]) + "\",\"steps\":[";
  for (int level = 0; level < 2 * kLevels; ++level) {
    if (level > 0) out += ',';
    out += '"' + hex(palette[static_cast<size_t>(kFirstLevel + level)]) + '"';
  }
  out += "]},";
  add_key(out, "files");
  out += '[';
  for (size_t k = 0; k < facts.files.size(); ++k) {
    if (k > 0) out += ',';
    add_json_text(out, facts.files[k]);
  }
  out += "],";
  const std::vector<size_t> kept =
      embedded_years(maxl, history.years.size(), facts.budget);
  add_key(out, "years_left_out");
  out += '[';
  const size_t first_kept = kept.empty() ? history.years.size() : kept.front();
  for (size_t k = 0; k < first_kept; ++k) {
    if (k > 0) out += ',';
    out += "{\"year\":" + std::to_string(history.years[k].year) + ",\"name\":";
    add_json_text(out, facts.year_names[k]);
    out += '}';
  }
  out += "],";
  if (facts.groups) {
    add_key(out, "groups");
    out += std::to_string(*facts.groups) + ',';
  }
  if (facts.stability && facts.stability->full_group.size() == static_cast<size_t>(maxl)) {
    add_key(out, "stability");
    add_stability(out, *facts.stability, history, facts);
    out += ',';
  }
  add_key(out, "budget");
  out += std::to_string(facts.budget) + ',';
  add_key(out, "states");
  out += '[';
  // Each state's averages, tree and texts are its own: they are made on
  // facts.threads threads and joined in order (the same text as one after
  // another).
  std::vector<std::string> states(kept.size());
  auto make_state = [&](size_t k) {
    add_state(states[k], history, kept[k], facts, k + 1 == kept.size());
  };
  WorkerPool pool(static_cast<unsigned>(std::min<size_t>(std::max(1u, facts.threads), kept.size())));
  pool.run(kept.size(), make_state);
  for (size_t k = 0; k < states.size(); ++k) {
    if (k > 0) out += ',';
    out += states[k];
  }
  out += "]}";
  return out;
}

std::string html_report(const ProximityHistory& history, const HtmlFacts& facts) {
  std::string page(page::kReportHtml);
  replace_marker(page, "<!-- report.css -->",
                 "<style>\n" + std::string(page::kReportCss) + "</style>");
  replace_marker(page, "<!-- report data -->",
                 "<script type=\"application/json\" id=\"report-data\">" +
                     report_json(history, facts) + "</script>");
  replace_marker(page, "<!-- report.js -->",
                 "<script>\n" + std::string(page::kReportJs) + "</script>");
  return page;
}

TextColumn::TextColumn(std::initializer_list<std::string_view> texts) {
  for (std::string_view text : texts) push_back(text);
}

void TextColumn::pop_back() {
  ends_.pop_back();
  chars_.resize(ends_.empty() ? 0 : ends_.back());
}

void TextColumn::reserve(size_t texts, size_t chars) {
  ends_.reserve(texts);
  chars_.reserve(chars);
}

TrustTexts trust_texts(const std::vector<PairTrust>& trust) {
  TrustTexts texts;
  const auto add = [](TextColumn& column, const std::optional<double>& value) {
    column.add([&](std::string& chars) {
      if (value) append_average(chars, *value);
    });
  };
  for (TextColumn* column : {&texts.ci_low, &texts.ci_high, &texts.heterogeneity_q,
                             &texts.heterogeneity_p, &texts.sd_years}) {
    column->reserve(trust.size(), trust.size() * 8);
  }
  texts.heterogeneity_df.reserve(trust.size(), trust.size() * 2);
  for (const PairTrust& t : trust) {
    add(texts.ci_low, t.ci_low);
    add(texts.ci_high, t.ci_high);
    add(texts.heterogeneity_q, t.q);
    texts.heterogeneity_df.add([&](std::string& chars) {
      if (t.df) append_integer(chars, *t.df);
    });
    add(texts.heterogeneity_p, t.p);
    add(texts.sd_years, t.sd_years);
  }
  return texts;
}

std::string summary_page(const CommandLine& command, const ShownNames& shown,
                         const ProximityHistory& history,
                         const std::vector<std::string>& year_names, const std::string& stem,
                         const std::vector<PairTrust>& trust, std::optional<std::int32_t> groups,
                         const std::vector<std::uint8_t>& pale, const std::string& pale_rule,
                         const Stability* stability) {
  const std::string base = std::filesystem::path(stem).filename().string();
  HtmlFacts facts;
  facts.title = shown.title.empty() ? base : shown.title;
  facts.measure = measure_text(history.options, command.keep_z);
  facts.weighting = weighting_text(history.options);
  facts.value_label = value_label(history.options, command.keep_z);
  facts.distance_label = distance_label(history.options);
  facts.names = shown.locations;
  facts.year_names = year_names;
  facts.min_common = command.min_common;
  facts.keep_z = command.keep_z;
  facts.groups = groups;
  facts.stability = stability;
  facts.trust = trust_texts(trust);
  facts.threads = command.threads == 0 ? default_thread_count() : command.threads;
  if (!pale_rule.empty()) {
    facts.pale = pale;
    facts.pale_rule = pale_rule;
  }
  for (const char* suffix :
       {".pairs.csv", ".matrix.csv", ".tree.csv", ".years.csv", ".groups.csv", ".svg"}) {
    facts.files.push_back(base + suffix);
  }
  if (groups) facts.files.push_back(base + ".stability.csv");
  return html_report(history, facts);
}

}  // namespace locprox::summary
