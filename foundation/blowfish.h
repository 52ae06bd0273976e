// Blowfish buffer cipher of the login fall-back and the trade protocol.
//
// Enciphered buffer (the form the servers send and expect; kept as is):
//   offset 0      1 byte   marker 0x01
//   offset 1      2 bytes  plain length L, unsigned 16-bit little-endian
//   offset 3      8 x ceil(L / 8) bytes: the plain bytes zero-padded to whole
//                 8-byte blocks, each block enciphered on its own (ECB, no
//                 chaining, no initialisation vector; the servers rely on it)
// Each block is read as two big-endian 32-bit words (left, right) and
// written back the same way. The block cipher is standard 16-round Blowfish.
//
// A context is used by one thread at a time: each buffer operation rewrites
// its direction byte. Separate contexts are independent.
#pragma once

#include "platform/kernel/win_types.h"

// Longest key Blowfish defines; longer keys are cut to this length.
constexpr int kBlowfishMaxKeyLength = 56;

// Fields in this order; callers touch none of them.
struct BlowfishContext {
  DWORD s[4][256];                  // S-boxes after the key schedule
  DWORD p[18];                      // P-array after the key schedule
  BYTE direction;                   // 1 encipher, 0 decipher (set by each buffer operation)
  BYTE key[kBlowfishMaxKeyLength];  // the key bytes as given (cut at 56)
  int keyLength;                    // number of bytes in key
};

// Stores direction and key (at most 56 bytes are kept) and runs the
// standard Blowfish key schedule, the key bytes taken cyclically. A key of
// length 0 (or a null key) leaves the initial tables unmixed by key bytes.
// The direction does not matter for the buffer operations, which set it.
void BlowfishSetKey(BlowfishContext* ctx, int direction, const BYTE* key, int keyLength);

// Writes the enciphered buffer of the `length` bytes at `input` into
// `output` and returns its size 8 x ceil(length / 8) + 3.
// Returns -1 and leaves the output untouched when:
//   - outputCapacity is below that size ("\nBlowFish_Encrypt dst_len <
//     output_len\n" goes to the standard output);
//   - length is negative or above 65,535, which the 16-bit head cannot hold.
// inputCapacity and inputOffset are not used (callers pass 1,024 and 0).
// input and output may be the same buffer (in-place encipherment).
int BlowfishEncryptBuffer(BlowfishContext* ctx, const BYTE* input, int inputCapacity,
                          int inputOffset, int length, BYTE* output, int outputCapacity);

// Deciphers the enciphered buffer `input` of `inputLength` bytes: zero-fills
// the whole output capacity, writes the deciphered blocks from the output's
// start and returns the plain length L (bytes 1-2 of the input). The marker
// byte is not checked.
// Returns -1 and leaves the output untouched when:
//   - inputLength is below 3 or below 3 + 8 x ceil(L / 8): a short or
//     damaged reply (a trace goes to the debugger output);
//   - outputCapacity is below 8 x ceil(L / 8) ("\nBlowFish_Decrypt dst_len <
//     output_len\n" goes to the standard output).
// input and output must not overlap.
int BlowfishDecryptBuffer(BlowfishContext* ctx, const BYTE* input, int inputLength,
                          BYTE* output, int outputCapacity);

// 8 x ceil(L / 8) for the L stored in bytes 1-2 of an enciphered buffer: the
// block bytes after the 3-byte head and the output size deciphering needs.
// The buffer must hold at least 3 bytes.
int BlowfishCipherSize(const BYTE* buffer);

// As above for a buffer of `length` bytes: -1 when it is shorter than 3.
int BlowfishCipherSize(const BYTE* buffer, int length);

// One block of the cipher (exposed for the published test vectors):
// enciphers or deciphers the pair of words in place.
void BlowfishEncipherBlock(const BlowfishContext* ctx, DWORD* left, DWORD* right);
void BlowfishDecipherBlock(const BlowfishContext* ctx, DWORD* left, DWORD* right);
