#include "summary/png_decode.h"

#include <zlib.h>

namespace locprox::summary::testing {

namespace {

std::uint32_t be32(const std::string& s, size_t at) {
  return (static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at])) << 24) |
         (static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + 1])) << 16) |
         (static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + 2])) << 8) |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + 3]));
}

// The image data: zlib's inflate of the IDAT chunks, which must give exactly
// `size` bytes.
bool inflate(const std::string& z, size_t size, std::string& raw) {
  raw.assign(size, '\0');
  uLongf got = static_cast<uLongf>(size);
  const int status =
      uncompress(reinterpret_cast<Bytef*>(raw.data()), &got,
                 reinterpret_cast<const Bytef*>(z.data()), static_cast<uLong>(z.size()));
  return status == Z_OK && got == size;
}

// The CRC that closes a chunk, over its type and data.
bool crc_matches(const std::string& png, size_t at, size_t length) {
  const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(png.data() + at + 4),
                          static_cast<uInt>(length + 4));
  return crc == be32(png, at + 8 + length);
}

}  // namespace

bool png_size(const std::string& png, std::int32_t& width, std::int32_t& height) {
  if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
      png.compare(12, 4, "IHDR") != 0) {
    return false;
  }
  width = static_cast<std::int32_t>(be32(png, 16));
  height = static_cast<std::int32_t>(be32(png, 20));
  return true;
}

DecodedPng decode_png(const std::string& png) {
  DecodedPng image;
  if (!png_size(png, image.width, image.height)) return image;
  image.colour_type = static_cast<std::uint8_t>(png[25]);
  std::string idat;
  size_t at = 8;
  while (at + 12 <= png.size()) {
    const size_t length = be32(png, at);
    if (at + 12 + length > png.size() || !crc_matches(png, at, length)) return image;
    const std::string type = png.substr(at + 4, 4);
    if (type == "PLTE")
      image.palette.assign(png.begin() + static_cast<long>(at + 8),
                           png.begin() + static_cast<long>(at + 8 + length));
    if (type == "IDAT") idat += png.substr(at + 8, length);
    at += 12 + length;
  }
  const size_t stride = static_cast<size_t>(image.width);
  std::string raw;
  if (!inflate(idat, (stride + 1) * static_cast<size_t>(image.height), raw)) return image;
  image.pixels.assign(stride * static_cast<size_t>(image.height), 0);
  for (std::int32_t y = 0; y < image.height; ++y) {
    const char filter = raw[static_cast<size_t>(y) * (stride + 1)];
    for (size_t x = 0; x < stride; ++x) {
      auto v = static_cast<std::uint8_t>(raw[static_cast<size_t>(y) * (stride + 1) + 1 + x]);
      if (filter == 2 && y > 0)
        v = static_cast<std::uint8_t>(v + image.pixels[(static_cast<size_t>(y) - 1) * stride + x]);
      else if (filter != 0)
        return image;
      image.pixels[static_cast<size_t>(y) * stride + x] = v;
    }
  }
  image.ok = true;
  return image;
}

std::string unbase64(const std::string& text) {
  auto value = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
  };
  std::string out;
  std::uint32_t buffer = 0;
  int bits = 0;
  for (char c : text) {
    const int v = value(c);
    if (v < 0) continue;
    buffer = (buffer << 6) | static_cast<std::uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((buffer >> bits) & 0xFF);
    }
  }
  return out;
}

}  // namespace locprox::summary::testing
