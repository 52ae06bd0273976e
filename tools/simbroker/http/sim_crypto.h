// The sign-in service's side of the fall-back login ciphers.
//
// The client enciphers its form with raw RSA (no padding, exponent 65,537)
// in 117-byte pieces, one 128-byte block each, and expects the reply as a
// Blowfish buffer: byte 01, the plain length as 16-bit little-endian, then
// the zero-padded plain text in 8-byte blocks, each enciphered alone (ECB),
// every block read as two big-endian 32-bit words. This file is the server's
// own implementation of both, written from those wire formats: the private
// key arithmetic (Montgomery multiplication on 32-bit digits), and the
// simulated brokerage's one Blowfish (tools/simbroker/cipher) behind the
// functions below.
//
// No shared state; every function works on the caller's records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "tools/simbroker/cipher/sim_blowfish.h"

namespace simhttp {

constexpr int kSimRsaBytes = 128;      // 1,024-bit modulus
constexpr int kSimRsaPieceBytes = 117; // plain bytes per block on the client side

// The committed test key pair of the sign-in service (keys/login_key.pem).
// The modulus is the text the terminal is built with: 256 upper-case
// hexadecimal digits.
const char* SimLoginModulusHex();
const char* SimLoginPrivateExponentHex();

struct SimRsaKey {
  uint8_t modulus[kSimRsaBytes];   // big-endian
  uint8_t exponent[kSimRsaBytes];  // big-endian; private or public
};

// Fills `key` from two texts of hexadecimal digits (at most 256 each, shorter
// texts are right-aligned). Returns 1, or 0 when a text is longer than 256
// digits, holds a character that is not a hexadecimal digit, or the modulus
// is even or zero (Montgomery arithmetic needs an odd modulus).
int SimRsaKeyFromHex(SimRsaKey* key, const char* modulusHex, const char* exponentHex);

// out = in ^ exponent mod modulus, all 128-byte big-endian numbers.
// Returns 1, or 0 (out untouched) when `in` is not below the modulus.
int SimRsaBlock(const SimRsaKey* key, const uint8_t in[kSimRsaBytes], uint8_t out[kSimRsaBytes]);

// Deciphers the client's "ciptext" bytes (a whole number of 128-byte blocks)
// with the private key into the form text: the low 117 bytes of every block
// but the last, and the last block's number without its leading zero bytes.
// Returns 1 and sets *plain; 0 (plain emptied) when the length is 0 or not a
// multiple of 128, or a block is not below the modulus.
int SimRsaDecipherForm(const SimRsaKey* key, const uint8_t* cipher, size_t length,
                       std::string* plain);

// The client's enciphering, for tests and demo tools: the text cut into
// 117-byte pieces, each raised to the key's exponent into a 128-byte block.
// Returns 1, or 0 when a piece is refused.
int SimRsaEncipherForm(const SimRsaKey* key, const std::string& text, std::string* cipher);

struct SimBlowfish {
  std::optional<simcipher::SimBlowfish> cipher;  // empty until a key is set
};

// Runs the standard key schedule over `key` (1 to 56 bytes, used cyclically).
// Returns 1, or 0 for an empty or longer key (the context is then unusable:
// the functions below do nothing and return 0).
int SimBlowfishSetKey(SimBlowfish* bf, const uint8_t* key, size_t keyLength);

// One block, as the two big-endian words of 8 bytes.
void SimBlowfishEncipherBlock(const SimBlowfish* bf, uint32_t* left, uint32_t* right);
void SimBlowfishDecipherBlock(const SimBlowfish* bf, uint32_t* left, uint32_t* right);

// The enciphered buffer of `plain` (at most 65,535 bytes): 01, length LE16,
// blocks. Returns 1 and sets *out, 0 when the text is too long.
int SimBlowfishWrap(const SimBlowfish* bf, const std::string& plain, std::string* out);

// The reverse of SimBlowfishWrap: checks the marker and that the blocks the
// length needs are all there. Returns 1 and the L plain bytes, else 0.
int SimBlowfishUnwrap(const SimBlowfish* bf, const std::string& buffer, std::string* plain);

}  // namespace simhttp
