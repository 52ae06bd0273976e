// Blowfish block cipher and the program's enciphered-buffer form.
#include "foundation/blowfish.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/kernel/debug_sink.h"

namespace {

#include "foundation/blowfish_tables.inc"

inline DWORD Feistel(const BlowfishContext* ctx, DWORD x) {
  return ((ctx->s[0][x >> 24] + ctx->s[1][(x >> 16) & 0xFF]) ^ ctx->s[2][(x >> 8) & 0xFF]) +
         ctx->s[3][x & 0xFF];
}

inline DWORD LoadBigEndian32(const BYTE* p) {
  return (DWORD(p[0]) << 24) | (DWORD(p[1]) << 16) | (DWORD(p[2]) << 8) | DWORD(p[3]);
}

inline void StoreBigEndian32(BYTE* p, DWORD v) {
  p[0] = BYTE(v >> 24);
  p[1] = BYTE(v >> 16);
  p[2] = BYTE(v >> 8);
  p[3] = BYTE(v);
}

// Number of whole 8-byte blocks that hold `length` bytes.
inline int BlockCount(int length) { return (length + 7) / 8; }

}  // namespace

void BlowfishEncipherBlock(const BlowfishContext* ctx, DWORD* left, DWORD* right) {
  DWORD l = *left;
  DWORD r = *right;
  for (int i = 0; i < 16; i += 2) {
    l ^= ctx->p[i];
    r ^= Feistel(ctx, l);
    r ^= ctx->p[i + 1];
    l ^= Feistel(ctx, r);
  }
  l ^= ctx->p[16];
  r ^= ctx->p[17];
  *left = r;
  *right = l;
}

void BlowfishDecipherBlock(const BlowfishContext* ctx, DWORD* left, DWORD* right) {
  DWORD l = *left;
  DWORD r = *right;
  for (int i = 17; i > 1; i -= 2) {
    l ^= ctx->p[i];
    r ^= Feistel(ctx, l);
    r ^= ctx->p[i - 1];
    l ^= Feistel(ctx, r);
  }
  l ^= ctx->p[1];
  r ^= ctx->p[0];
  *left = r;
  *right = l;
}

void BlowfishSetKey(BlowfishContext* ctx, int direction, const BYTE* key, int keyLength) {
  if (key == nullptr || keyLength < 0) keyLength = 0;
  if (keyLength > kBlowfishMaxKeyLength) keyLength = kBlowfishMaxKeyLength;
  ctx->direction = BYTE(direction);
  std::memset(ctx->key, 0, sizeof ctx->key);
  if (keyLength > 0) std::memcpy(ctx->key, key, size_t(keyLength));
  ctx->keyLength = keyLength;

  std::memcpy(ctx->p, kInitialP, sizeof ctx->p);
  std::memcpy(ctx->s[0], kInitialS0, sizeof ctx->s[0]);
  std::memcpy(ctx->s[1], kInitialS1, sizeof ctx->s[1]);
  std::memcpy(ctx->s[2], kInitialS2, sizeof ctx->s[2]);
  std::memcpy(ctx->s[3], kInitialS3, sizeof ctx->s[3]);

  if (keyLength > 0) {
    int k = 0;
    for (int i = 0; i < 18; ++i) {
      DWORD word = 0;
      for (int b = 0; b < 4; ++b) {
        word = (word << 8) | ctx->key[k];
        k = (k + 1) % keyLength;
      }
      ctx->p[i] ^= word;
    }
  }

  DWORD l = 0;
  DWORD r = 0;
  for (int i = 0; i < 18; i += 2) {
    BlowfishEncipherBlock(ctx, &l, &r);
    ctx->p[i] = l;
    ctx->p[i + 1] = r;
  }
  for (int s = 0; s < 4; ++s) {
    for (int i = 0; i < 256; i += 2) {
      BlowfishEncipherBlock(ctx, &l, &r);
      ctx->s[s][i] = l;
      ctx->s[s][i + 1] = r;
    }
  }
}

int BlowfishEncryptBuffer(BlowfishContext* ctx, const BYTE* input, int /*inputCapacity*/,
                          int /*inputOffset*/, int length, BYTE* output, int outputCapacity) {
  ctx->direction = 1;
  if (length < 0 || length > 0xFFFF) {
    OutputDebugStringA(("BlowfishEncryptBuffer: length " + std::to_string(length) +
                        " does not fit the 16-bit head\n").c_str());
    return -1;
  }
  const int blocks = BlockCount(length);
  const int size = 8 * blocks + 3;
  if (outputCapacity < size) {
    DebugWrite(DebugChannel::Stdout, "\nBlowFish_Encrypt dst_len < output_len\n");
    return -1;
  }
  // One work buffer holds the result, so input and output may coincide.
  std::vector<BYTE> result(size_t(size), 0);
  result[0] = 0x01;
  result[1] = BYTE(length & 0xFF);
  result[2] = BYTE((length >> 8) & 0xFF);
  if (length > 0) std::memcpy(result.data() + 3, input, size_t(length));
  for (int i = 0; i < blocks; ++i) {
    BYTE* block = result.data() + 3 + 8 * i;
    DWORD l = LoadBigEndian32(block);
    DWORD r = LoadBigEndian32(block + 4);
    BlowfishEncipherBlock(ctx, &l, &r);
    StoreBigEndian32(block, l);
    StoreBigEndian32(block + 4, r);
  }
  std::memcpy(output, result.data(), size_t(size));
  return size;
}

int BlowfishDecryptBuffer(BlowfishContext* ctx, const BYTE* input, int inputLength,
                          BYTE* output, int outputCapacity) {
  ctx->direction = 0;
  if (input == nullptr || inputLength < 3) {
    OutputDebugStringA("BlowfishDecryptBuffer: input shorter than its 3-byte head\n");
    return -1;
  }
  const int length = input[1] + 256 * input[2];
  const int blocks = BlockCount(length);
  if (inputLength - 3 < 8 * blocks) {
    OutputDebugStringA(("BlowfishDecryptBuffer: head announces " + std::to_string(length) +
                        " bytes, input holds " + std::to_string(inputLength - 3) + "\n")
                           .c_str());
    return -1;
  }
  if (outputCapacity < 8 * blocks) {
    DebugWrite(DebugChannel::Stdout, "\nBlowFish_Decrypt dst_len < output_len\n");
    return -1;
  }
  std::memset(output, 0, size_t(outputCapacity));
  for (int i = 0; i < blocks; ++i) {
    const BYTE* src = input + 3 + 8 * i;
    DWORD l = LoadBigEndian32(src);
    DWORD r = LoadBigEndian32(src + 4);
    BlowfishDecipherBlock(ctx, &l, &r);
    StoreBigEndian32(output + 8 * i, l);
    StoreBigEndian32(output + 8 * i + 4, r);
  }
  return length;
}

int BlowfishCipherSize(const BYTE* buffer) {
  return 8 * BlockCount(buffer[1] + 256 * buffer[2]);
}

int BlowfishCipherSize(const BYTE* buffer, int length) {
  if (buffer == nullptr || length < 3) return -1;
  return BlowfishCipherSize(buffer);
}
