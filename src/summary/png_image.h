// A PNG writer for indexed-colour images: the heatmap's cells go into the SVG
// as one embedded image, one pixel (or a small square of pixels) per pair,
// which keeps the SVG of 700 locations under a megabyte where one vector
// rectangle per cell would take tens of megabytes. zlib compresses the image
// data (at a middle level: its best level took most of the summary's time
// for a few per cent of the image's size) and gives the chunks' CRC.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace locprox::summary {

// `palette` holds r, g, b for each colour; `pixels` width x height palette
// indices, row by row from the top.
std::string encode_png(std::int32_t width, std::int32_t height,
                       const std::vector<std::uint8_t>& palette,
                       const std::vector<std::uint8_t>& pixels);

}  // namespace locprox::summary
