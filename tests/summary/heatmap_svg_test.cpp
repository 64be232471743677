#include "summary/heatmap_svg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <regex>

#include "summary/clustering.h"
#include "summary/colour_scale.h"
#include "summary/example_files.h"
#include "summary/job_names.h"
#include "summary/png_decode.h"
#include "summary/png_image.h"
#include "summary/proximity_reader.h"
#include "summary/scratch.h"

namespace locprox::summary {
namespace {

// A strict check of XML well-formedness for what an SVG writer produces:
// nested elements, quoted attributes, known entities, no control characters.
// Returns an empty string when the text is well-formed, else what is wrong.
std::string xml_problem(const std::string& xml) {
  std::vector<std::string> open;
  size_t i = 0;
  int roots = 0;
  auto name_at = [&](size_t& at) {
    size_t start = at;
    while (at < xml.size() && (std::isalnum(static_cast<unsigned char>(xml[at])) ||
                               xml[at] == ':' || xml[at] == '-' || xml[at] == '_'))
      ++at;
    return xml.substr(start, at - start);
  };
  auto check_text = [&](const std::string& text) -> std::string {
    for (size_t k = 0; k < text.size(); ++k) {
      const auto c = static_cast<unsigned char>(text[k]);
      if (c < 0x20 && c != '\n' && c != '\r' && c != '\t') return "control character";
      if (c == '<') return "< in text";
      if (c == '&') {
        static const std::regex entity("^&(amp|lt|gt|quot|apos|#[0-9]+|#x[0-9a-fA-F]+);");
        if (!std::regex_search(text.substr(k, 12), entity)) return "bad entity";
      }
    }
    return {};
  };
  if (xml.rfind("<?xml", 0) == 0) i = xml.find("?>") + 2;
  while (i < xml.size()) {
    size_t lt = xml.find('<', i);
    std::string text = xml.substr(i, (lt == std::string::npos ? xml.size() : lt) - i);
    if (auto p = check_text(text); !p.empty()) return p;
    if (open.empty() && text.find_first_not_of(" \r\n\t") != std::string::npos)
      return "text outside the root";
    if (lt == std::string::npos) break;
    i = lt + 1;
    if (xml[i] == '/') {
      ++i;
      std::string name = name_at(i);
      if (open.empty() || open.back() != name) return "mismatched </" + name + ">";
      open.pop_back();
      if (xml[i] != '>') return "bad end tag";
      ++i;
      continue;
    }
    std::string name = name_at(i);
    if (name.empty()) return "empty element name";
    if (open.empty() && ++roots > 1) return "two root elements";
    for (;;) {
      while (i < xml.size() && std::isspace(static_cast<unsigned char>(xml[i]))) ++i;
      if (xml.compare(i, 2, "/>") == 0) {
        i += 2;
        break;
      }
      if (xml[i] == '>') {
        ++i;
        open.push_back(name);
        break;
      }
      std::string attribute = name_at(i);
      if (attribute.empty() || xml[i] != '=' || (xml[i + 1] != '"' && xml[i + 1] != '\'')) {
        return "bad attribute in <" + name + ">";
      }
      const char quote = xml[i + 1];
      size_t end = xml.find(quote, i + 2);
      if (end == std::string::npos) return "unterminated attribute";
      if (auto p = check_text(xml.substr(i + 2, end - i - 2)); !p.empty())
        return p + " in attribute";
      i = end + 1;
    }
  }
  if (!open.empty()) return "unclosed <" + open.back() + ">";
  return roots == 1 ? "" : "no root element";
}

TEST(XmlCheck, CatchesWhatItMustCatch) {
  EXPECT_EQ(xml_problem("<svg a=\"1\"><g><text>x &amp; y</text></g></svg>"), "");
  EXPECT_NE(xml_problem("<svg><g></svg>"), "");
  EXPECT_NE(xml_problem("<svg><text>a & b</text></svg>"), "");
  EXPECT_NE(xml_problem("<svg a=1/>"), "");
  EXPECT_NE(xml_problem("<svg><text>a < b</text></svg>"), "");
}

TEST(PngImage, RoundTripsThroughADecoder) {
  std::mt19937 random(7);
  struct Image {
    std::int32_t width, height;
    std::vector<std::uint8_t> pixels;
  };
  std::vector<Image> images;
  images.push_back({1, 1, {3}});
  // Runs just around the longest match (258) and its remainders of 1 and 2.
  for (std::int32_t run : {3, 4, 258, 259, 260, 261, 262, 600}) {
    Image image{run + 2, 3, {}};
    for (std::int32_t y = 0; y < 3; ++y) {
      image.pixels.push_back(1);
      for (std::int32_t x = 0; x < run; ++x)
        image.pixels.push_back(static_cast<std::uint8_t>(y == 2 ? 9 : 5));
      image.pixels.push_back(2);
    }
    images.push_back(image);
  }
  Image noise{70, 40, {}};
  for (int k = 0; k < 70 * 40; ++k)
    noise.pixels.push_back(static_cast<std::uint8_t>(random() % 204));
  images.push_back(noise);
  const std::vector<Rgb> palette = heatmap_palette();
  for (const Image& image : images) {
    SCOPED_TRACE(std::to_string(image.width) + "x" + std::to_string(image.height));
    const std::string png =
        encode_png(image.width, image.height, palette_bytes(palette), image.pixels);
    testing::DecodedPng decoded = testing::decode_png(png);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.width, image.width);
    EXPECT_EQ(decoded.height, image.height);
    EXPECT_EQ(decoded.colour_type, 3);
    EXPECT_EQ(decoded.pixels, image.pixels);
    ASSERT_EQ(decoded.palette.size(), palette.size() * 3);
    EXPECT_EQ(decoded.palette[3 * kNeverCompared], palette[kNeverCompared].r);
  }
}

TEST(Base64, EncodesEveryTailLength) {
  EXPECT_EQ(base64(""), "");
  EXPECT_EQ(base64("f"), "Zg==");
  EXPECT_EQ(base64("fo"), "Zm8=");
  EXPECT_EQ(base64("foo"), "Zm9v");
  EXPECT_EQ(base64("foob"), "Zm9vYg==");
}

struct Picture {
  Averages averages;
  Dendrogram tree;
  std::vector<std::string> names;
  std::string svg;
};

Picture example_picture(std::int32_t year, std::int64_t min_common,
                        std::vector<std::string> names = {}) {
  testing::Scratch dir;
  dir.write("JOB.PRX", testing::example_prx());
  const ProximityFile file = read_proximity_file(dir.file("JOB.PRX"), year);
  Picture p;
  p.averages = form_averages(file, false, min_common);
  std::vector<std::uint8_t> compared(p.averages.state.size());
  for (size_t k = 0; k < compared.size(); ++k)
    compared[k] = p.averages.state[k] == PairState::compared;
  p.tree = average_linkage(3, p.averages.distance, compared);
  p.names = names.empty() ? std::vector<std::string>{"North", "South", "East"} : names;
  PictureText text{"JOB: a <title> & more", "measure", "counts",
                   "average correlation r", "1 - r",   min_common, ""};
  p.svg = heatmap_svg(p.averages, p.tree, p.names, text);
  return p;
}

testing::DecodedPng embedded_image(const std::string& svg) {
  const std::string marker = "data:image/png;base64,";
  const size_t at = svg.find(marker) + marker.size();
  return testing::decode_png(testing::unbase64(svg.substr(at, svg.find('"', at) - at)));
}

TEST(HeatmapSvg, IsWellFormedWithNamesAndTitleEscaped) {
  Picture p = example_picture(2, 10, {"A&B", "<C>", "\"D\""});
  EXPECT_EQ(xml_problem(p.svg), "");
  EXPECT_NE(p.svg.find("A&amp;B"), std::string::npos);
  EXPECT_NE(p.svg.find("&lt;C&gt;"), std::string::npos);
  EXPECT_NE(p.svg.find("JOB: a &lt;title&gt; &amp; more"), std::string::npos);
  EXPECT_NE(p.svg.find("never compared"), std::string::npos);
  EXPECT_NE(p.svg.find("pale: fewer than 10 entries in common"), std::string::npos);
}

TEST(HeatmapSvg, PaintsEachCellByItsPairInTheClusteringOrder) {
  // Year 1: (1,2) average 0.6 on 4 entries, (2,3) -0.5 on 3, (1,3) never
  // compared. With a minimum of 4 entries, (2,3) is flagged.
  Picture p = example_picture(1, 4);
  testing::DecodedPng image = embedded_image(p.svg);
  ASSERT_TRUE(image.ok);
  const std::int32_t cell = image.width / 3;
  ASSERT_GE(cell, 5);  // big enough for the dot
  std::vector<std::int32_t> row_of(3);
  for (std::int32_t r = 0; r < 3; ++r) row_of[p.tree.order[r]] = r;
  auto corner = [&](std::int32_t a, std::int32_t b) {  // locations 1-based
    return image
        .pixels[static_cast<size_t>(row_of[a - 1] * cell) * image.width + row_of[b - 1] * cell];
  };
  auto middle = [&](std::int32_t a, std::int32_t b) {
    return image.pixels[static_cast<size_t>(row_of[a - 1] * cell + cell / 2) * image.width +
                        row_of[b - 1] * cell + cell / 2];
  };
  // Where the dot of a flagged cell stands when the cell shows its value.
  auto lower_right = [&](std::int32_t a, std::int32_t b) {
    const std::int32_t in = cell - cell / 10 - 1;
    return image.pixels[static_cast<size_t>(row_of[a - 1] * cell + in) * image.width +
                        row_of[b - 1] * cell + in];
  };
  const ColourScale scale = scale_for(p.averages);
  EXPECT_EQ(scale.low, -0.5);
  EXPECT_EQ(scale.high, 0.6);
  for (auto [a, b] : {std::pair{1, 3}, {3, 1}}) {
    EXPECT_EQ(corner(a, b), kNeverCompared);
    EXPECT_EQ(middle(a, b), kNeverCompared);
  }
  for (auto [a, b] : {std::pair{1, 2}, {2, 1}}) {
    EXPECT_EQ(corner(a, b), kFirstLevel + kLevels - 1);  // the top of the scale
    EXPECT_EQ(middle(a, b), kFirstLevel + kLevels - 1);
  }
  for (auto [a, b] : {std::pair{2, 3}, {3, 2}}) {
    EXPECT_EQ(corner(a, b), kFirstLevel + kLevels + 0);  // pale, the bottom of the scale
    // The middle shows the value (three locations), so the dot is in the corner.
    EXPECT_EQ(middle(a, b), kFirstLevel + kLevels + 0);
    EXPECT_EQ(lower_right(a, b), kMarker);
  }
  EXPECT_EQ(lower_right(1, 2), kFirstLevel + kLevels - 1);  // no dot where not flagged
  // A location with itself, r = 1, is drawn apart from the scale, not at its top.
  for (std::int32_t a = 1; a <= 3; ++a) {
    EXPECT_EQ(corner(a, a), kDiagonal);
    EXPECT_EQ(middle(a, a), kDiagonal);
  }
  EXPECT_NE(p.svg.find("diagonal: a location with itself, r = 1, not on the scale"),
            std::string::npos);
}

Picture synthetic(std::int32_t n) {
  std::mt19937 random(11);
  Picture p;
  p.averages.locations = n;
  const size_t ntm = packed_size(n);
  p.averages.state.assign(ntm, PairState::compared);
  p.averages.value.assign(ntm, 1.0);
  p.averages.distance.assign(ntm, 0.0);
  p.averages.few_common.assign(ntm, 0);
  std::vector<std::uint8_t> compared(ntm, 1);
  for (std::int32_t j = 1; j <= n; ++j) {
    for (std::int32_t i = 1; i < j; ++i) {
      const size_t k = packed_index(i, j);
      const double r = std::uniform_real_distribution<double>(-0.3, 0.95)(random);
      const unsigned roll = random() % 100;
      p.averages.value[k] = r;
      p.averages.distance[k] = 1 - r;
      if (roll < 2) p.averages.state[k] = PairState::never_compared, compared[k] = 0;
      if (roll >= 2 && roll < 6) p.averages.few_common[k] = 1;
    }
  }
  p.tree = average_linkage(n, p.averages.distance, compared);
  for (std::int32_t i = 1; i <= n; ++i) p.names.push_back("Loc" + std::to_string(i));
  PictureText text{"synthetic", "measure", "counts", "average correlation r", "1 - r", 10, ""};
  p.svg = heatmap_svg(p.averages, p.tree, p.names, text);
  return p;
}

// The text of the cell values: the <text> elements of the group that holds them.
std::vector<std::string> cell_values(const std::string& svg) {
  std::vector<std::string> values;
  const size_t group = svg.find("text-anchor=\"middle\">\n<text");
  if (group == std::string::npos) return values;
  const size_t end = svg.find("</g>", group);
  static const std::regex value(">([^<]*)</text>");
  const std::string part = svg.substr(group, end - group);
  for (std::sregex_iterator it(part.begin(), part.end(), value), stop; it != stop; ++it)
    values.push_back((*it)[1]);
  return values;
}

TEST(HeatmapSvg, CellsShowTheirValuesUpTo20Locations) {
  // Year 2 in the picture's order: {1, 3} joined first, then 2. Off the
  // diagonal: (1,2) 0.5, (1,3) 0.6, (2,3) -0.5, each shown twice; the
  // diagonal shows nothing.
  Picture p = example_picture(2, 10);
  std::vector<std::string> values = cell_values(p.svg);
  std::sort(values.begin(), values.end());
  EXPECT_EQ(values, (std::vector<std::string>{"-0.50", "-0.50", "0.50", "0.50", "0.60", "0.60"}));
  EXPECT_EQ(xml_problem(p.svg), "");
  const Picture twenty = synthetic(20);
  size_t compared = 0;  // cells off the diagonal with an average: both halves
  for (std::int32_t j = 2; j <= 20; ++j) {
    for (std::int32_t i = 1; i < j; ++i)
      compared += 2 * (twenty.averages.state[packed_index(i, j)] == PairState::compared);
  }
  EXPECT_LT(compared, 20u * 19u);  // some pairs never compared: no value there
  EXPECT_EQ(cell_values(twenty.svg).size(), compared);
  EXPECT_TRUE(cell_values(synthetic(21).svg).empty());
}

TEST(HeatmapSvg, WithoutValuesTheDotIsInTheMiddleOfAFlaggedCell) {
  Picture p = synthetic(21);
  testing::DecodedPng image = embedded_image(p.svg);
  ASSERT_TRUE(image.ok);
  const std::int32_t cell = image.width / 21;
  ASSERT_GE(cell, 5);
  size_t flagged = 0;
  for (std::int32_t r = 0; r < 21; ++r) {
    for (std::int32_t c = 0; c < 21; ++c) {
      const std::int32_t a = p.tree.order[r] + 1, b = p.tree.order[c] + 1;
      const size_t k = a <= b ? packed_index(a, b) : packed_index(b, a);
      if (a == b || !p.averages.few_common[k]) continue;
      ++flagged;
      EXPECT_EQ(image.pixels[static_cast<size_t>(r * cell + cell / 2) * image.width +
                             static_cast<size_t>(c * cell + cell / 2)],
                kMarker);
    }
  }
  EXPECT_GT(flagged, 0u);
}

TEST(HeatmapSvg, StaysSmallAndThinsItsLabelsAt700Locations) {
  Picture p = synthetic(700);
  EXPECT_EQ(xml_problem(p.svg), "");
  EXPECT_LT(p.svg.size(), 3u * 1024 * 1024);
  size_t labels = 0;
  for (size_t at = p.svg.find(">Loc"); at != std::string::npos; at = p.svg.find(">Loc", at + 1))
    ++labels;
  EXPECT_GT(labels, 2u * 50);   // still named along both axes
  EXPECT_LT(labels, 2u * 200);  // but thinned, not 1400 overlapping labels
  testing::DecodedPng image = embedded_image(p.svg);
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(image.width, 700);  // one pixel per pair
}

// Renders with a real SVG renderer (rsvg-convert, Debian package librsvg2-bin).
std::string renderer() {
  return testing::program_on_path("rsvg-convert");
}

TEST(HeatmapSvg, RendersToPngWithARealRenderer) {
  const std::string rsvg = renderer();
  if (rsvg.empty()) GTEST_SKIP() << "rsvg-convert not installed (Debian package librsvg2-bin)";
  for (std::int32_t n : {3, 700}) {
    SCOPED_TRACE(std::to_string(n) + " locations");
    const std::string svg = n == 3 ? example_picture(1, 4).svg : synthetic(n).svg;
    testing::Scratch dir;
    dir.write("picture.svg", svg);
    testing::ProgramRun run = testing::run(rsvg, {"-o", "picture.png", "picture.svg"}, dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    std::int32_t width = 0, height = 0;
    ASSERT_TRUE(testing::png_size(dir.read("picture.png"), width, height));
    std::smatch size;
    ASSERT_TRUE(std::regex_search(svg, size,
                                  std::regex("<svg[^>]* width=\"([0-9]+)\" height=\"([0-9]+)\"")));
    EXPECT_EQ(width, std::stoi(size[1]));
    EXPECT_EQ(height, std::stoi(size[2]));
  }
}

}  // namespace
}  // namespace locprox::summary
