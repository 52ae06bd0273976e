// Tests of the raw RSA encryption: known-answer blocks from an independent
// big-number library, and decryption with OpenSSL's raw RSA of a test-only
// key pair.
#include "foundation/rsa.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

#include "foundation/tests/fixtures/rsa/rsa_fixtures.inc"
#include "foundation/tests/hex_text.h"

using Bytes = std::vector<BYTE>;

Bytes FromHex(const std::string& hex) {
  const auto bytes = test_hex::FromHex(hex);
  return Bytes(bytes.begin(), bytes.end());
}

RsaPublicKey TestKey(const char* modulusHex = kTestModulusHex) {
  RsaPublicKey key{};
  key.bits = 1024;
  HexToBytes(modulusHex, key.modulus);
  key.exponent[125] = 0x01;
  key.exponent[127] = 0x01;
  return key;
}

// OpenSSL's raw (unpadded) private-key operation with the test key.
Bytes OpenSslRawDecrypt(const BYTE* block) {
  const std::string path = std::string(ORV_SOURCE_DIR) + "/foundation/tests/fixtures/rsa/test_key.pem";
  FILE* f = std::fopen(path.c_str(), "r");
  EXPECT_NE(f, nullptr) << path;
  if (f == nullptr) return {};
  EVP_PKEY* pkey = PEM_read_PrivateKey(f, nullptr, nullptr, nullptr);
  std::fclose(f);
  EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(pkey, nullptr);
  EXPECT_EQ(EVP_PKEY_decrypt_init(ctx), 1);
  EXPECT_EQ(EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_NO_PADDING), 1);
  Bytes out(128);
  size_t outLength = out.size();
  EXPECT_EQ(EVP_PKEY_decrypt(ctx, out.data(), &outLength, block, 128), 1);
  out.resize(outLength);
  EVP_PKEY_CTX_free(ctx);
  EVP_PKEY_free(pkey);
  return out;
}

TEST(RsaEncrypt, KnownAnswerBlocks) {
  const RsaPublicKey key = TestKey();
  for (const RsaKnownAnswer& kat : kRsaKnownAnswers) {
    SCOPED_TRACE(kat.pieceHex);
    const Bytes piece = FromHex(kat.pieceHex);
    Bytes out(128 + 4, 0xCC);
    int outLength = -1;
    ASSERT_EQ(RsaPublicBlock(int(piece.size()), piece.data(), &key, out.data(), &outLength), 0);
    EXPECT_EQ(outLength, 128);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 128), FromHex(kat.blockHex));
    EXPECT_EQ(Bytes(out.begin() + 128, out.end()), Bytes(4, 0xCC)) << "nothing beyond the block";
  }
}

TEST(RsaEncrypt, OpenSslRecoversThePieces) {
  std::string text = "secretkey=0123456789ABCDEF0123456789ABCDEF&account=1234567890&netpass=";
  while (text.size() < 300) text += char('a' + text.size() % 26);
  int total = -1;
  auto blocks = RsaEncryptWithHexKey(&total, kTestModulusHex, text.c_str());
  ASSERT_NE(blocks, nullptr);
  ASSERT_EQ(total, 3 * 128);
  EXPECT_EQ(blocks[total], 0);
  EXPECT_EQ(blocks[total + 1], 0);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const std::string piece = text.substr(size_t(i) * 117, 117);
    Bytes expected(128 - piece.size(), 0);
    expected.insert(expected.end(), piece.begin(), piece.end());
    EXPECT_EQ(OpenSslRawDecrypt(blocks.get() + 128 * i), expected);
  }
}

TEST(RsaEncrypt, PieceCountsAndFixedPoints) {
  struct Case {
    const char* name;
    std::string text;
    int total;
  };
  const Case cases[] = {
      {"empty", "", 0},
      {"117 bytes", std::string(117, 'x'), 128},
      {"118 bytes", std::string(118, 'x'), 256},
      {"234 bytes", std::string(234, 'x'), 256},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int total = -1;
    auto out = RsaEncryptWithHexKey(&total, kTestModulusHex, c.text.c_str());
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(total, c.total);
    EXPECT_EQ(Bytes(out.get() + c.total, out.get() + c.total + 2), Bytes(2, 0));
    int again = -1;
    auto second = RsaEncryptWithHexKey(&again, kTestModulusHex, c.text.c_str());
    EXPECT_EQ(Bytes(out.get(), out.get() + total + 2), Bytes(second.get(), second.get() + again + 2))
        << "deterministic";
  }

  // 01 is a fixed point of m^e mod n, whatever the modulus.
  for (const char* modulus : {kTestModulusHex, "C0FFEE"}) {
    RsaPublicKey key = TestKey();
    if (std::strcmp(modulus, "C0FFEE") == 0) {
      std::memset(key.modulus, 0, sizeof key.modulus);
      key.modulus[127] = 0xEE;
      key.modulus[126] = 0xFF;
      key.modulus[125] = 0xC0;
    }
    const BYTE one = 0x01;
    Bytes out(128, 0xCC);
    int outLength = 0;
    ASSERT_EQ(RsaPublicBlock(1, &one, &key, out.data(), &outLength), 0);
    Bytes expected(128, 0);
    expected[127] = 1;
    EXPECT_EQ(out, expected);
  }
}

TEST(RsaEncrypt, HexToBytes) {
  BYTE out[128];
  std::memset(out, 0xCC, sizeof out);
  HexToBytes("0aFFzz10", out);
  EXPECT_EQ(out[0], 0x0A);
  EXPECT_EQ(out[1], 0xFF);
  EXPECT_EQ(out[2], 0x00);
  EXPECT_EQ(out[3], 0x10);
  EXPECT_EQ(out[4], 0x00) << "a text that ends early gives zeros, read no further";
  EXPECT_EQ(out[127], 0x00);
}

TEST(RsaEncrypt, PiecesNotBelowTheModulusAreRefused) {
  RsaPublicKey key = TestKey();
  std::memset(key.modulus, 0, sizeof key.modulus);
  key.modulus[127] = 5;  // n = 5
  struct Case {
    const char* name;
    Bytes piece;
    int expected;
  };
  const Case cases[] = {
      {"m = 7 > n", {0x07}, kRsaRefused},
      {"m = n", {0x05}, kRsaRefused},
      {"m = 4 < n", {0x04}, 0},
      {"piece of 129 bytes", Bytes(129, 0), kRsaRefused},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes out(128, 0xCC);
    int outLength = -7;
    EXPECT_EQ(RsaPublicBlock(int(c.piece.size()), c.piece.data(), &key, out.data(), &outLength), c.expected);
    if (c.expected != 0) {
      EXPECT_EQ(out, Bytes(128, 0xCC)) << "nothing written";
      EXPECT_EQ(outLength, -7);
    }
  }
  // 4^65537 mod 5 = 4 (4^odd = 4 mod 5).
  Bytes out(128);
  int outLength = 0;
  const BYTE four = 4;
  RsaPublicBlock(1, &four, &key, out.data(), &outLength);
  EXPECT_EQ(out[127], 4);

  // A modulus that refuses a piece makes the whole operation fail.
  int total = -1;
  const std::string small = std::string(254, '0') + "05";
  EXPECT_EQ(RsaEncryptWithHexKey(&total, small.c_str(), "some text"), nullptr);
  EXPECT_EQ(total, 0);
  EXPECT_EQ(RsaEncryptWithHexKey(&total, "", "x"), nullptr) << "zero modulus";
}

}  // namespace
