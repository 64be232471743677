#include "summary/png_image.h"

#include <algorithm>

namespace locprox::summary {

namespace {

std::array<std::uint32_t, 256> make_crc_table() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

std::uint32_t crc32(const std::string& bytes, size_t from) {
  static const std::array<std::uint32_t, 256> table = make_crc_table();
  std::uint32_t c = 0xFFFFFFFFu;
  for (size_t i = from; i < bytes.size(); ++i) {
    c = table[(c ^ static_cast<std::uint8_t>(bytes[i])) & 0xFF] ^ (c >> 8);
  }
  return c ^ 0xFFFFFFFFu;
}

void put32(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v >> 24);
  out += static_cast<char>(v >> 16);
  out += static_cast<char>(v >> 8);
  out += static_cast<char>(v);
}

void chunk(std::string& out, const char* type, const std::string& data) {
  put32(out, static_cast<std::uint32_t>(data.size()));
  const size_t typed = out.size();
  out += type;
  out += data;
  put32(out, crc32(out, typed));
}

// Bits of a deflate stream, least significant first.
class BitWriter {
 public:
  explicit BitWriter(std::string& out) : out_(out) {}
  void bits(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) push((value >> i) & 1);
  }
  // Huffman codes go most significant bit first.
  void code(std::uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) push((value >> i) & 1);
  }
  void flush() {
    if (used_ > 0) out_ += static_cast<char>(byte_);
    byte_ = 0;
    used_ = 0;
  }

 private:
  void push(std::uint32_t bit) {
    byte_ |= static_cast<std::uint8_t>(bit << used_);
    if (++used_ == 8) flush();
  }
  std::string& out_;
  std::uint8_t byte_ = 0;
  int used_ = 0;
};

// The fixed Huffman code of a literal/length symbol.
void symbol(BitWriter& w, int s) {
  if (s < 144) {
    w.code(0x30 + s, 8);
  } else if (s < 256) {
    w.code(0x190 + s - 144, 9);
  } else if (s < 280) {
    w.code(s - 256, 7);
  } else {
    w.code(0xC0 + s - 280, 8);
  }
}

// A copy of the previous byte repeated `length` times (3 to 258).
void repeat_previous(BitWriter& w, int length) {
  static constexpr int kBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
  static constexpr int kExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                   2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
  int c = 28;
  while (kBase[c] > length) --c;
  symbol(w, 257 + c);
  w.bits(static_cast<std::uint32_t>(length - kBase[c]), kExtra[c]);
  w.code(0, 5);  // distance code 0: distance 1
}

// A zlib stream of one deflate block with the fixed Huffman codes, whose only
// matches are runs of the previous byte. The heatmap is made of runs (a cell
// is several pixels wide, equal rows are filtered to zeros), so this simple
// scheme shrinks it as much as a general compressor would, without one.
std::string zlib_runs(const std::string& raw) {
  std::string out = "\x78\x01";
  BitWriter w(out);
  w.bits(1, 1);  // the final block
  w.bits(1, 2);  // fixed Huffman codes
  size_t i = 0;
  while (i < raw.size()) {
    const auto byte = static_cast<std::uint8_t>(raw[i]);
    symbol(w, byte);
    size_t run = 0;
    while (i + 1 + run < raw.size() && static_cast<std::uint8_t>(raw[i + 1 + run]) == byte) ++run;
    i += 1 + run;
    while (run >= 3) {
      // Leave at least 3 for the last match, which cannot be shorter.
      int length = static_cast<int>(std::min<size_t>(run, 258));
      if (run - static_cast<size_t>(length) > 0 && run - static_cast<size_t>(length) < 3)
        length -= 3;
      repeat_previous(w, length);
      run -= static_cast<size_t>(length);
    }
    for (; run > 0; --run) symbol(w, byte);
  }
  symbol(w, 256);  // end of block
  w.flush();
  std::uint32_t a = 1, b = 0;
  for (char c : raw) {
    a = (a + static_cast<std::uint8_t>(c)) % 65521;
    b = (b + a) % 65521;
  }
  put32(out, (b << 16) | a);
  return out;
}

}  // namespace

std::string encode_png(std::int32_t width, std::int32_t height, const std::vector<Rgb>& palette,
                       const std::vector<std::uint8_t>& pixels) {
  std::string png = "\x89PNG\r\n\x1a\n";
  std::string header;
  put32(header, static_cast<std::uint32_t>(width));
  put32(header, static_cast<std::uint32_t>(height));
  header += '\x08';                // 8 bits per index
  header += '\x03';                // indexed colour
  header += std::string(3, '\0');  // deflate, adaptive filtering, no interlace
  chunk(png, "IHDR", header);
  std::string colours;
  for (const Rgb& c : palette) {
    colours += static_cast<char>(c.r);
    colours += static_cast<char>(c.g);
    colours += static_cast<char>(c.b);
  }
  chunk(png, "PLTE", colours);
  std::string raw;
  raw.reserve(static_cast<size_t>(height) * (static_cast<size_t>(width) + 1));
  const char* rows = reinterpret_cast<const char*>(pixels.data());
  const size_t stride = static_cast<size_t>(width);
  for (std::int32_t y = 0; y < height; ++y) {
    const char* row = rows + static_cast<size_t>(y) * stride;
    // A row equal to the one above is stored as zeros (filter "Up").
    if (y > 0 && std::equal(row, row + stride, row - stride)) {
      raw += '\x02';
      raw.append(stride, '\0');
    } else {
      raw += '\0';  // filter "None"
      raw.append(row, stride);
    }
  }
  chunk(png, "IDAT", zlib_runs(raw));
  chunk(png, "IEND", "");
  return png;
}

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

}  // namespace locprox::summary
