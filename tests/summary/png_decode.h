// Decodes the PNG files this program writes (indexed colour, filters None
// and Up), with zlib for the image data and the chunks' CRC, so that tests
// can check the pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace locprox::summary::testing {

struct DecodedPng {
  std::int32_t width = 0;
  std::int32_t height = 0;
  int colour_type = -1;
  std::vector<std::uint8_t> palette;  // r, g, b per entry
  std::vector<std::uint8_t> pixels;   // width * height indices (indexed colour only)
  bool ok = false;
};

// Width and height from the IHDR chunk of any PNG; no decoding.
bool png_size(const std::string& png, std::int32_t& width, std::int32_t& height);

DecodedPng decode_png(const std::string& png);

// Standard base64 decoding.
std::string unbase64(const std::string& text);

}  // namespace locprox::summary::testing
