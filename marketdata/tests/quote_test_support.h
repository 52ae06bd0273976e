// Byte builders for the quote decoders' tests: each appends one wire form.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "marketdata/reply_reader.h"

namespace quote_test {

using Bytes = std::vector<unsigned char>;

class Wire {
 public:
  Wire& U8(uint64_t v) { return Be(v, 1); }
  Wire& U16(uint64_t v) { return Be(v, 2); }
  Wire& U32(uint64_t v) { return Be(v, 4); }
  Wire& U64(uint64_t v) { return Be(v, 8); }
  Wire& Price(double v) { return Be(static_cast<uint32_t>(static_cast<int32_t>(std::llround(v * 10000))), 4); }
  Wire& Text(const std::string& s, size_t width) {
    for (size_t i = 0; i < width; ++i) bytes.push_back(i < s.size() ? static_cast<unsigned char>(s[i]) : 0);
    return *this;
  }
  Wire& Raw(const std::string& s) {
    bytes.insert(bytes.end(), s.begin(), s.end());
    return *this;
  }
  // Stock key: code (6), name (24), decimals, market, kind.
  Wire& Key(const std::string& code, const std::string& name, int market, int decimals = 2, int kind = 1) {
    return Text(code, 6).Text(name, 24).U8(decimals).U8(market).U8(kind);
  }
  // List code (id 1): code (6), market.
  Wire& ListCode(const std::string& code, int market) { return Text(code, 6).U8(market); }
  Wire& Ids(const std::vector<int>& ids) {
    U16(ids.size());
    for (int id : ids) U16(id);
    return *this;
  }
  int Size() const { return static_cast<int>(bytes.size()); }
  ReplyReader Reader() const { return ReplyReader(bytes.data(), Size()); }

  Bytes bytes;

 private:
  Wire& Be(uint64_t v, int n) {
    for (int i = n - 1; i >= 0; --i) bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
    return *this;
  }
};

}  // namespace quote_test
