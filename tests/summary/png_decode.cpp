#include "summary/png_decode.h"

#include <stdexcept>

namespace locprox::summary::testing {

namespace {

std::uint32_t be32(const std::string& s, size_t at) {
  return (static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at])) << 24) |
         (static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + 1])) << 16) |
         (static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + 2])) << 8) |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + 3]));
}

class BitReader {
 public:
  BitReader(const std::string& data, size_t at) : data_(data), at_(at) {}
  std::uint32_t bits(int count) {  // least significant bit first
    std::uint32_t v = 0;
    for (int i = 0; i < count; ++i) v |= bit() << i;
    return v;
  }
  std::uint32_t bit() {
    if (at_ >= data_.size()) throw std::runtime_error("deflate data ends early");
    std::uint32_t b = (static_cast<std::uint8_t>(data_[at_]) >> used_) & 1;
    if (++used_ == 8) used_ = 0, ++at_;
    return b;
  }
  void align() {
    if (used_ != 0) used_ = 0, ++at_;
  }
  size_t at() const { return at_; }
  void skip(size_t n) { at_ += n; }

 private:
  const std::string& data_;
  size_t at_;
  int used_ = 0;
};

int fixed_symbol(BitReader& r) {
  std::uint32_t code = 0;
  for (int i = 0; i < 7; ++i) code = (code << 1) | r.bit();
  if (code <= 23) return 256 + static_cast<int>(code);
  code = (code << 1) | r.bit();
  if (code >= 0x30 && code <= 0xBF) return static_cast<int>(code - 0x30);
  if (code >= 0xC0 && code <= 0xC7) return 280 + static_cast<int>(code - 0xC0);
  code = (code << 1) | r.bit();
  return 144 + static_cast<int>(code - 0x190);
}

std::string inflate(const std::string& z) {
  static const int kLengthBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
  static const int kLengthExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                     2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
  static const int kDistBase[] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                  33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                  1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
  std::string out;
  BitReader r(z, 2);  // after the zlib header
  bool last = false;
  while (!last) {
    last = r.bits(1) == 1;
    const std::uint32_t type = r.bits(2);
    if (type == 0) {
      r.align();
      const size_t at = r.at();
      const size_t length =
          static_cast<std::uint8_t>(z[at]) | (static_cast<std::uint8_t>(z[at + 1]) << 8);
      out.append(z, at + 4, length);
      r.skip(4 + length);
    } else if (type == 1) {
      for (;;) {
        const int s = fixed_symbol(r);
        if (s < 256) {
          out += static_cast<char>(s);
          continue;
        }
        if (s == 256) break;
        const int c = s - 257;
        const size_t length = static_cast<size_t>(kLengthBase[c]) + r.bits(kLengthExtra[c]);
        std::uint32_t d = 0;
        for (int i = 0; i < 5; ++i) d = (d << 1) | r.bit();
        const int extra = d < 4 ? 0 : static_cast<int>(d / 2 - 1);
        const size_t distance = static_cast<size_t>(kDistBase[d]) + r.bits(extra);
        if (distance > out.size()) throw std::runtime_error("distance too far back");
        for (size_t k = 0; k < length; ++k) out += out[out.size() - distance];
      }
    } else {
      throw std::runtime_error("dynamic Huffman blocks are not expected");
    }
  }
  return out;
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
    const std::string type = png.substr(at + 4, 4);
    if (type == "PLTE")
      image.palette.assign(png.begin() + static_cast<long>(at + 8),
                           png.begin() + static_cast<long>(at + 8 + length));
    if (type == "IDAT") idat += png.substr(at + 8, length);
    at += 12 + length;
  }
  const std::string raw = inflate(idat);
  const size_t stride = static_cast<size_t>(image.width);
  if (raw.size() != (stride + 1) * static_cast<size_t>(image.height)) return image;
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
