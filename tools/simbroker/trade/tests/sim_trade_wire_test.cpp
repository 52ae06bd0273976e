// The service's own cipher and wire code, checked against the published
// Blowfish vectors and against the terminal's codec in both directions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tools/simbroker/cipher/sim_blowfish.h"
#include "tools/simbroker/trade/trade_wire.h"
#include "trading/tests/trade_test_support.h"
#include "trading/trade_key.h"
#include "trading/trade_requests.h"

namespace {

using simcipher::SimBlowfish;

TEST(SimTradeCipher, PublishedVectorsAndTheTerminalsCipherAgree) {
  struct Case {
    uint8_t key;
    uint32_t plain;
    uint32_t left;
    uint32_t right;
  } cases[] = {{0x00, 0x00000000, 0x4EF99745, 0x6198DD78}, {0xFF, 0xFFFFFFFF, 0x51866FD5, 0xB85ECB8A}};
  for (const auto& c : cases) {
    uint8_t key[8];
    memset(key, c.key, sizeof(key));
    SimBlowfish cipher(key, sizeof(key));
    uint32_t left = c.plain;
    uint32_t right = c.plain;
    cipher.EncipherBlock(&left, &right);
    EXPECT_EQ(left, c.left);
    EXPECT_EQ(right, c.right);
    cipher.DecipherBlock(&left, &right);
    EXPECT_EQ(left, c.plain);
  }
  SimBlowfish shared(kTradeCipherKey, kTradeCipherKeyLength);
  std::string plain = trade_test::ReplyPlain(trade_test::ReplyBody({{"0000", "OK"}}));
  EXPECT_EQ("||" + shared.EncipherBuffer(plain), trade_test::Wire(plain));
}

TEST(SimTradeWire, DecodesWhatTheTerminalSends) {
  TradeSession* session = CreateTradeSession();
  std::string sent;
  session->sendHookContext = &sent;
  session->sendHookForTesting = [](void* context, const BYTE* bytes, int length, const TradePendingRequest&) {
    static_cast<std::string*>(context)->assign(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length));
    return 1;
  };
  RequestTradeLogin(session, nullptr, nullptr, 0, "880001", "135790", 2, "4821");
  SimBlowfish cipher(kTradeCipherKey, kTradeCipherKeyLength);
  simtrade::DecodedRequest request;
  std::string error;
  ASSERT_TRUE(simtrade::DecodeRequest(cipher, sent, &request, &error)) << error;
  EXPECT_EQ(request.code, "07");
  EXPECT_EQ(request.page, 1);
  EXPECT_EQ(request.token, "00000000000");
  EXPECT_EQ(request.fields, (std::vector<std::string>{"0", "880001", "135790", "2", "4821"}));

  struct Case {
    const char* name;
    std::string bytes;
  } bad[] = {
      {"no bars", "ab" + sent.substr(2)},
      {"marker", sent.substr(0, 2) + '\x02' + sent.substr(3)},
      {"cut", sent.substr(0, sent.size() - 8)},
      {"wrong key", "||" + SimBlowfish("x", 1).EncipherBuffer(std::string(request.header) + std::string("0\0", 2) + '\x01')},
  };
  for (const auto& c : bad) {
    EXPECT_FALSE(simtrade::DecodeRequest(cipher, c.bytes, &request, &error)) << c.name;
  }
  RequestTradeLogin(session, nullptr, nullptr, 0, "880001", "135790", 0, nullptr);
  ASSERT_TRUE(simtrade::DecodeRequest(cipher, sent, &request, &error)) << error;  // 3-field login is well formed
  RequestFundsQuery(session, nullptr, nullptr, 1);
  ASSERT_TRUE(simtrade::DecodeRequest(cipher, sent, &request, &error));
  // A field count that does not match the code is refused.
  std::string plain = request.header + std::string("0\0", 2) + '\x01';
  memcpy(&plain[75], "0003", 4);
  EXPECT_FALSE(simtrade::DecodeRequest(cipher, "||" + cipher.EncipherBuffer(plain), &request, &error));
  DestroyTradeSession(session);
}

TEST(SimTradeWire, RepliesAreReadByTheTerminal) {
  simtrade::ReplyTable table;
  table.columns = {"验证码"};
  table.rows = {{"4821"}};
  table.more = true;
  std::string header(80, '\0');
  memcpy(&header[0], "SLUTF8", 6);
  std::string plain = simtrade::EncodeReplyPlain(header, table.more, "CAPTOKEN", simtrade::EncodeReplyBody(table));
  std::string wire = simtrade::EncodeReplyWire(SimBlowfish(kTradeCipherKey, kTradeCipherKeyLength), plain);
  TradeFrame frame;
  ASSERT_EQ(DecodeTradeFrame(&trade_test::ClientKey(), reinterpret_cast<const BYTE*>(wire.data()),
                             static_cast<int>(wire.size()), &frame),
            1);
  TradeReply reply;
  ASSERT_EQ(UnpackTradeReply(&frame, 1, &reply), 1);
  EXPECT_STREQ(reply.errorCode, "0000");
  EXPECT_EQ(reply.pageState, kTradePageFirstOfMore);
  EXPECT_EQ(memcmp(frame.header + 23, "CAPTOKEN", 8), 0);
  char captcha[kTradeCaptchaSize] = {};
  ParseCaptchaText(captcha, reply.records);
  EXPECT_STREQ(captcha, "4821");
  FreeRecordList(&reply.records);
  FreeTradeFrame(&frame);
}

}  // namespace
