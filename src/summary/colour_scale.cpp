#include "summary/colour_scale.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace locprox::summary {

namespace {

// Viridis at 0, 0.1, ..., 1; in between, linear in RGB.
constexpr std::array<Rgb, 11> kViridis = {{{0x44, 0x01, 0x54},
                                           {0x48, 0x24, 0x75},
                                           {0x41, 0x44, 0x87},
                                           {0x35, 0x5f, 0x8d},
                                           {0x2a, 0x78, 0x8e},
                                           {0x21, 0x91, 0x8c},
                                           {0x22, 0xa8, 0x84},
                                           {0x44, 0xbf, 0x70},
                                           {0x7a, 0xd1, 0x51},
                                           {0xbd, 0xdf, 0x26},
                                           {0xfd, 0xe7, 0x25}}};

Rgb viridis(double t) {
  t = std::clamp(t, 0.0, 1.0);
  const double at = t * 10.0;
  const int k = std::min(9, static_cast<int>(at));
  const double f = at - k;
  auto mix = [f](std::uint8_t a, std::uint8_t b) {
    return static_cast<std::uint8_t>(std::lround(a + (b - a) * f));
  };
  const Rgb& a = kViridis[static_cast<size_t>(k)];
  const Rgb& b = kViridis[static_cast<size_t>(k + 1)];
  return Rgb{mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)};
}

// Most of the way to white: still the same hue, plainly not a full cell.
Rgb pale(const Rgb& c) {
  auto lift = [](std::uint8_t v) { return static_cast<std::uint8_t>(v + (255 - v) * 6 / 10); };
  return Rgb{lift(c.r), lift(c.g), lift(c.b)};
}

double step_centre(int level) {
  return (level + 0.5) / kLevels;
}

}  // namespace

int ColourScale::level(double value) const {
  const double t = (value - low) / (high - low);
  if (!(t > 0.0)) return 0;  // NaN cannot occur, but would land here
  return std::min(kLevels - 1, static_cast<int>(t * kLevels));
}

ColourScale scale_for(const Averages& averages) {
  bool any = false;
  ColourScale scale{0.0, 0.0};
  for (std::int32_t j = 2; j <= averages.locations; ++j) {
    for (std::int32_t i = 1; i < j; ++i) {
      const size_t p = packed_index(i, j);
      if (averages.state[p] != PairState::compared) continue;
      const double v = averages.value[p];
      if (!any || v < scale.low) scale.low = v;
      if (!any || v > scale.high) scale.high = v;
      any = true;
    }
  }
  if (!any) return ColourScale{0.0, 1.0};
  if (scale.high == scale.low) {
    const double pad = scale.low == 0.0 ? 1.0 : std::fabs(scale.low) * 0.01;
    scale.low -= pad;
    scale.high += pad;
  }
  return scale;
}

std::vector<Rgb> heatmap_palette() {
  std::vector<Rgb> palette = {{0xff, 0xff, 0xff},
                              {0xa8, 0xa8, 0xa8},
                              {0x50, 0x50, 0x50},
                              {0x1a, 0x1a, 0x1a},
                              {0xe4, 0xe4, 0xe4}};
  for (int level = 0; level < kLevels; ++level) palette.push_back(viridis(step_centre(level)));
  for (int level = 0; level < kLevels; ++level)
    palette.push_back(pale(viridis(step_centre(level))));
  return palette;
}

std::vector<std::uint8_t> palette_bytes(const std::vector<Rgb>& palette) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(palette.size() * 3);
  for (const Rgb& c : palette) bytes.insert(bytes.end(), {c.r, c.g, c.b});
  return bytes;
}

std::string hex(const Rgb& colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.r, colour.g, colour.b);
  return text;
}

std::string scale_colour(double t) {
  return hex(viridis(t));
}

const char* text_colour_on(const Rgb& cell) {
  const double luminance = 0.299 * cell.r + 0.587 * cell.g + 0.114 * cell.b;
  return luminance < 128 ? kTextOnDarkColour : kTextColour;
}

}  // namespace locprox::summary
