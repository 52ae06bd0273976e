#include "tools/simbroker/cipher/sim_blowfish.h"

#include <algorithm>
#include <cstring>

namespace simcipher {
namespace {

const uint32_t kPiWords[18 + 4 * 256] = {
#include "tools/simbroker/cipher/sim_pi_words.inc"
};

uint32_t LoadBigEndian(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

void StoreBigEndian(uint32_t value, uint8_t* p) {
  p[0] = static_cast<uint8_t>(value >> 24);
  p[1] = static_cast<uint8_t>(value >> 16);
  p[2] = static_cast<uint8_t>(value >> 8);
  p[3] = static_cast<uint8_t>(value);
}

}  // namespace

SimBlowfish::SimBlowfish(const void* key, size_t keyLength) {
  memcpy(p_, kPiWords, sizeof(p_));
  memcpy(s_, kPiWords + 18, sizeof(s_));
  const auto* bytes = static_cast<const uint8_t*>(key);
  keyLength = std::min<size_t>(keyLength, 56);
  if (keyLength > 0) {
    size_t at = 0;
    for (uint32_t& word : p_) {
      uint32_t mixed = 0;
      for (int i = 0; i < 4; ++i) {
        mixed = (mixed << 8) | bytes[at];
        at = (at + 1) % keyLength;
      }
      word ^= mixed;
    }
  }
  uint32_t left = 0;
  uint32_t right = 0;
  for (int i = 0; i < 18; i += 2) {
    EncipherBlock(&left, &right);
    p_[i] = left;
    p_[i + 1] = right;
  }
  for (auto& box : s_) {
    for (int i = 0; i < 256; i += 2) {
      EncipherBlock(&left, &right);
      box[i] = left;
      box[i + 1] = right;
    }
  }
}

uint32_t SimBlowfish::Round(uint32_t x) const {
  return ((s_[0][x >> 24] + s_[1][(x >> 16) & 0xFF]) ^ s_[2][(x >> 8) & 0xFF]) + s_[3][x & 0xFF];
}

void SimBlowfish::EncipherBlock(uint32_t* left, uint32_t* right) const {
  uint32_t l = *left;
  uint32_t r = *right;
  for (int i = 0; i < 16; ++i) {
    l ^= p_[i];
    r ^= Round(l);
    std::swap(l, r);
  }
  std::swap(l, r);
  r ^= p_[16];
  l ^= p_[17];
  *left = l;
  *right = r;
}

void SimBlowfish::DecipherBlock(uint32_t* left, uint32_t* right) const {
  uint32_t l = *left;
  uint32_t r = *right;
  for (int i = 17; i > 1; --i) {
    l ^= p_[i];
    r ^= Round(l);
    std::swap(l, r);
  }
  std::swap(l, r);
  r ^= p_[1];
  l ^= p_[0];
  *left = l;
  *right = r;
}

std::string SimBlowfish::EncipherBuffer(const std::string& plain) const {
  size_t length = std::min<size_t>(plain.size(), 65535);
  size_t blocks = (length + 7) / 8;
  std::string out(3 + blocks * 8, '\0');
  auto* bytes = reinterpret_cast<uint8_t*>(out.data());
  bytes[0] = 0x01;
  bytes[1] = static_cast<uint8_t>(length & 0xFF);
  bytes[2] = static_cast<uint8_t>(length >> 8);
  memcpy(bytes + 3, plain.data(), length);
  for (size_t b = 0; b < blocks; ++b) {
    uint8_t* block = bytes + 3 + b * 8;
    uint32_t left = LoadBigEndian(block);
    uint32_t right = LoadBigEndian(block + 4);
    EncipherBlock(&left, &right);
    StoreBigEndian(left, block);
    StoreBigEndian(right, block + 4);
  }
  return out;
}

bool SimBlowfish::DecipherBuffer(const uint8_t* bytes, size_t length, std::string* plain) const {
  plain->clear();
  if (bytes == nullptr || length < 3) return false;
  size_t stated = bytes[1] | (size_t{bytes[2]} << 8);
  size_t blocks = (stated + 7) / 8;
  if (3 + blocks * 8 > length) return false;
  std::string out(blocks * 8, '\0');
  auto* target = reinterpret_cast<uint8_t*>(out.data());
  for (size_t b = 0; b < blocks; ++b) {
    uint32_t left = LoadBigEndian(bytes + 3 + b * 8);
    uint32_t right = LoadBigEndian(bytes + 3 + b * 8 + 4);
    DecipherBlock(&left, &right);
    StoreBigEndian(left, target + b * 8);
    StoreBigEndian(right, target + b * 8 + 4);
  }
  out.resize(stated);
  *plain = std::move(out);
  return true;
}

}  // namespace simcipher
