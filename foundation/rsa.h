// RSA public-key encryption of the login fall-back.
//
// The form text is cut into pieces of at most 117 bytes; each piece, read as
// a big-endian number m, becomes the 128-byte big-endian block m^e mod n.
// The pieces are enciphered raw, without padding or random bytes, with the
// public exponent 65,537: the server decodes exactly this, so equal texts
// give equal results on purpose.
//
// No shared state: all numbers live on the caller's stack.
#pragma once

#include <memory>

#include "platform/kernel/win_types.h"

constexpr int kRsaModulusBytes = 128;  // 1,024-bit key
constexpr int kRsaPieceBytes = 117;    // plain bytes per enciphered block
constexpr int kRsaRefused = 1025;      // the piece's number is not below the modulus

struct RsaPublicKey {
  WORD bits;                         // key size in bits (1,024)
  BYTE modulus[kRsaModulusBytes];    // big-endian
  BYTE exponent[kRsaModulusBytes];   // big-endian (ends 01 00 01 for 65,537)
};

// Reads 256 hexadecimal digits ('0'-'9', 'a'-'f', 'A'-'F'; any other
// character counts as 0), high nibble first, into the 128 bytes of `out`.
// A text that ends early (its terminating zero) gives 0 for every missing
// digit; nothing beyond the terminator is read.
void HexToBytes(const char* text, BYTE* out);

// Enciphers one piece of `pieceLength` bytes (0 to 128). On success writes
// the (bits + 7) / 8 bytes of m^e mod n to `out` (leading zero bytes kept),
// stores that count in *outLength and returns 0. Returns kRsaRefused and
// writes nothing when m is not below the modulus, and also when the piece is
// longer than 128 bytes or the key's bits are not within 1 to 1,024.
// `out` must hold (bits + 7) / 8 bytes.
int RsaPublicBlock(int pieceLength, const BYTE* piece, const RsaPublicKey* key, BYTE* out,
                   int* outLength);

// Enciphers the zero-terminated `data` with the 1,024-bit modulus given as
// 256 hexadecimal digits and the exponent 65,537. Returns a new buffer of
// pieces x 128 + 2 zero-filled bytes holding one 128-byte block per piece,
// in order, and stores pieces x 128 in *totalLength (an empty text gives a
// buffer of 2 zero bytes and 0). When a piece is refused (the modulus is not
// a usable 1,024-bit number) returns null and stores 0.
std::unique_ptr<BYTE[]> RsaEncryptWithHexKey(int* totalLength, const char* modulusHex,
                                             const char* data);
