// Test support: bytes written as hexadecimal text and back, for fixtures
// and failure messages of every test binary.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace test_hex {

// Upper-case digit pairs separated by blanks ("0A FF 10") of
// bytes[from .. from + count), cut at the end of bytes.
template <class ByteVector>
std::string Hex(const ByteVector& bytes, size_t from = 0, size_t count = std::string::npos) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (size_t i = from; i < bytes.size() && i - from < count; ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (i > from) out += ' ';
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

// The bytes of a hex text of either case; blanks and line ends between the
// digits are skipped, and a last lone digit is ignored.
inline std::vector<unsigned char> FromHex(std::string_view hex) {
  auto value = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::vector<unsigned char> out;
  int high = -1;
  for (char c : hex) {
    const int v = value(c);
    if (v < 0) continue;
    if (high < 0) {
      high = v;
      continue;
    }
    out.push_back(static_cast<unsigned char>(high * 16 + v));
    high = -1;
  }
  return out;
}

// FromHex as a byte string.
inline std::string FromHexText(std::string_view hex) {
  const std::vector<unsigned char> bytes = FromHex(hex);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace test_hex
