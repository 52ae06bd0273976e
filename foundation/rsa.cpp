// Multi-precision arithmetic and the raw RSA public operation.
//
// Numbers are arrays of kDigits 32-bit digits, least significant first
// (32 digits for 1,024 bits and one spare); byte strings are big-endian.
// Products are held in arrays of 2 x kDigits digits.
#include "foundation/rsa.h"

#include <cstdint>
#include <cstring>

namespace {

using Digit = std::uint32_t;
constexpr int kDigits = 33;
constexpr int kDigitBits = 32;

// Big-endian bytes to digits; digits beyond the bytes are 0.
void NnDecode(Digit* a, int digits, const BYTE* bytes, int length) {
  std::memset(a, 0, sizeof(Digit) * size_t(digits));
  int j = length - 1;
  for (int i = 0; i < digits && j >= 0; ++i) {
    Digit t = 0;
    for (int shift = 0; j >= 0 && shift < kDigitBits; --j, shift += 8) t |= Digit(bytes[j]) << shift;
    a[i] = t;
  }
}

// Digits to `length` big-endian bytes; missing high bytes are 0.
void NnEncode(BYTE* bytes, int length, const Digit* a, int digits) {
  int j = length - 1;
  for (int i = 0; i < digits && j >= 0; ++i) {
    Digit t = a[i];
    for (int shift = 0; j >= 0 && shift < kDigitBits; --j, shift += 8) bytes[j] = BYTE(t >> shift);
  }
  for (; j >= 0; --j) bytes[j] = 0;
}

void NnAssign(Digit* a, const Digit* b, int digits) {
  std::memcpy(a, b, sizeof(Digit) * size_t(digits));
}

void NnZero(Digit* a, int digits) { std::memset(a, 0, sizeof(Digit) * size_t(digits)); }

// Number of significant digits (0 for zero).
int NnDigitCount(const Digit* a, int digits) {
  for (int i = digits - 1; i >= 0; --i)
    if (a[i] != 0) return i + 1;
  return 0;
}

int NnCmp(const Digit* a, const Digit* b, int digits) {
  for (int i = digits - 1; i >= 0; --i) {
    if (a[i] > b[i]) return 1;
    if (a[i] < b[i]) return -1;
  }
  return 0;
}

// a = b - c; returns the borrow.
Digit NnSub(Digit* a, const Digit* b, const Digit* c, int digits) {
  Digit borrow = 0;
  for (int i = 0; i < digits; ++i) {
    std::uint64_t t = std::uint64_t(b[i]) - c[i] - borrow;
    a[i] = Digit(t);
    borrow = Digit((t >> 32) & 1);
  }
  return borrow;
}

// a = b + c; returns the carry.
Digit NnAdd(Digit* a, const Digit* b, const Digit* c, int digits) {
  std::uint64_t carry = 0;
  for (int i = 0; i < digits; ++i) {
    carry += std::uint64_t(b[i]) + c[i];
    a[i] = Digit(carry);
    carry >>= 32;
  }
  return Digit(carry);
}

// a = b << bits (bits below 32); returns the bits shifted out.
Digit NnLShift(Digit* a, const Digit* b, int bits, int digits) {
  if (bits == 0) {
    NnAssign(a, b, digits);
    return 0;
  }
  Digit carry = 0;
  for (int i = 0; i < digits; ++i) {
    Digit t = b[i];
    a[i] = (t << bits) | carry;
    carry = t >> (kDigitBits - bits);
  }
  return carry;
}

// a = b >> bits (bits below 32); returns the bits shifted out.
Digit NnRShift(Digit* a, const Digit* b, int bits, int digits) {
  if (bits == 0) {
    NnAssign(a, b, digits);
    return 0;
  }
  Digit carry = 0;
  for (int i = digits - 1; i >= 0; --i) {
    Digit t = b[i];
    a[i] = (t >> bits) | carry;
    carry = t << (kDigitBits - bits);
  }
  return carry;
}

// The 64-bit product of two digits.
inline std::uint64_t NnDigitMult(Digit b, Digit c) { return std::uint64_t(b) * c; }

// a = b * c, a of 2 x digits digits.
void NnMult(Digit* a, const Digit* b, const Digit* c, int digits) {
  Digit t[2 * kDigits];
  NnZero(t, 2 * digits);
  const int bDigits = NnDigitCount(b, digits);
  const int cDigits = NnDigitCount(c, digits);
  for (int i = 0; i < bDigits; ++i) {
    std::uint64_t carry = 0;
    for (int j = 0; j < cDigits; ++j) {
      std::uint64_t p = NnDigitMult(b[i], c[j]) + t[i + j] + carry;
      t[i + j] = Digit(p);
      carry = p >> 32;
    }
    t[i + cDigits] = Digit(carry);
  }
  NnAssign(a, t, 2 * digits);
}

// a = b - c * d (d one digit, c of `digits` digits); returns the borrow
// out of the top digit.
Digit NnSubDigitMult(Digit* a, const Digit* b, Digit d, const Digit* c, int digits) {
  std::uint64_t borrow = 0;
  for (int i = 0; i < digits; ++i) {
    std::uint64_t p = NnDigitMult(c[i], d) + borrow;
    Digit lo = Digit(p);
    borrow = p >> 32;
    Digit bi = b[i];
    a[i] = bi - lo;
    if (a[i] > bi) ++borrow;
  }
  return Digit(borrow);
}

// Remainder a = c mod d (and quotient q when not null) by long division.
// c has cDigits digits, d has dDigits digits and is not zero; a has dDigits
// digits, q has cDigits digits.
void NnDiv(Digit* q, Digit* a, const Digit* c, int cDigits, const Digit* d, int dDigits) {
  Digit cc[2 * kDigits + 1];
  Digit dd[kDigits];
  const int dd_n = NnDigitCount(d, dDigits);
  if (dd_n == 0) return;  // callers never divide by zero

  // Normalise: shift the divisor until its top bit is set.
  int shift = 0;
  for (Digit top = d[dd_n - 1]; (top & 0x80000000u) == 0; top <<= 1) ++shift;
  NnZero(cc, cDigits + 1);
  cc[cDigits] = NnLShift(cc, c, shift, cDigits);
  NnLShift(dd, d, shift, dd_n);
  const Digit t = dd[dd_n - 1];

  if (q) NnZero(q, cDigits);
  for (int i = cDigits - dd_n; i >= 0; --i) {
    // Estimate the quotient digit from the two top digits of the running
    // remainder and the divisor's top digit; it is never too small and at
    // most two too large.
    std::uint64_t top = (std::uint64_t(cc[i + dd_n]) << 32) | cc[i + dd_n - 1];
    std::uint64_t estimate = top / t;
    if (estimate > 0xFFFFFFFFu) estimate = 0xFFFFFFFFu;
    Digit ai = Digit(estimate);
    cc[i + dd_n] -= NnSubDigitMult(&cc[i], &cc[i], ai, dd, dd_n);
    // Add the divisor back while the estimate was too large.
    while (cc[i + dd_n] != 0) {
      --ai;
      cc[i + dd_n] += NnAdd(&cc[i], &cc[i], dd, dd_n);
    }
    // Subtract again while the remainder still holds the divisor.
    while (NnCmp(&cc[i], dd, dd_n) >= 0) {
      ++ai;
      NnSub(&cc[i], &cc[i], dd, dd_n);
    }
    if (q) q[i] = ai;
  }
  NnZero(a, dDigits);
  NnRShift(a, cc, shift, dd_n);
}

// a = b * c mod d.
void NnModMult(Digit* a, const Digit* b, const Digit* c, const Digit* d, int digits) {
  Digit t[2 * kDigits];
  NnMult(t, b, c, digits);
  NnDiv(nullptr, a, t, 2 * digits, d, digits);
}

// a = b^c mod d with a fixed window of 2 bits; cDigits digits of c are used.
void NnModExp(Digit* a, const Digit* b, const Digit* c, int cDigits, const Digit* d,
              int dDigits) {
  Digit power[3][kDigits];
  NnAssign(power[0], b, dDigits);
  NnModMult(power[1], power[0], b, d, dDigits);
  NnModMult(power[2], power[1], b, d, dDigits);

  Digit t[kDigits];
  NnZero(t, dDigits);
  t[0] = 1;

  cDigits = NnDigitCount(c, cDigits);
  for (int i = cDigits - 1; i >= 0; --i) {
    Digit ci = c[i];
    int bits = kDigitBits;
    if (i == cDigits - 1) {
      // Skip the leading pairs of zero bits of the top digit.
      while ((ci >> (kDigitBits - 2)) == 0 && bits > 0) {
        ci <<= 2;
        bits -= 2;
      }
    }
    for (int j = 0; j < bits; j += 2, ci <<= 2) {
      NnModMult(t, t, t, d, dDigits);
      NnModMult(t, t, t, d, dDigits);
      Digit v = ci >> (kDigitBits - 2);
      if (v != 0) NnModMult(t, t, power[v - 1], d, dDigits);
    }
  }
  NnAssign(a, t, dDigits);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

}  // namespace

void HexToBytes(const char* text, BYTE* out) {
  bool ended = text == nullptr;
  for (int i = 0; i < kRsaModulusBytes; ++i) {
    int nibbles[2] = {0, 0};
    for (int& n : nibbles) {
      if (ended) continue;
      if (*text == '\0') {
        ended = true;
        continue;
      }
      n = HexValue(*text++);
    }
    out[i] = BYTE((nibbles[0] << 4) | nibbles[1]);
  }
}

int RsaPublicBlock(int pieceLength, const BYTE* piece, const RsaPublicKey* key, BYTE* out,
                   int* outLength) {
  if (pieceLength < 0 || pieceLength > kRsaModulusBytes || key->bits < 1 ||
      key->bits > 8 * kRsaModulusBytes)
    return kRsaRefused;

  Digit m[kDigits], n[kDigits], e[kDigits], c[kDigits];
  NnDecode(m, kDigits, piece, pieceLength);
  NnDecode(n, kDigits, key->modulus, kRsaModulusBytes);
  NnDecode(e, kDigits, key->exponent, kRsaModulusBytes);
  const int nDigits = NnDigitCount(n, kDigits);
  const int eDigits = NnDigitCount(e, kDigits);
  if (NnCmp(m, n, kDigits) >= 0) return kRsaRefused;  // also refuses a zero modulus

  const int length = (key->bits + 7) / 8;
  NnModExp(c, m, e, eDigits, n, nDigits);
  NnEncode(out, length, c, nDigits);
  *outLength = length;
  return 0;
}

std::unique_ptr<BYTE[]> RsaEncryptWithHexKey(int* totalLength, const char* modulusHex,
                                             const char* data) {
  RsaPublicKey key{};
  key.bits = 1024;
  key.exponent[kRsaModulusBytes - 3] = 0x01;
  key.exponent[kRsaModulusBytes - 2] = 0x00;
  key.exponent[kRsaModulusBytes - 1] = 0x01;
  HexToBytes(modulusHex, key.modulus);

  const size_t length = data ? std::strlen(data) : 0;
  const size_t pieces = (length + kRsaPieceBytes - 1) / kRsaPieceBytes;
  const size_t size = pieces * kRsaModulusBytes + 2;
  std::unique_ptr<BYTE[]> out(new BYTE[size]());
  int total = 0;
  for (size_t i = 0; i < pieces; ++i) {
    const size_t start = i * kRsaPieceBytes;
    const size_t pieceLength = length - start < size_t(kRsaPieceBytes) ? length - start
                                                                        : size_t(kRsaPieceBytes);
    int blockLength = 0;
    if (RsaPublicBlock(int(pieceLength), reinterpret_cast<const BYTE*>(data) + start, &key,
                       out.get() + i * kRsaModulusBytes, &blockLength) != 0) {
      *totalLength = 0;
      return nullptr;
    }
    total += blockLength;
  }
  *totalLength = total;
  return out;
}
