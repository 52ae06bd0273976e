// The simulated brokerage's one Blowfish (used by the trade service and the
// HTTP sign-in), written from the wire format and kept apart from the
// terminal's code, so that a fault on one side is not mirrored on the other.
//
// Buffer form: byte 0x01, the plain length L as 16-bit little-endian, then
// the plain bytes zero-padded to whole 8-byte blocks, each block enciphered
// alone (ECB) as two big-endian 32-bit words, 16 rounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace simcipher {

class SimBlowfish {
 public:
  // Key schedule of the key bytes (taken cyclically; at most 56 used).
  SimBlowfish(const void* key, size_t keyLength);

  void EncipherBlock(uint32_t* left, uint32_t* right) const;
  void DecipherBlock(uint32_t* left, uint32_t* right) const;

  // The buffer form of plain (at most 65,535 bytes; longer is cut there).
  std::string EncipherBuffer(const std::string& plain) const;
  // The plain text of a buffer; false when it is shorter than 3 bytes or than
  // its stated blocks (plain left empty).
  bool DecipherBuffer(const uint8_t* bytes, size_t length, std::string* plain) const;

 private:
  uint32_t Round(uint32_t x) const;
  uint32_t p_[18];
  uint32_t s_[4][256];
};

}  // namespace simcipher
