// Tests of the Blowfish buffer cipher: the published block vectors, a
// cross-check against OpenSSL's Blowfish, and the buffer form's sizes and
// failures.
#include "foundation/blowfish.h"

#define OPENSSL_SUPPRESS_DEPRECATED
#include <gtest/gtest.h>
#include <openssl/blowfish.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "foundation/tests/hex_text.h"
#include "platform/kernel/debug_sink.h"

namespace {

using Bytes = std::vector<BYTE>;

Bytes FromHex(const std::string& hex) {
  const auto bytes = test_hex::FromHex(hex);
  return Bytes(bytes.begin(), bytes.end());
}

std::unique_ptr<BlowfishContext> Keyed(const Bytes& key, int direction = 1) {
  auto ctx = std::make_unique<BlowfishContext>();
  BlowfishSetKey(ctx.get(), direction, key.data(), int(key.size()));
  return ctx;
}

TEST(Blowfish, PublishedVectors) {
  // Key, plain block, cipher block; blocks as two big-endian words.
  struct Vector {
    const char* key;
    const char* plain;
    const char* cipher;
  };
  const Vector vectors[] = {
      {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
      {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
      {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
      {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
      {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
      {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
      {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
      {"F0", "FEDCBA9876543210", "F9AD597C49DB005E"},
      {"F0E1D2C3B4A59687", "FEDCBA9876543210", "E87A244E2CC85E82"},
  };
  for (const Vector& v : vectors) {
    SCOPED_TRACE(v.key);
    auto ctx = Keyed(FromHex(v.key));
    const Bytes plain = FromHex(v.plain);
    DWORD l = (DWORD(plain[0]) << 24) | (DWORD(plain[1]) << 16) | (DWORD(plain[2]) << 8) | plain[3];
    DWORD r = (DWORD(plain[4]) << 24) | (DWORD(plain[5]) << 16) | (DWORD(plain[6]) << 8) | plain[7];
    BlowfishEncipherBlock(ctx.get(), &l, &r);
    char text[17];
    std::snprintf(text, sizeof text, "%08X%08X", l, r);
    EXPECT_EQ(std::string(text), v.cipher);
    BlowfishDecipherBlock(ctx.get(), &l, &r);
    std::snprintf(text, sizeof text, "%08X%08X", l, r);
    EXPECT_EQ(std::string(text), v.plain);
  }
}

TEST(Blowfish, MatchesOpenSslEcbOverTheBufferForm) {
  std::mt19937 rng(7);
  for (int keyLength : {1, 5, 8, 16, 24, 32, 56}) {
    for (int length : {0, 1, 7, 8, 9, 100, 1016}) {
      SCOPED_TRACE(testing::Message() << "key " << keyLength << " length " << length);
      Bytes key(static_cast<size_t>(keyLength));
      Bytes plain(static_cast<size_t>(length));
      for (BYTE& b : key) b = BYTE(rng());
      for (BYTE& b : plain) b = BYTE(rng());
      auto ctx = Keyed(key);
      Bytes out(1024 + 16, 0xEE);
      const int size = BlowfishEncryptBuffer(ctx.get(), plain.data(), 1024, 0, length, out.data(),
                                             int(out.size()));
      ASSERT_EQ(size, 8 * ((length + 7) / 8) + 3);

      BF_KEY ref;
      BF_set_key(&ref, keyLength, key.data());
      Bytes padded = plain;
      padded.resize(size_t(size - 3), 0);
      for (size_t i = 0; i < padded.size(); i += 8) {
        BYTE block[8];
        BF_ecb_encrypt(padded.data() + i, block, &ref, BF_ENCRYPT);
        ASSERT_EQ(Bytes(block, block + 8), Bytes(out.begin() + 3 + long(i), out.begin() + 11 + long(i)))
            << "block " << i / 8;
      }

      Bytes back(size_t(size - 3) + 8, 0x77);
      ASSERT_EQ(BlowfishDecryptBuffer(ctx.get(), out.data(), size, back.data(), int(back.size())), length);
      EXPECT_EQ(Bytes(back.begin(), back.begin() + length), plain);
      EXPECT_EQ(Bytes(back.begin() + length, back.end()), Bytes(back.size() - size_t(length), 0))
          << "padding and the rest of the output are zero";
    }
  }
}

TEST(Blowfish, BufferSizes) {
  struct Case {
    int length;
    int size;
  };
  const Case cases[] = {{0, 3}, {5, 11}, {8, 11}, {9, 19}, {1016, 1019}, {65535, 65539}};
  auto ctx = Keyed(FromHex("0123456789ABCDEF"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    Bytes plain(size_t(c.length), 'x');
    Bytes out(size_t(c.size), 0);
    ASSERT_EQ(BlowfishEncryptBuffer(ctx.get(), plain.data(), 1024, 0, c.length, out.data(), c.size), c.size);
    EXPECT_EQ(out[0], 0x01);
    EXPECT_EQ(out[1], BYTE(c.length & 0xFF));
    EXPECT_EQ(out[2], BYTE(c.length >> 8));
    EXPECT_EQ(BlowfishCipherSize(out.data()), c.size - 3);
    EXPECT_EQ(BlowfishCipherSize(out.data(), int(out.size())), c.size - 3);
  }
}

TEST(Blowfish, EcbAndDirectionAndInPlace) {
  auto ctx = Keyed(FromHex("7CA110454A1A6E57"), /*direction=*/0);  // direction does not matter
  const Bytes plain = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'};
  Bytes out(19, 0);
  ASSERT_EQ(BlowfishEncryptBuffer(ctx.get(), plain.data(), 1024, 0, 16, out.data(), 19), 19);
  EXPECT_EQ(Bytes(out.begin() + 3, out.begin() + 11), Bytes(out.begin() + 11, out.end()))
      << "equal plain blocks give equal cipher blocks";
  EXPECT_NE(Bytes(out.begin() + 3, out.begin() + 11), Bytes(plain.begin(), plain.begin() + 8));

  BlowfishContext ref;
  BlowfishSetKey(&ref, 1, FromHex("7CA110454A1A6E57").data(), 8);
  Bytes refOut(19, 0);
  BlowfishEncryptBuffer(&ref, plain.data(), 1024, 0, 16, refOut.data(), 19);
  EXPECT_EQ(out, refOut) << "a key set with direction 0 still enciphers";

  Bytes buffer(1024, 0);  // the callers' in-place use
  std::copy(plain.begin(), plain.end(), buffer.begin());
  ASSERT_EQ(BlowfishEncryptBuffer(ctx.get(), buffer.data(), 1024, 0, 16, buffer.data(), 1024), 19);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 19), out);
}

TEST(Blowfish, RefusalsLeaveTheOutputAlone) {
  auto ctx = Keyed(FromHex("0123456789ABCDEF"));
  Bytes plain(70000, 'p');
  Bytes cipher(19, 0);
  ASSERT_EQ(BlowfishEncryptBuffer(ctx.get(), plain.data(), 1024, 0, 9, cipher.data(), 19), 19);

  struct Case {
    const char* name;
    bool encrypt;
    Bytes input;
    int length;  // plain length (encrypt) or input length (decrypt)
    int capacity;
    const char* stdoutText;  // nullptr: nothing on the standard output
  };
  Bytes lying = cipher;
  lying[1] = 0xFF;  // announces 255 bytes, holds 16
  const Case cases[] = {
      {"encrypt: capacity 10 for 5 bytes", true, plain, 5, 10, "\nBlowFish_Encrypt dst_len < output_len\n"},
      {"encrypt: 65,536 bytes", true, plain, 65536, 70000, nullptr},
      {"encrypt: negative length", true, plain, -1, 70000, nullptr},
      {"decrypt: capacity below the blocks", false, cipher, 19, 15, "\nBlowFish_Decrypt dst_len < output_len\n"},
      {"decrypt: empty input", false, cipher, 0, 64, nullptr},
      {"decrypt: two bytes", false, cipher, 2, 64, nullptr},
      {"decrypt: blocks cut", false, cipher, 18, 64, nullptr},
      {"decrypt: head lies about the length", false, lying, 19, 1024, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DebugCapture capture;
    Bytes out(size_t(std::max(c.capacity, 0)) + 8, 0xA5);
    const int r = c.encrypt
                      ? BlowfishEncryptBuffer(ctx.get(), c.input.data(), 1024, 0, c.length, out.data(), c.capacity)
                      : BlowfishDecryptBuffer(ctx.get(), c.input.data(), c.length, out.data(), c.capacity);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(out, Bytes(out.size(), 0xA5)) << "output untouched";
    EXPECT_EQ(capture.Text(DebugChannel::Stdout), c.stdoutText ? c.stdoutText : "");
  }
  EXPECT_EQ(BlowfishCipherSize(cipher.data(), 2), -1);
}

TEST(Blowfish, LongKeysAreCut) {
  Bytes key(80);
  for (size_t i = 0; i < key.size(); ++i) key[i] = BYTE(i * 7 + 1);
  auto longKey = Keyed(key);
  auto cut = Keyed(Bytes(key.begin(), key.begin() + kBlowfishMaxKeyLength));
  EXPECT_EQ(longKey->keyLength, kBlowfishMaxKeyLength);
  DWORD l1 = 1, r1 = 2, l2 = 1, r2 = 2;
  BlowfishEncipherBlock(longKey.get(), &l1, &r1);
  BlowfishEncipherBlock(cut.get(), &l2, &r2);
  EXPECT_EQ(l1, l2);
  EXPECT_EQ(r1, r2);
}

}  // namespace
