// Server-side RSA and Blowfish of the fall-back sign-in (see sim_crypto.h).
#include "tools/simbroker/http/sim_crypto.h"

#include <cstring>

namespace simhttp {

namespace {

#include "tools/simbroker/http/login_key.inc"

constexpr int kDigits = kSimRsaBytes / 4;  // 32 digits of 32 bits

void DecodeNumber(const uint8_t* bytes, uint32_t* digits) {
  for (int i = 0; i < kDigits; ++i) {
    const uint8_t* p = bytes + kSimRsaBytes - 4 * (i + 1);
    digits[i] = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
  }
}

void EncodeNumber(const uint32_t* digits, uint8_t* bytes) {
  for (int i = 0; i < kDigits; ++i) {
    uint8_t* p = bytes + kSimRsaBytes - 4 * (i + 1);
    p[0] = uint8_t(digits[i] >> 24);
    p[1] = uint8_t(digits[i] >> 16);
    p[2] = uint8_t(digits[i] >> 8);
    p[3] = uint8_t(digits[i]);
  }
}

// -1 / 0 / 1 as a compares with b (both kDigits long).
int Compare(const uint32_t* a, const uint32_t* b) {
  for (int i = kDigits - 1; i >= 0; --i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

// a -= b, returning the borrow.
uint32_t Subtract(uint32_t* a, const uint32_t* b) {
  uint64_t borrow = 0;
  for (int i = 0; i < kDigits; ++i) {
    uint64_t d = uint64_t(a[i]) - b[i] - borrow;
    a[i] = uint32_t(d);
    borrow = (d >> 63) & 1;
  }
  return uint32_t(borrow);
}

// The Montgomery constant -n^-1 mod 2^32 of an odd lowest digit.
uint32_t NegativeInverse(uint32_t n0) {
  uint32_t x = 1;
  for (int i = 0; i < 5; ++i) x *= 2 - n0 * x;  // Newton: each step doubles the good bits
  return 0u - x;
}

// out = a * b / 2^1024 mod n (a, b below n), word by word (CIOS).
void MontgomeryMultiply(const uint32_t* a, const uint32_t* b, const uint32_t* n, uint32_t nInv,
                        uint32_t* out) {
  uint32_t t[kDigits + 2] = {};
  for (int i = 0; i < kDigits; ++i) {
    uint64_t carry = 0;
    for (int j = 0; j < kDigits; ++j) {
      uint64_t s = uint64_t(t[j]) + uint64_t(a[j]) * b[i] + carry;
      t[j] = uint32_t(s);
      carry = s >> 32;
    }
    uint64_t s = uint64_t(t[kDigits]) + carry;
    t[kDigits] = uint32_t(s);
    t[kDigits + 1] = uint32_t(s >> 32);
    uint32_t m = t[0] * nInv;
    s = uint64_t(t[0]) + uint64_t(m) * n[0];
    carry = s >> 32;
    for (int j = 1; j < kDigits; ++j) {
      s = uint64_t(t[j]) + uint64_t(m) * n[j] + carry;
      t[j - 1] = uint32_t(s);
      carry = s >> 32;
    }
    s = uint64_t(t[kDigits]) + carry;
    t[kDigits - 1] = uint32_t(s);
    t[kDigits] = t[kDigits + 1] + uint32_t(s >> 32);
  }
  if (t[kDigits] != 0 || Compare(t, n) >= 0) Subtract(t, n);
  std::memcpy(out, t, sizeof(uint32_t) * kDigits);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int HexToNumberBytes(const char* hex, uint8_t* out) {
  size_t length = std::strlen(hex);
  if (length > 2 * kSimRsaBytes) return 0;
  std::memset(out, 0, kSimRsaBytes);
  for (size_t i = 0; i < length; ++i) {
    int v = HexValue(hex[length - 1 - i]);
    if (v < 0) return 0;
    out[kSimRsaBytes - 1 - i / 2] |= uint8_t(i % 2 ? v << 4 : v);
  }
  return 1;
}


}  // namespace

const char* SimLoginModulusHex() { return kLoginModulusHexText; }
const char* SimLoginPrivateExponentHex() { return kLoginPrivateExponentHexText; }

int SimRsaKeyFromHex(SimRsaKey* key, const char* modulusHex, const char* exponentHex) {
  if (!HexToNumberBytes(modulusHex, key->modulus)) return 0;
  if (!HexToNumberBytes(exponentHex, key->exponent)) return 0;
  if ((key->modulus[kSimRsaBytes - 1] & 1) == 0) return 0;  // also refuses zero
  return 1;
}

int SimRsaBlock(const SimRsaKey* key, const uint8_t in[kSimRsaBytes], uint8_t out[kSimRsaBytes]) {
  uint32_t n[kDigits], e[kDigits], m[kDigits];
  DecodeNumber(key->modulus, n);
  DecodeNumber(key->exponent, e);
  DecodeNumber(in, m);
  if ((n[0] & 1) == 0 || Compare(m, n) >= 0) return 0;
  uint32_t nInv = NegativeInverse(n[0]);

  // r2 = 2^2048 mod n by doubling 1 2048 times.
  uint32_t r2[kDigits] = {1};
  for (int bit = 0; bit < 2 * 32 * kDigits; ++bit) {
    uint32_t top = r2[kDigits - 1] >> 31;
    for (int i = kDigits - 1; i > 0; --i) r2[i] = (r2[i] << 1) | (r2[i - 1] >> 31);
    r2[0] <<= 1;
    if (top || Compare(r2, n) >= 0) Subtract(r2, n);
  }
  uint32_t one[kDigits] = {1};
  uint32_t base[kDigits], acc[kDigits];
  MontgomeryMultiply(m, r2, n, nInv, base);   // m in Montgomery form
  MontgomeryMultiply(one, r2, n, nInv, acc);  // 1 in Montgomery form
  for (int i = kDigits - 1; i >= 0; --i) {
    for (int bit = 31; bit >= 0; --bit) {
      MontgomeryMultiply(acc, acc, n, nInv, acc);
      if ((e[i] >> bit) & 1) MontgomeryMultiply(acc, base, n, nInv, acc);
    }
  }
  MontgomeryMultiply(acc, one, n, nInv, acc);  // back from Montgomery form
  EncodeNumber(acc, out);
  return 1;
}

int SimRsaDecipherForm(const SimRsaKey* key, const uint8_t* cipher, size_t length,
                       std::string* plain) {
  plain->clear();
  if (length == 0 || length % kSimRsaBytes != 0) return 0;
  std::string text;
  for (size_t offset = 0; offset < length; offset += kSimRsaBytes) {
    uint8_t block[kSimRsaBytes];
    if (!SimRsaBlock(key, cipher + offset, block)) return 0;
    if (offset + kSimRsaBytes < length) {
      text.append(reinterpret_cast<const char*>(block) + kSimRsaBytes - kSimRsaPieceBytes,
                  kSimRsaPieceBytes);
      continue;
    }
    int first = 0;
    while (first < kSimRsaBytes && block[first] == 0) ++first;
    text.append(reinterpret_cast<const char*>(block) + first, kSimRsaBytes - first);
  }
  *plain = std::move(text);
  return 1;
}

int SimRsaEncipherForm(const SimRsaKey* key, const std::string& text, std::string* cipher) {
  cipher->clear();
  for (size_t offset = 0; offset < text.size(); offset += kSimRsaPieceBytes) {
    size_t piece = std::min<size_t>(kSimRsaPieceBytes, text.size() - offset);
    uint8_t in[kSimRsaBytes] = {};
    std::memcpy(in + kSimRsaBytes - piece, text.data() + offset, piece);
    uint8_t out[kSimRsaBytes];
    if (!SimRsaBlock(key, in, out)) return 0;
    cipher->append(reinterpret_cast<const char*>(out), kSimRsaBytes);
  }
  return 1;
}

int SimBlowfishSetKey(SimBlowfish* bf, const uint8_t* key, size_t keyLength) {
  bf->cipher.reset();
  if (key == nullptr || keyLength == 0 || keyLength > 56) return 0;
  bf->cipher.emplace(key, keyLength);
  return 1;
}

void SimBlowfishEncipherBlock(const SimBlowfish* bf, uint32_t* left, uint32_t* right) {
  if (bf->cipher) bf->cipher->EncipherBlock(left, right);
}

void SimBlowfishDecipherBlock(const SimBlowfish* bf, uint32_t* left, uint32_t* right) {
  if (bf->cipher) bf->cipher->DecipherBlock(left, right);
}

int SimBlowfishWrap(const SimBlowfish* bf, const std::string& plain, std::string* out) {
  if (!bf->cipher || plain.size() > 0xFFFF) return 0;
  *out = bf->cipher->EncipherBuffer(plain);
  return 1;
}

int SimBlowfishUnwrap(const SimBlowfish* bf, const std::string& buffer, std::string* plain) {
  if (!bf->cipher || buffer.size() < 3 || buffer[0] != '\x01') return 0;
  std::string text;
  if (!bf->cipher->DecipherBuffer(reinterpret_cast<const uint8_t*>(buffer.data()), buffer.size(), &text)) return 0;
  *plain = std::move(text);
  return 1;
}

}  // namespace simhttp
