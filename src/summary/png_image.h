// A minimal PNG writer for indexed-colour images: the heatmap's cells go into
// the SVG as one embedded image, one pixel (or a small square of pixels) per
// pair, which keeps the SVG of 700 locations under a megabyte where one vector
// rectangle per cell would take tens of megabytes. The image data is
// compressed by runs only (see png_image.cpp), so no compression library is
// needed.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace locprox::summary {

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
};

// `pixels` holds width x height palette indices, row by row from the top.
std::string encode_png(std::int32_t width, std::int32_t height, const std::vector<Rgb>& palette,
                       const std::vector<std::uint8_t>& pixels);

// Standard base64, for a data: URI.
std::string base64(const std::string& bytes);

}  // namespace locprox::summary
