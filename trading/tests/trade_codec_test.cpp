#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "trading/tests/trade_test_support.h"
#include "trading/trade_requests.h"
#include "trading/trade_session.h"

namespace {

using trade_test::ReplyBody;
using trade_test::ReplyPlain;
using trade_test::Wire;

struct Captured {
  std::string bytes;
  int kind = -1;
  int page = -1;
  bool orderInfoSlot = false;
  int calls = 0;
};

int Capture(void* context, const BYTE* bytes, int length, const TradePendingRequest& pending) {
  auto* captured = static_cast<Captured*>(context);
  captured->bytes.assign(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length));
  captured->kind = pending.kind;
  captured->page = pending.page;
  captured->orderInfoSlot = pending.orderInfoSlot;
  ++captured->calls;
  return 1000 + captured->calls;
}

TEST(TradeCodec, CaptchaRequestOfAFreshSessionHasTheGoldenBytes) {
  TradeSession* session = CreateTradeSession();
  Captured captured;
  session->sendHookForTesting = Capture;
  session->sendHookContext = &captured;
  ASSERT_EQ(RequestTradeCaptcha(session, nullptr, nullptr, 0, 4, 0), 1001);

  std::string plain("SLUTF8\0" "13\0" "C\0" "R\0" "0\0" "000000\0" "00000000000", 7 + 3 + 2 + 2 + 2 + 7 + 11);
  plain += std::string(14, '\0');
  plain += std::string("39\0" "0001\0", 2 + 1 + 5);
  plain += std::string(2 + 17, '\0');
  plain += std::string("0007\0", 5);
  plain += std::string("0\0" "4\0" "0\0" "\x01", 7);
  ASSERT_EQ(plain.size(), 87u);

  ASSERT_EQ(captured.bytes.size(), 93u);
  EXPECT_EQ(captured.bytes.substr(0, 2), "||");
  EXPECT_EQ(static_cast<BYTE>(captured.bytes[2]), 0x01);
  EXPECT_EQ(static_cast<BYTE>(captured.bytes[3]), 87);
  EXPECT_EQ(static_cast<BYTE>(captured.bytes[4]), 0);
  EXPECT_EQ(captured.bytes, Wire(plain));  // each 8-byte block enciphered alone under the shared key

  TradeFrame frame;
  ASSERT_EQ(DecodeTradeFrame(&session->cipher, reinterpret_cast<const BYTE*>(captured.bytes.data()),
                             static_cast<int>(captured.bytes.size()), &frame),
            1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(frame.header), 80), plain.substr(0, 80));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(frame.body), 7), plain.substr(80));
  EXPECT_EQ(captured.kind, kTradeKindCaptcha);
  FreeTradeFrame(&frame);
  DestroyTradeSession(session);
}

TEST(TradeCodec, EncodeThenDecodeRoundTrips) {
  struct Case {
    const char* name;
    int bodyLength;
  } cases[] = {{"one byte body", 1}, {"block aligned", 8}, {"odd length", 13}, {"largest request", 1016 - 80}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string body(static_cast<size_t>(c.bodyLength), 'x');
    body.back() = '\x01';
    std::string plain = ReplyPlain(body, "1", "TOKEN");
    std::vector<BYTE> out(1024, 0xEE);
    int sent = EncodeTradeRequest(&trade_test::ClientKey(), reinterpret_cast<const BYTE*>(plain.data()),
                                  static_cast<int>(plain.size()), out.data(), 1024);
    ASSERT_EQ(sent, 5 + static_cast<int>((plain.size() + 7) / 8 * 8));
    TradeFrame frame;
    ASSERT_EQ(DecodeTradeFrame(&trade_test::ClientKey(), out.data(), sent, &frame), 1);
    EXPECT_EQ(frame.plainLength, static_cast<int>(plain.size()));
    EXPECT_EQ(frame.bodyLength, c.bodyLength);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(frame.body), static_cast<size_t>(frame.bodyLength)), body);
    EXPECT_EQ(frame.header[14], '1');
    FreeTradeFrame(&frame);
  }
}

TEST(TradeCodec, RefusesPlainTextsThatDoNotFitTheRequestBuffer) {
  std::string plain = ReplyPlain(std::string(1017 - 80, 'x'));
  std::vector<BYTE> out(2048, 0xEE);
  EXPECT_EQ(EncodeTradeRequest(&trade_test::ClientKey(), reinterpret_cast<const BYTE*>(plain.data()), 1017,
                               out.data(), 2048),
            -1);
  EXPECT_EQ(out[0], 0xEE);

  TradeSession* session = CreateTradeSession();
  Captured captured;
  session->sendHookForTesting = Capture;
  session->sendHookContext = &captured;
  std::string longCode(1000, '6');
  EXPECT_EQ(RequestOrderInfo(session, nullptr, nullptr, longCode.c_str(), 1), 0);
  EXPECT_EQ(captured.calls, 0);
  // The largest body that fits is still sent: 1,016 plain bytes.
  std::string code(1016 - 80 - 10, '6');  // the other fields: "0", "", "", "", "", "0" and 0x01
  EXPECT_GT(RequestOrderInfo(session, nullptr, nullptr, code.c_str(), 1), 0);
  EXPECT_EQ(captured.bytes.size(), 2u + 3u + 1016u);
  DestroyTradeSession(session);
}

TEST(TradeCodec, MalformedRepliesAreRefusedWithoutReadingPastThem) {
  const std::string good = Wire(ReplyPlain(ReplyBody({{"0000", "OK"}})));
  BlowfishContext otherKey{};
  BlowfishSetKey(&otherKey, 1, reinterpret_cast<const BYTE*>("111111111111111111111111"), 24);
  std::string overlongBodyField = ReplyPlain(ReplyBody({{"0000", "OK"}}));
  memcpy(&overlongBodyField[75], "0100", 4);
  std::string letterInBodyField = ReplyPlain(ReplyBody({{"0000", "OK"}}));
  overlongBodyField[75] = '0';
  letterInBodyField[76] = 'x';
  std::string statedTooLong = good;
  statedTooLong[3] = static_cast<char>(0xD0);
  statedTooLong[4] = 0x07;  // 2,000 plain bytes stated
  std::string shortPlain = Wire(std::string(79, '0'));

  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"two bytes", "||"},
      {"84 bytes", good.substr(0, 84)},
      {"cipher cut by a block", good.substr(0, good.size() - 8)},
      {"cipher cut by one byte", good.substr(0, good.size() - 1)},
      {"stated length beyond the bytes", statedTooLong},
      {"plain text under 80 bytes", shortPlain},
      {"body length beyond the plain text", Wire(overlongBodyField)},
      {"body length not a number", Wire(letterInBodyField)},
      {"wrong key", Wire(ReplyPlain(ReplyBody({{"0000", "OK"}})), otherKey)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // An exact-size heap copy lets the address sanitizer see any read past it.
    std::vector<BYTE> bytes(c.bytes.begin(), c.bytes.end());
    TradeFrame frame;
    EXPECT_EQ(DecodeTradeFrame(&trade_test::ClientKey(), bytes.data(), static_cast<int>(bytes.size()), &frame), 0);
    EXPECT_EQ(frame.body, nullptr);
  }
}

TEST(TradeCodec, FirstRecordGivesCodeAndMessage) {
  struct Case {
    const char* name;
    std::string body;
    const char* code;
    const char* message;
    int result;
  } cases[] = {
      {"success", std::string("0000\0OK\0\x01", 9), "0000", "OK", 1},
      {"server error", ReplyBody({{"1001", "账号或密码错误"}}), "1001", "账号或密码错误", 1},
      {"one field", std::string("0000\0\x01", 6), "0001", "后台返回数据错误", 1},
      {"long code and message are cut", std::string("123456789\0", 10) + std::string(300, 'm') + std::string("\0\x01", 2),
       "1234567", nullptr, 1},
      {"empty body", "", "", "", 0},
      {"no record", std::string("\x01", 1), "", "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string wire = Wire(ReplyPlain(c.body));
    TradeFrame frame;
    ASSERT_EQ(DecodeTradeFrame(&trade_test::ClientKey(), reinterpret_cast<const BYTE*>(wire.data()),
                               static_cast<int>(wire.size()), &frame),
              1);
    TradeReply reply;
    EXPECT_EQ(UnpackTradeReply(&frame, 1, &reply), c.result);
    EXPECT_STREQ(reply.errorCode, c.code);
    if (c.message != nullptr) {
      EXPECT_STREQ(reply.message, c.message);
    } else {
      EXPECT_EQ(strlen(reply.message), 255u);
    }
    FreeRecordList(&reply.records);
    FreeTradeFrame(&frame);
  }
}

TEST(TradeCodec, PageStateFollowsThePageSentAndTheMoreField) {
  struct Case {
    const char* more;
    int page;
    int state;
  } cases[] = {{"1", 1, -1}, {"1", 3, 0}, {"0", 3, 1}, {"0", 1, 2}, {"0", 0, 2}, {"1", 0, -1}};
  for (const auto& c : cases) {
    std::string plain = ReplyPlain("", c.more);
    EXPECT_EQ(ComputeTradePageState(c.page, reinterpret_cast<const BYTE*>(plain.data())), c.state)
        << c.more << " page " << c.page;
  }
}

TEST(TradeCodec, PackingStopsAtTheCapacity) {
  BYTE plain[90];
  memset(plain, 0xEE, sizeof(plain));
  int length = 80;
  EXPECT_EQ(PackTradeText(plain, 90, "abc", &length), 1);
  EXPECT_EQ(PackTradeNumber(plain, 90, -12, &length), 1);
  EXPECT_EQ(length, 88);
  EXPECT_EQ(PackTradeText(plain, 90, "xy", &length), 0);  // needs 3 bytes, 2 left
  EXPECT_EQ(length, 88);
  EXPECT_EQ(plain[88], 0xEE);
  EXPECT_EQ(PackTradeText(plain, 90, nullptr, &length), 1);
  EXPECT_EQ(PackTradeRecordEnd(plain, 90, &length), 1);
  EXPECT_EQ(PackTradeRecordEnd(plain, 90, &length), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(plain + 80), 10), std::string("abc\0-12\0\0\x01", 10));
}

}  // namespace
