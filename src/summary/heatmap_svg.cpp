#include "summary/heatmap_svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "summary/colour_scale.h"
#include "summary/png_image.h"

namespace locprox::summary {

namespace {

constexpr int kMargin = 12;
constexpr int kHeatmapTarget = 720;  // the heatmap's side is about this many pixels
constexpr int kMaxCell = 60;
constexpr int kTitleHeight = 58;
constexpr int kLegendHeight = 58;
constexpr int kDendrogramWidth = 200;
constexpr int kUnconnectedBand = 28;  // room left of the tree for joins with no compared pair
constexpr int kGap = 6;
constexpr int kMinFont = 8;
constexpr int kMaxFont = 12;
constexpr int kMinWidth = 880;  // room for the title, the colour scale and its swatches
// Up to this many locations each cell shows its value.
constexpr std::int32_t kMostLabelledLocations = 20;
// Longer names are cut for the picture's labels (the CSV files keep them whole).
constexpr int kLongestLabel = 40;

// Appends the pieces in order (no temporaries of the whole text).
template <typename... Parts>
void put(std::string& out, const Parts&... parts) {
  (out.append(std::string_view(parts)), ...);
}

std::string num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

// Tick values of the colour scale with just enough decimals to tell them apart.
std::string tick_text(double value, double step) {
  char text[32];
  const double magnitude = std::max(std::fabs(value), std::fabs(step));
  if (magnitude >= 1e5 || (magnitude > 0 && magnitude < 1e-4)) {
    std::snprintf(text, sizeof text, "%.3g", value);
  } else {
    int decimals = step > 0 ? std::max(0, 1 - static_cast<int>(std::floor(std::log10(step)))) : 2;
    decimals = std::min(decimals, 6);
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    if (std::string(text).find_first_not_of("-0.") == std::string::npos) return "0";
  }
  return text;
}

// The number of characters a label shows (UTF-8 continuation bytes do not count).
int shown_length(const std::string& text) {
  int length = 0;
  for (char c : text) length += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return length;
}

// A name as a label: cut to kLongestLabel characters, with an ellipsis.
std::string label_text(const std::string& name) {
  if (shown_length(name) <= kLongestLabel) return name;
  std::string out;
  int shown = 0;
  for (char c : name) {
    const bool starts_character = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (starts_character && ++shown == kLongestLabel) break;
    out += c;
  }
  return out + "\u2026";
}

bool shows_values(std::int32_t n) {
  return n <= kMostLabelledLocations;
}

struct Geometry {
  std::int32_t n = 0;
  int cell = 1;  // pixels per cell
  int side = 0;  // the heatmap's side
  int font = kMinFont;
  int label_step = 1;  // every label_step-th location is named
  int label_room = 0;  // width of the row labels, height of the column labels
  int dendrogram_x = kMargin;
  int leaves_x = 0;  // where the tree meets the rows
  int heatmap_x = 0;
  int heatmap_y = 0;
  int width = 0;
  int height = 0;
};

Geometry layout(std::int32_t n, const std::vector<std::string>& names) {
  Geometry g;
  g.n = n;
  g.cell = std::clamp(kHeatmapTarget / std::max(n, 1), 1, kMaxCell);
  g.side = g.cell * n;
  g.font = std::clamp(g.cell - 1, kMinFont, kMaxFont);
  g.label_step = std::max(1, (g.font + 1 + g.cell - 1) / g.cell);
  int longest = 1;
  for (const std::string& name : names) longest = std::max(longest, shown_length(label_text(name)));
  g.label_room = static_cast<int>(std::ceil(longest * 0.62 * g.font)) + 8;
  g.leaves_x = g.dendrogram_x + kDendrogramWidth + kUnconnectedBand;
  g.heatmap_x = g.leaves_x + kGap;
  g.heatmap_y = kMargin + kTitleHeight + kLegendHeight;
  g.width = std::max(g.heatmap_x + g.side + 4 + g.label_room + kMargin, kMinWidth);
  g.height = g.heatmap_y + g.side + 4 + std::max(g.label_room, 40) + kMargin;
  return g;
}

std::string cells_image(const Averages& averages, const Dendrogram& tree, const Geometry& g,
                        const ColourScale& scale) {
  const std::int32_t n = g.n;
  const int k = g.cell;
  std::vector<std::uint8_t> pixels(static_cast<size_t>(g.side) * g.side, kNoValue);
  // A dot in a flagged cell once the cell is big enough for it to stand
  // clear of the cell's edges: in the middle, or in the lower right corner
  // when the middle shows the value.
  const bool values = shows_values(n);
  const int dot = k >= 5 ? std::max(1, values ? k / 8 : k / 4) : 0;
  const int dot_from = values ? k - k / 10 - dot : (k - dot) / 2;
  for (std::int32_t r = 0; r < n; ++r) {
    const std::int32_t a = tree.order[r] + 1;
    for (std::int32_t c = 0; c < n; ++c) {
      const std::int32_t b = tree.order[c] + 1;
      const size_t p = a <= b ? packed_index(a, b) : packed_index(b, a);
      std::uint8_t colour = kNoValue;
      switch (averages.state[p]) {
        case PairState::compared:
          // A location's correlation with itself is 1: drawn apart, so
          // that it is not read as the top of the scale.
          colour = a == b ? std::uint8_t{kDiagonal}
                          : scale.index(averages.value[p], averages.few_common[p]);
          break;
        case PairState::never_compared:
          colour = kNeverCompared;
          break;
        case PairState::unknown:
          colour = kUnknown;
          break;
        case PairState::no_value:
          break;
      }
      const bool marked =
          dot > 0 && a != b && averages.state[p] == PairState::compared && averages.few_common[p];
      for (int y = 0; y < k; ++y) {
        std::uint8_t* row =
            pixels.data() + (static_cast<size_t>(r) * k + y) * g.side + static_cast<size_t>(c) * k;
        std::fill(row, row + k, colour);
        if (marked && y >= dot_from && y < dot_from + dot) {
          std::fill(row + dot_from, row + dot_from + dot, kMarker);
        }
      }
    }
  }
  return encode_png(g.side, g.side, palette_bytes(heatmap_palette()), pixels);
}

void draw_dendrogram(std::string& svg, const Dendrogram& tree, const Geometry& g,
                     const std::string& height_label) {
  const std::int32_t n = g.n;
  std::vector<double> y(static_cast<size_t>(n) + tree.merges.size());
  std::vector<double> x(y.size(), g.leaves_x);
  for (std::int32_t r = 0; r < n; ++r) {
    y[static_cast<size_t>(tree.order[r])] = g.heatmap_y + (r + 0.5) * g.cell;
  }
  double top = 0.0;
  for (const Merge& m : tree.merges) {
    if (m.connected) top = std::max(top, m.height);
  }
  if (!(top > 0.0)) top = 1.0;
  const double finite_left = g.dendrogram_x + kUnconnectedBand;
  auto x_of = [&](double h) {
    return g.leaves_x - std::clamp(h, 0.0, top) / top * (g.leaves_x - finite_left);
  };
  std::string joined, unjoined;
  for (size_t k = 0; k < tree.merges.size(); ++k) {
    const Merge& m = tree.merges[k];
    const size_t node = static_cast<size_t>(n) + k;
    const size_t left = static_cast<size_t>(m.left);
    const size_t right = static_cast<size_t>(m.right);
    x[node] = m.connected ? x_of(m.height) : g.dendrogram_x;
    y[node] = (y[left] + y[right]) / 2;
    put(m.connected ? joined : unjoined, "M", num(x[left]), " ", num(y[left]), "H", num(x[node]),
        "V", num(y[right]), "H", num(x[right]));
  }
  const std::string stroke = num(g.cell >= 4 ? 1.0 : 0.6);
  if (!joined.empty()) {
    put(svg, "<path d=\"", joined, "\" fill=\"none\" stroke=\"", kTreeLineColour,
        "\" stroke-width=\"", stroke, "\"/>\n");
  }
  if (!unjoined.empty()) {
    put(svg, "<path d=\"", unjoined, "\" fill=\"none\" stroke=\"", kUnjoinedLineColour,
        "\" stroke-width=\"", stroke, "\" stroke-dasharray=\"3 2\"/>\n");
    put(svg, "<text x=\"", num(g.dendrogram_x), "\" y=\"", num(g.heatmap_y - 4),
        "\" font-size=\"9\" fill=\"", kNoteTextColour,
        "\">dashed: joined with no compared pair</text>\n");
  }
  // The height axis under the tree: 0 at the leaves, the highest join at the left.
  const double axis_y = g.heatmap_y + g.side + 8;
  put(svg, "<path d=\"M", num(finite_left), " ", num(axis_y), "H", num(g.leaves_x), "M",
      num(finite_left), " ", num(axis_y), "v4M", num(g.leaves_x), " ", num(axis_y),
      "v4\" stroke=\"", kTreeLineColour, "\" fill=\"none\"/>\n");
  put(svg, "<text x=\"", num(g.leaves_x), "\" y=\"", num(axis_y + 15),
      "\" font-size=\"10\" text-anchor=\"middle\">0</text>\n");
  put(svg, "<text x=\"", num(finite_left), "\" y=\"", num(axis_y + 15),
      "\" font-size=\"10\" text-anchor=\"middle\">", tick_text(top, top / 4), "</text>\n");
  put(svg, "<text x=\"", num((finite_left + g.leaves_x) / 2), "\" y=\"", num(axis_y + 28),
      "\" font-size=\"10\" text-anchor=\"middle\">", xml_escape(height_label), "</text>\n");
}

void draw_labels(std::string& svg, const Dendrogram& tree, const Geometry& g,
                 const std::vector<std::string>& names) {
  put(svg, "<g font-size=\"", std::to_string(g.font), "\" fill=\"", kTextColour, "\">\n");
  const double lift = g.font * 0.35;  // from the text's baseline to its middle
  for (std::int32_t r = 0; r < g.n; r += g.label_step) {
    const std::string name = xml_escape(label_text(names[static_cast<size_t>(tree.order[r])]));
    const double centre = (r + 0.5) * g.cell;
    put(svg, "<text x=\"", num(g.heatmap_x + g.side + 4), "\" y=\"",
        num(g.heatmap_y + centre + lift), "\">", name, "</text>\n");
    put(svg, "<text transform=\"translate(", num(g.heatmap_x + centre + lift), " ",
        num(g.heatmap_y + g.side + 4), ") rotate(-90)\" text-anchor=\"end\">", name, "</text>\n");
  }
  svg += "</g>\n";
}

// The decimals the cells show: two for correlations (0.79), three for small
// distances (0.012), and about three significant digits of the largest
// otherwise (5.31, 45.6, 1234).
int value_decimals(const Averages& averages) {
  double largest = 0.0;
  for (std::int32_t j = 2; j <= averages.locations; ++j) {
    for (std::int32_t i = 1; i < j; ++i) {
      const size_t p = packed_index(i, j);
      if (averages.state[p] == PairState::compared)
        largest = std::max(largest, std::fabs(averages.value[p]));
    }
  }
  if (!(largest > 0.0)) return 2;
  if (largest <= 1.0) return largest < 0.1 ? 3 : 2;
  return std::clamp(2 - static_cast<int>(std::floor(std::log10(largest))), 0, 2);
}

// Each compared cell off the diagonal shows its average, in dark text on a
// light cell and in white on a dark one.
void draw_values(std::string& svg, const Averages& averages, const Dendrogram& tree,
                 const Geometry& g, const ColourScale& scale) {
  const std::vector<Rgb> palette = heatmap_palette();
  const int decimals = value_decimals(averages);
  const double font = std::clamp(g.cell * 0.3, 7.0, 12.0);
  put(svg, "<g font-size=\"", num(font), "\" text-anchor=\"middle\">\n");
  for (std::int32_t r = 0; r < g.n; ++r) {
    const std::int32_t a = tree.order[r] + 1;
    for (std::int32_t col = 0; col < g.n; ++col) {
      const std::int32_t b = tree.order[col] + 1;
      const size_t p = a <= b ? packed_index(a, b) : packed_index(b, a);
      if (a == b || averages.state[p] != PairState::compared) continue;
      const double value = averages.value[p];
      const Rgb& colour = palette[scale.index(value, averages.few_common[p])];
      char text[32];
      std::snprintf(text, sizeof text, "%.*f", decimals, value);
      if (std::string_view(text).find_first_not_of("-0.") == std::string_view::npos) {
        std::snprintf(text, sizeof text, "%.*f", decimals, 0.0);  // no "-0.00"
      }
      put(svg, "<text x=\"", num(g.heatmap_x + (col + 0.5) * g.cell), "\" y=\"",
          num(g.heatmap_y + (r + 0.5) * g.cell + font * 0.35), "\"", " fill=\"",
          text_colour_on(colour), "\">", text, "</text>");
    }
    svg += "\n";
  }
  svg += "</g>\n";
}

void draw_legend(std::string& svg, const ColourScale& scale, const Geometry& g,
                 const PictureText& text, bool any_unknown, bool any_diagonal) {
  const double x = g.dendrogram_x + 16;  // room for half of the first tick's text
  const double y = kMargin + kTitleHeight;
  constexpr double kBarWidth = 260;
  put(svg, "<text x=\"", num(x), "\" y=\"", num(y + 10), "\" font-size=\"11\">",
      xml_escape(text.scale_label), "</text>\n");
  svg += "<defs><linearGradient id=\"scale\">";
  for (int s = 0; s <= 10; ++s) {
    put(svg, "<stop offset=\"", num(s / 10.0), "\" stop-color=\"", scale_colour(s / 10.0), "\"/>");
  }
  svg += "</linearGradient></defs>\n";
  put(svg, "<rect x=\"", num(x), "\" y=\"", num(y + 16), "\" width=\"", num(kBarWidth),
      "\" height=\"12\" fill=\"url(#scale)\" stroke=\"", kFrameColour,
      "\" stroke-width=\"0.5\"/>\n");
  constexpr int kTicks = 4;
  const double step = (scale.high - scale.low) / kTicks;
  for (int t = 0; t <= kTicks; ++t) {
    const double tx = x + kBarWidth * t / kTicks;
    put(svg, "<path d=\"M", num(tx), " ", num(y + 28), "v3\" stroke=\"", kFrameColour, "\"/>");
    put(svg, "<text x=\"", num(tx), "\" y=\"", num(y + 42),
        "\" font-size=\"10\" text-anchor=\"middle\">", tick_text(scale.low + step * t, step),
        "</text>\n");
  }
  // Swatches for the cells that are not on the scale, in two rows beside it.
  const std::vector<Rgb> palette = heatmap_palette();
  const double row_x = x + kBarWidth + 24;
  double sx = row_x;
  double sy = y + 16;
  auto swatch = [&](const std::string& fill, const std::string& label, bool dot) {
    put(svg, "<rect x=\"", num(sx), "\" y=\"", num(sy), "\" width=\"12\" height=\"12\" fill=\"",
        fill, "\" stroke=\"", kFrameColour, "\" stroke-width=\"0.5\"/>");
    if (dot) {
      put(svg, "<rect x=\"", num(sx + 4.5), "\" y=\"", num(sy + 4.5),
          "\" width=\"3\" height=\"3\" fill=\"", hex(palette[kMarker]), "\"/>");
    }
    put(svg, "<text x=\"", num(sx + 16), "\" y=\"", num(sy + 10), "\" font-size=\"10\">",
        xml_escape(label), "</text>\n");
    sx += 16 + shown_length(label) * 5.6 + 14;
  };
  swatch(hex(palette[kNeverCompared]), "never compared", false);
  swatch(hex(palette[kFirstLevel + kLevels + kLevels / 2]),
         text.pale_rule.empty()
             ? "pale: fewer than " + std::to_string(text.min_common) + " entries in common"
             : "pale: " + text.pale_rule,
         true);
  sx = row_x;
  sy += 18;
  if (any_diagonal) {
    swatch(hex(palette[kDiagonal]), "diagonal: a location with itself, r = 1, not on the scale",
           false);
  }
  if (any_unknown) swatch(hex(palette[kUnknown]), "count too wide (unknown)", false);
}

}  // namespace

std::string base64(const std::string& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    std::uint32_t v = (static_cast<std::uint8_t>(bytes[i]) << 16) |
                      (static_cast<std::uint8_t>(bytes[i + 1]) << 8) |
                      static_cast<std::uint8_t>(bytes[i + 2]);
    out += kDigits[(v >> 18) & 63];
    out += kDigits[(v >> 12) & 63];
    out += kDigits[(v >> 6) & 63];
    out += kDigits[v & 63];
  }
  if (i < bytes.size()) {
    std::uint32_t v = static_cast<std::uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
    out += kDigits[(v >> 18) & 63];
    out += kDigits[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string xml_escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        // XML 1.0 forbids most control characters even as references.
        out += (static_cast<unsigned char>(c) < 0x20 && c != '\t') ? '?' : c;
    }
  }
  return out;
}

std::string heatmap_svg(const Averages& averages, const Dendrogram& tree,
                        const std::vector<std::string>& names, const PictureText& text) {
  const Geometry g = layout(averages.locations, names);
  const ColourScale scale = scale_for(averages);
  bool any_unknown = false;
  for (PairState s : averages.state) any_unknown |= s == PairState::unknown;
  bool any_diagonal = false;
  for (std::int32_t i = 1; i <= averages.locations; ++i)
    any_diagonal |= averages.state[packed_index(i, i)] == PairState::compared;
  const std::string width = std::to_string(g.width);
  const std::string height = std::to_string(g.height);
  const std::string side = std::to_string(g.side);
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  put(svg,
      "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
      "width=\"",
      width, "\" height=\"", height, "\" viewBox=\"0 0 ", width, " ", height,
      "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\">\n");
  put(svg, "<rect width=\"100%\" height=\"100%\" fill=\"", kBackgroundColour, "\"/>\n");
  put(svg, "<text x=\"", num(kMargin), "\" y=\"", num(kMargin + 14),
      "\" font-size=\"15\" font-weight=\"bold\">", xml_escape(text.title), "</text>\n");
  put(svg, "<text x=\"", num(kMargin), "\" y=\"", num(kMargin + 32), "\" font-size=\"11\">",
      xml_escape(text.subtitle), "</text>\n");
  put(svg, "<text x=\"", num(kMargin), "\" y=\"", num(kMargin + 47), "\" font-size=\"11\">",
      xml_escape(text.counts), "</text>\n");
  draw_legend(svg, scale, g, text, any_unknown, any_diagonal);
  // Drawn at exactly one image pixel per screen pixel; viewers that zoom
  // are asked to keep the cells sharp.
  put(svg, "<image x=\"", num(g.heatmap_x), "\" y=\"", num(g.heatmap_y), "\" width=\"", side,
      "\" height=\"", side,
      "\" preserveAspectRatio=\"none\" image-rendering=\"optimizeSpeed\" "
      "style=\"image-rendering:pixelated\" xlink:href=\"data:image/png;base64,",
      base64(cells_image(averages, tree, g, scale)), "\"/>\n");
  put(svg, "<rect x=\"", num(g.heatmap_x), "\" y=\"", num(g.heatmap_y), "\" width=\"", side,
      "\" height=\"", side, "\" fill=\"none\" stroke=\"", kFrameColour,
      "\" stroke-width=\"0.5\"/>\n");
  if (shows_values(g.n)) draw_values(svg, averages, tree, g, scale);
  draw_dendrogram(svg, tree, g, text.height_label);
  draw_labels(svg, tree, g, names);
  svg += "</svg>\n";
  return svg;
}

}  // namespace locprox::summary
