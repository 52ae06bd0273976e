#include "tools/skins/gif_test_writer.h"

#include <algorithm>
#include <map>

namespace giftest {

namespace {

void Le16(Bytes& out, int v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

int TableExponent(size_t entries) {
  int e = 0;
  while ((size_t{2} << e) < entries) ++e;
  return e;
}

void Table(Bytes& out, const Palette& table) {
  size_t size = size_t{2} << TableExponent(table.size());
  for (size_t k = 0; k < size; ++k) {
    std::uint32_t rgb = k < table.size() ? table[k] : 0;
    out += static_cast<char>((rgb >> 16) & 0xFF);
    out += static_cast<char>((rgb >> 8) & 0xFF);
    out += static_cast<char>(rgb & 0xFF);
  }
}

}  // namespace

int MinCodeSizeFor(int colours) {
  int m = 2;
  while ((1 << m) < colours) ++m;
  return m;
}

std::vector<int> EncodeLzw(const Pixels& pixels, int minCodeSize) {
  const int clear = 1 << minCodeSize;
  std::vector<int> codes{clear};
  std::map<std::pair<int, int>, int> table;
  int next = clear + 2;
  int current = -1;
  for (std::uint8_t p : pixels) {
    if (current < 0) {
      current = p;
      continue;
    }
    auto it = table.find({current, p});
    if (it != table.end()) {
      current = it->second;
      continue;
    }
    codes.push_back(current);
    if (next < 4096) {
      table[{current, p}] = next++;
    } else {
      codes.push_back(clear);
      table.clear();
      next = clear + 2;
    }
    current = p;
  }
  if (current >= 0) codes.push_back(current);
  codes.push_back(clear + 1);
  return codes;
}

Bytes PackCodes(const std::vector<int>& codes, int minCodeSize) {
  const int clear = 1 << minCodeSize;
  Bytes out;
  std::uint32_t acc = 0;
  int bits = 0;
  int width = minCodeSize + 1;
  int next = clear + 2;
  bool first = true;
  for (int code : codes) {
    acc |= static_cast<std::uint32_t>(code) << bits;
    bits += width;
    while (bits >= 8) {
      out += static_cast<char>(acc & 0xFF);
      acc >>= 8;
      bits -= 8;
    }
    // Follow the decoder's table so the next width is the one it reads.
    if (code == clear) {
      width = minCodeSize + 1;
      next = clear + 2;
      first = true;
    } else if (code == clear + 1) {
      // nothing after the end code changes
    } else if (first) {
      first = false;
    } else if (next < 4096) {
      ++next;
      if (next >= (1 << width) && width < 12) ++width;
    }
  }
  if (bits > 0) out += static_cast<char>(acc & 0xFF);
  return out;
}

Bytes SubBlocks(const Bytes& data, int blockSize) {
  Bytes out;
  for (size_t at = 0; at < data.size(); at += static_cast<size_t>(blockSize)) {
    size_t n = std::min(data.size() - at, static_cast<size_t>(blockSize));
    out += static_cast<char>(n);
    out += data.substr(at, n);
  }
  return out;
}

Bytes ImageData(const Pixels& pixels, int minCodeSize) {
  Bytes out(1, static_cast<char>(minCodeSize));
  out += SubBlocks(PackCodes(EncodeLzw(pixels, minCodeSize), minCodeSize));
  out += '\0';
  return out;
}

Pixels InterlaceRows(const Pixels& pixels, int width, int height) {
  Pixels out;
  static const int kStart[4] = {0, 4, 2, 1};
  static const int kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int row = kStart[pass]; row < height; row += kStep[pass])
      out.insert(out.end(), pixels.begin() + row * width, pixels.begin() + (row + 1) * width);
  return out;
}

GifWriter& GifWriter::Header(int width, int height, const Palette& global, const char* version) {
  bytes = "GIF";
  bytes += version;
  Le16(bytes, width);
  Le16(bytes, height);
  int packed = 0x70;  // colour resolution 8
  if (!global.empty()) packed |= 0x80 | TableExponent(global.size());
  bytes += static_cast<char>(packed);
  bytes += '\0';  // background
  bytes += '\0';  // aspect
  if (!global.empty()) Table(bytes, global);
  return *this;
}

GifWriter& GifWriter::Control(int delay, bool transparent, int transparentIndex, int disposal) {
  bytes += "\x21\xF9\x04";
  bytes += static_cast<char>((disposal & 7) << 2 | (transparent ? 1 : 0));
  Le16(bytes, delay);
  bytes += static_cast<char>(transparentIndex);
  bytes += '\0';
  return *this;
}

GifWriter& GifWriter::Descriptor(int left, int top, int width, int height, const Palette& local,
                                 bool interlaced) {
  bytes += '\x2C';
  Le16(bytes, left);
  Le16(bytes, top);
  Le16(bytes, width);
  Le16(bytes, height);
  int packed = interlaced ? 0x40 : 0;
  if (!local.empty()) packed |= 0x80 | TableExponent(local.size());
  bytes += static_cast<char>(packed);
  if (!local.empty()) Table(bytes, local);
  return *this;
}

GifWriter& GifWriter::Image(int left, int top, int width, int height, const Pixels& pixels,
                            const Palette& local, bool interlaced, int minCodeSize) {
  Descriptor(left, top, width, height, local, interlaced);
  if (minCodeSize == 0) {
    int largest = pixels.empty() ? 0 : *std::max_element(pixels.begin(), pixels.end());
    minCodeSize = MinCodeSizeFor(largest + 1);
  }
  bytes += ImageData(interlaced ? InterlaceRows(pixels, width, height) : pixels, minCodeSize);
  return *this;
}

GifWriter& GifWriter::Comment(const std::string& text) {
  bytes += "\x21\xFE";
  bytes += SubBlocks(text);
  bytes += '\0';
  return *this;
}

GifWriter& GifWriter::Raw(const Bytes& raw) {
  bytes += raw;
  return *this;
}

GifWriter& GifWriter::Trailer() {
  bytes += '\x3B';
  return *this;
}

}  // namespace giftest
