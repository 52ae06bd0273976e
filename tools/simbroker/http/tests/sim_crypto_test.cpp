// The sign-in service's own RSA and Blowfish, checked against published
// Blowfish vectors and a block that openssl enciphered with the test key.
#include "tools/simbroker/http/sim_crypto.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include "foundation/tests/hex_text.h"

using namespace simhttp;

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  std::string text = s.str();
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

using test_hex::FromHexText;

SimRsaKey PrivateKey() {
  SimRsaKey key;
  EXPECT_EQ(1, SimRsaKeyFromHex(&key, SimLoginModulusHex(), SimLoginPrivateExponentHex()));
  return key;
}

SimRsaKey PublicKey() {
  SimRsaKey key;
  EXPECT_EQ(1, SimRsaKeyFromHex(&key, SimLoginModulusHex(), "10001"));
  return key;
}

TEST(SimCryptoBlowfish, PublishedVectors) {
  struct Case {
    const char* name;
    uint64_t key, plain, cipher;
  } cases[] = {
      {"zero key", 0x0000000000000000ull, 0x0000000000000000ull, 0x4EF997456198DD78ull},
      {"ones key", 0xFFFFFFFFFFFFFFFFull, 0xFFFFFFFFFFFFFFFFull, 0x51866FD5B85ECB8Aull},
      {"mixed", 0x3000000000000000ull, 0x1000000000000001ull, 0x7D856F9A613063F2ull},
      {"counting key", 0x0123456789ABCDEFull, 0x1111111111111111ull, 0x61F9C3802281B096ull},
  };
  for (const Case& c : cases) {
    uint8_t key[8];
    for (int i = 0; i < 8; ++i) key[i] = uint8_t(c.key >> (56 - 8 * i));
    SimBlowfish bf;
    ASSERT_EQ(1, SimBlowfishSetKey(&bf, key, 8)) << c.name;
    uint32_t l = uint32_t(c.plain >> 32), r = uint32_t(c.plain);
    SimBlowfishEncipherBlock(&bf, &l, &r);
    EXPECT_EQ(c.cipher, (uint64_t(l) << 32) | r) << c.name;
    SimBlowfishDecipherBlock(&bf, &l, &r);
    EXPECT_EQ(c.plain, (uint64_t(l) << 32) | r) << c.name;
  }
}

TEST(SimCryptoBlowfish, BufferLayoutAndRoundTrip) {
  const std::string key = "0123456789ABCDEF0123456789ABCDEF";
  SimBlowfish bf;
  ASSERT_EQ(1, SimBlowfishSetKey(&bf, reinterpret_cast<const uint8_t*>(key.data()), key.size()));
  struct Case {
    const char* name;
    std::string plain;
    size_t size;
  } cases[] = {{"empty", "", 3}, {"five", "abcde", 11}, {"eight", "abcdefgh", 11},
               {"nine", "abcdefghi", 19}};
  for (const Case& c : cases) {
    std::string wrapped = "sentinel", back = "sentinel";
    ASSERT_EQ(1, SimBlowfishWrap(&bf, c.plain, &wrapped)) << c.name;
    EXPECT_EQ(c.size, wrapped.size()) << c.name;
    EXPECT_EQ('\x01', wrapped[0]) << c.name;
    EXPECT_EQ(char(c.plain.size()), wrapped[1]) << c.name;
    EXPECT_EQ('\0', wrapped[2]) << c.name;
    ASSERT_EQ(1, SimBlowfishUnwrap(&bf, wrapped, &back)) << c.name;
    EXPECT_EQ(c.plain, back) << c.name;
  }
  // ECB: equal plain blocks give equal cipher blocks.
  std::string wrapped;
  ASSERT_EQ(1, SimBlowfishWrap(&bf, "AAAAAAAAAAAAAAAA", &wrapped));
  EXPECT_EQ(wrapped.substr(3, 8), wrapped.substr(11, 8));
  // A buffer cut short is refused.
  std::string plain = "untouched";
  EXPECT_EQ(0, SimBlowfishUnwrap(&bf, wrapped.substr(0, 15), &plain));
  EXPECT_EQ("untouched", plain);
  EXPECT_EQ(0, SimBlowfishSetKey(&bf, nullptr, 0));
}

TEST(SimCryptoRsa, DeciphersTheBlockOpensslEnciphered) {
  std::string plain = FromHexText(ReadText(ORV_SIMBROKER_HTTP_DIR "/keys/raw_block.plain.hex"));
  std::string cipher = FromHexText(ReadText(ORV_SIMBROKER_HTTP_DIR "/keys/raw_block.cipher.hex"));
  ASSERT_EQ(128u, plain.size());
  ASSERT_EQ(128u, cipher.size());
  SimRsaKey key = PrivateKey();
  uint8_t out[kSimRsaBytes];
  ASSERT_EQ(1, SimRsaBlock(&key, reinterpret_cast<const uint8_t*>(cipher.data()), out));
  EXPECT_EQ(plain, std::string(reinterpret_cast<char*>(out), 128));
  // The public side of the service's arithmetic gives openssl's block back.
  SimRsaKey pub = PublicKey();
  ASSERT_EQ(1, SimRsaBlock(&pub, out, out));
  EXPECT_EQ(cipher, std::string(reinterpret_cast<char*>(out), 128));
  // The modulus the terminal is built with is 256 upper-case hex digits.
  EXPECT_EQ(256u, std::string(SimLoginModulusHex()).size());
  EXPECT_EQ(std::string::npos, std::string(SimLoginModulusHex()).find_first_of("abcdef"));
}

TEST(SimCryptoRsa, FormRoundTripByPieces) {
  SimRsaKey pub = PublicKey(), priv = PrivateKey();
  std::string longForm = "secretkey=0A1B2C3D4E5F60718293A4B5C6D7E8F9&account=demo&netpass=";
  longForm += std::string(150, 'p') + "&=x";
  struct Case {
    const char* name;
    std::string form;
    size_t blocks;
  } cases[] = {{"one byte", "\x01", 1},
               {"exactly 117", std::string(117, 'a'), 1},
               {"118 bytes", std::string(118, 'b'), 2},
               {"sign-in form", longForm, (longForm.size() + 116) / 117}};
  for (const Case& c : cases) {
    std::string cipher, back;
    ASSERT_EQ(1, SimRsaEncipherForm(&pub, c.form, &cipher)) << c.name;
    EXPECT_EQ(128 * c.blocks, cipher.size()) << c.name;
    ASSERT_EQ(1, SimRsaDecipherForm(&priv, reinterpret_cast<const uint8_t*>(cipher.data()),
                                    cipher.size(), &back))
        << c.name;
    EXPECT_EQ(c.form, back) << c.name;
  }
  // Raw RSA: the piece 01 enciphers to the number 1 whatever the modulus.
  std::string cipher;
  ASSERT_EQ(1, SimRsaEncipherForm(&pub, "\x01", &cipher));
  EXPECT_EQ(std::string(127, '\0') + "\x01", cipher);
}

TEST(SimCryptoRsa, RefusesMalformedInput) {
  SimRsaKey priv = PrivateKey();
  std::string plain = "sentinel";
  uint8_t shortCipher[100] = {};
  EXPECT_EQ(0, SimRsaDecipherForm(&priv, shortCipher, sizeof shortCipher, &plain));
  EXPECT_EQ("", plain);
  EXPECT_EQ(0, SimRsaDecipherForm(&priv, shortCipher, 0, &plain));
  uint8_t tooBig[128];
  std::memset(tooBig, 0xFF, sizeof tooBig);  // not below the modulus
  EXPECT_EQ(0, SimRsaDecipherForm(&priv, tooBig, sizeof tooBig, &plain));
  SimRsaKey key;
  EXPECT_EQ(0, SimRsaKeyFromHex(&key, "10", "3"));       // even modulus
  EXPECT_EQ(0, SimRsaKeyFromHex(&key, "1G", "3"));       // not hexadecimal
  EXPECT_EQ(0, SimRsaKeyFromHex(&key, std::string(257, '1').c_str(), "3"));
}

}  // namespace
