// The heatmap's colours: the viridis scale (readable in grey print and by
// colour-blind readers) cut into equal steps over the range of the averages,
// a paler copy of every step for pairs compared on too few entries, and the
// fixed colours for cells without an average.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "summary/averages.h"

namespace locprox::summary {

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
};

// Palette indices of the embedded image.
enum PaletteIndex : std::uint8_t {
  kNoValue = 0,        // white: a diagonal cell that has no average of this measure
  kNeverCompared = 1,  // neutral grey
  kUnknown = 2,        // dark grey: the count was written as asterisks
  kMarker = 3,         // the dot on a cell compared on too few entries
  kDiagonal = 4,       // light grey: a location with itself (r = 1), kept off the scale
  kFirstLevel = 5,
};
constexpr int kLevels = 100;

struct ColourScale {
  double low = 0.0;
  double high = 1.0;

  // The step of `value`, 0 to kLevels - 1; values outside the range take the
  // end steps.
  int level(double value) const;
  // Palette index of a compared cell.
  std::uint8_t index(double value, bool few_common) const {
    return static_cast<std::uint8_t>(kFirstLevel + level(value) + (few_common ? kLevels : 0));
  }
};

// The range of the averages between distinct locations (the diagonal of a
// correlation is 1 and would squeeze the rest), widened when it is a single
// value; 0 to 1 when there is no average at all.
ColourScale scale_for(const Averages& averages);

// The whole palette, in the order of PaletteIndex, then the kLevels steps,
// then their pale copies.
std::vector<Rgb> heatmap_palette();
// The same as r, g, b bytes, as an image's palette holds them.
std::vector<std::uint8_t> palette_bytes(const std::vector<Rgb>& palette);

// The picture's line and text colours, as the SVG writes them.
inline constexpr const char* kBackgroundColour = "#ffffff";
inline constexpr const char* kTreeLineColour = "#222";      // the tree's joins and its height axis
inline constexpr const char* kUnjoinedLineColour = "#888";  // joins with no compared pair, dashed
inline constexpr const char* kNoteTextColour = "#666";      // the note on the dashed joins
inline constexpr const char* kTextColour = "#111";          // names; values on light cells
inline constexpr const char* kTextOnDarkColour = "#fff";    // values on dark cells
inline constexpr const char* kFrameColour = "#444";  // frames of the map, scale and swatches; ticks

// The colour of a value written on a cell of colour `cell`: white on a dark
// cell, near-black on a light one.
const char* text_colour_on(const Rgb& cell);

// The scale's colour at fraction t (0 to 1), as "#rrggbb".
std::string scale_colour(double t);
std::string hex(const Rgb& colour);

}  // namespace locprox::summary
