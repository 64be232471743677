#include "format/layout.h"

#include <cctype>
#include <stdexcept>

namespace locprox {
namespace {

class LayoutParser {
 public:
  LayoutParser(std::string_view notation, std::vector<LayoutItem>& items)
      : text_(notation), items_(items) {}

  // Parses a list of items up to `closing` (')' inside a group, '\0' at the
  // end of the layout). Returns the index in `items_` where the last group met
  // at this level began, or npos when there was none.
  std::size_t parse_list(char closing) {
    std::size_t last_group = npos;
    for (;;) {
      skip_separators();
      if (at_end()) {
        if (closing != '\0') fail("missing ')'");
        return last_group;
      }
      char c = peek();
      if (c == ')') {
        if (closing != ')') fail("unbalanced ')'");
        ++pos_;
        return last_group;
      }
      if (c == '$') {
        ++pos_;
        skip_separators();
        if (!at_end() || closing != '\0') fail("'$' must end the layout");
        open_end_ = true;
        return last_group;
      }
      if (c == '"' || c == '\'') {
        push({LayoutItem::Kind::kText, 0, 0, quoted(c)});
        continue;
      }
      if (c == '/') {
        ++pos_;
        push({LayoutItem::Kind::kRecordEnd, 0, 0, {}});
        continue;
      }
      int repeat = 1;
      bool has_count = std::isdigit(static_cast<unsigned char>(c)) != 0;
      if (has_count) repeat = number();
      if (at_end()) fail("count without an item");
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(peek())));
      if (c == '(') {
        ++pos_;
        std::size_t start = items_.size();
        parse_list(')');
        std::vector<LayoutItem> group(items_.begin() + static_cast<std::ptrdiff_t>(start),
                                      items_.end());
        for (int r = 1; r < repeat; ++r) items_.insert(items_.end(), group.begin(), group.end());
        last_group = start;
        continue;
      }
      ++pos_;
      LayoutItem item{LayoutItem::Kind::kBlanks, 0, 0, {}};
      switch (c) {
        case 'X':
          // nX is n blanks: the count is the width, not a repeat.
          push({LayoutItem::Kind::kBlanks, repeat, 0, {}});
          continue;
        case 'I':
          item = {LayoutItem::Kind::kInteger, required_number(), 0, {}};
          break;
        case 'F':
        case 'E':
          item.kind = c == 'F' ? LayoutItem::Kind::kFixed : LayoutItem::Kind::kExponent;
          item.width = required_number();
          if (at_end() || peek() != '.') fail("missing '.d'");
          ++pos_;
          item.decimals = required_number();
          break;
        case 'A':
          item.kind = LayoutItem::Kind::kCharacter;
          item.width =
              (!at_end() && std::isdigit(static_cast<unsigned char>(peek()))) ? number() : 0;
          break;
        default:
          fail("unknown item");
      }
      for (int r = 0; r < repeat; ++r) push(item);
    }
  }

  bool open_end() const { return open_end_; }

 private:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  bool at_end() const { return pos_ >= text_.size(); }
  char peek() const { return text_[pos_]; }
  void skip_separators() {
    while (!at_end() && (peek() == ',' || peek() == ' ')) ++pos_;
  }
  int number() {
    int value = 0;
    while (!at_end() && std::isdigit(static_cast<unsigned char>(peek()))) {
      value = value * 10 + (peek() - '0');
      if (value > 100000) fail("count too large");
      ++pos_;
    }
    return value;
  }
  int required_number() {
    if (at_end() || !std::isdigit(static_cast<unsigned char>(peek()))) fail("missing width");
    return number();
  }
  std::string quoted(char quote) {
    std::size_t close = text_.find(quote, pos_ + 1);
    if (close == std::string_view::npos) fail("unterminated text");
    std::string text(text_.substr(pos_ + 1, close - pos_ - 1));
    pos_ = close + 1;
    return text;
  }
  void push(LayoutItem item) { items_.push_back(std::move(item)); }
  [[noreturn]] void fail(const char* what) const {
    throw std::invalid_argument("layout \"" + std::string(text_) + "\": " + what);
  }

  std::string_view text_;
  std::vector<LayoutItem>& items_;
  std::size_t pos_ = 0;
  bool open_end_ = false;
};

// True when the notation is wrapped in one pair of parentheses that belongs
// to the notation itself: "(I5,1X,49I5)" but not "4(5X,A1)" or "(A)/(A)".
bool wrapped_in_parentheses(std::string_view notation) {
  while (!notation.empty() && notation.back() == ' ') notation.remove_suffix(1);
  if (notation.size() < 2 || notation.front() != '(' || notation.back() != ')') return false;
  int depth = 0;
  char quote = '\0';
  for (std::size_t i = 0; i < notation.size(); ++i) {
    char c = notation[i];
    if (quote != '\0') {
      if (c == quote) quote = '\0';
      continue;
    }
    if (c == '"' || c == '\'') quote = c;
    if (c == '(') ++depth;
    if (c == ')' && --depth == 0 && i + 1 != notation.size()) return false;
  }
  return true;
}

}  // namespace

Layout::Layout(std::string_view notation) {
  bool trailing_dollar = false;
  std::string_view body = notation;
  while (!body.empty() && body.back() == ' ') body.remove_suffix(1);
  if (!body.empty() && body.back() == '$') {
    trailing_dollar = true;
    body.remove_suffix(1);
    while (!body.empty() && (body.back() == ' ' || body.back() == ',')) body.remove_suffix(1);
  }
  if (wrapped_in_parentheses(body)) body = body.substr(1, body.size() - 2);
  LayoutParser parser(body, items_);
  std::size_t last_group = parser.parse_list('\0');
  reversion_index_ = last_group == static_cast<std::size_t>(-1) ? 0 : last_group;
  leaves_record_open_ = trailing_dollar || parser.open_end();
  for (const LayoutItem& item : items_) has_data_items_ = has_data_items_ || item.is_data();
  // From the end: each data item's run of like data items (itself included).
  like_run_.assign(items_.size(), 0);
  for (std::size_t i = items_.size(); i-- > 0;) {
    const LayoutItem& item = items_[i];
    if (!item.is_data()) continue;
    like_run_[i] = 1;
    if (i + 1 < items_.size()) {
      const LayoutItem& next = items_[i + 1];
      if (next.kind == item.kind && next.width == item.width && next.decimals == item.decimals) {
        like_run_[i] += like_run_[i + 1];
      }
    }
  }
}

}  // namespace locprox
