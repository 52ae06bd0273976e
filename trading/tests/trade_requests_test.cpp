#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "trading/tests/trade_test_support.h"
#include "trading/trade_requests.h"

namespace {

struct Sent {
  std::string bytes;
  int kind = -1;
  bool orderInfoSlot = false;
};

int Capture(void* context, const BYTE* bytes, int length, const TradePendingRequest& pending) {
  auto* sent = static_cast<Sent*>(context);
  sent->bytes.assign(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length));
  sent->kind = pending.kind;
  sent->orderInfoSlot = pending.orderInfoSlot;
  return 7;
}

using Fields = std::vector<std::string>;

TEST(TradeRequestBuilders, EachBuilderSendsItsCodePageKindAndFields) {
  struct Case {
    const char* name;
    std::function<int(TradeSession*)> build;
    const char* code;
    const char* page;
    int kind;
    Fields fields;
  } cases[] = {
      {"login mode 0", [](TradeSession* s) { return RequestTradeLogin(s, nullptr, nullptr, 1, "880001", "135790", 0, "9"); },
       "07", "0001", 0, {"1", "880001", "135790"}},
      {"login mode 2", [](TradeSession* s) { return RequestTradeLogin(s, nullptr, nullptr, 1, "880001", "135790", 2, "4821"); },
       "07", "0001", 0, {"1", "880001", "135790", "2", "4821"}},
      {"captcha", [](TradeSession* s) { return RequestTradeCaptcha(s, nullptr, nullptr, 0, 4, 0); },
       "39", "0001", 1, {"0", "4", "0"}},
      {"password change", [](TradeSession* s) { return RequestPasswordChange(s, nullptr, nullptr, "135790", "246802"); },
       "08", "0001", 2, {"1", "880001", "135790", "246802"}},
      {"holdings", [](TradeSession* s) { return RequestHoldingsQuery(s, nullptr, nullptr, 2); },
       "03", "0002", 3, {"1", "880001", "135790", "", ""}},
      {"funds", [](TradeSession* s) { return RequestFundsQuery(s, nullptr, nullptr, 1); },
       "20", "0001", 3, {"1", "880001", "135790"}},
      {"fund flow", [](TradeSession* s) { return RequestFundFlowQuery(s, nullptr, nullptr, "20240101", "20240131", 0, 3); },
       "11", "0003", 5, {"1", "880001", "135790", "20240101", "20240131", "0"}},
      {"today's orders", [](TradeSession* s) { return RequestOrderQuery(s, nullptr, nullptr, "", "", 4); },
       "05", "0004", 6, {"1", "880001", "135790", "", "", "", ""}},
      {"order history", [](TradeSession* s) { return RequestOrderQuery(s, nullptr, nullptr, "20240101", "20240105", 1); },
       "05", "0001", 6, {"1", "880001", "135790", "", "20240101", "20240105", ""}},
      {"deals", [](TradeSession* s) { return RequestDealQuery(s, nullptr, nullptr, "", "", 1); },
       "06", "0001", 7, {"1", "880001", "135790", "", "", "", ""}},
      {"place order", [](TradeSession* s) {
         return RequestPlaceOrder(s, nullptr, nullptr, 2, "0123456789", "000002", "0", "100", "12.50", "3");
       },
       "01", "0001", 7, {"2", "0123456789", "135790", "000002", "0", "100", "12.50", "3"}},
      {"cancellable", [](TradeSession* s) { return RequestCancellableQuery(s, nullptr, nullptr, 1); },
       "21", "0001", 8, {"1", "880001", "135790", ""}},
      {"cancel", [](TradeSession* s) { return RequestCancelOrder(s, nullptr, nullptr, "A123456789", 1, "1007"); },
       "02", "0001", 9, {"1", "A123456789", "135790", "1007"}},
      {"bank list", [](TradeSession* s) { return RequestBankList(s, nullptr, nullptr); },
       "12", "0000", 13, {"1", "880001", "135790"}},
      {"bank transfer", [](TradeSession* s) {
         return RequestBankTransfer(s, nullptr, nullptr, "fundpw", "01", "6222001", "1", "", "500.00", "RMB");
       },
       "13", "0000", 14, {"1", "880001", "fundpw", "01", "6222001", "1", "", "500.00", "RMB"}},
      {"transfer query", [](TradeSession* s) { return RequestTransferQuery(s, nullptr, nullptr, "01", "6222001", "RMB", 2); },
       "33", "0002", 16, {"1", "880001", "135790", "01", "6222001", "RMB"}},
      {"order info buy", [](TradeSession* s) { return RequestOrderInfo(s, nullptr, nullptr, "600001", 1); },
       "31", "0001", 17, {"1", "880001", "135790", "600001", "", "", "0"}},
      {"order info sell", [](TradeSession* s) { return RequestOrderInfo(s, nullptr, nullptr, "600001", 2); },
       "32", "0001", 17, {"1", "880001", "135790", "600001", "", "", "1"}},
      {"allotment", [](TradeSession* s) { return RequestAllotmentQuery(s, nullptr, nullptr, "20240101", "20240201", 1); },
       "09", "0001", 19, {"1", "880001", "135790", "20240101", "20240201", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TradeSession* session = CreateTradeSession();
    Sent sent;
    session->sendHookForTesting = Capture;
    session->sendHookContext = &sent;
    // Credentials as a login leaves them.
    RequestTradeLogin(session, nullptr, nullptr, 1, "880001", "135790", 0, nullptr);
    ASSERT_EQ(c.build(session), 7);
    TradeFrame frame;
    ASSERT_EQ(DecodeTradeFrame(&session->cipher, reinterpret_cast<const BYTE*>(sent.bytes.data()),
                               static_cast<int>(sent.bytes.size()), &frame),
              1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(frame.header + 48), 3), std::string(c.code) + '\0');
    EXPECT_EQ(std::string(reinterpret_cast<char*>(frame.header + 51), 5), std::string(c.page) + '\0');
    EXPECT_EQ(sent.kind, c.kind);
    EXPECT_EQ(sent.orderInfoSlot, c.kind == kTradeKindOrderInfo);
    EXPECT_EQ(trade_test::BodyFields(frame), c.fields);
    EXPECT_EQ(frame.body[frame.bodyLength - 1], 0x01);
    FreeTradeFrame(&frame);
    DestroyTradeSession(session);
  }
}

TEST(TradeRequestBuilders, PriceTypesAndMarketNames) {
  EXPECT_STREQ(TradePriceTypeCode(1, 2), "7");
  EXPECT_STREQ(TradePriceTypeCode(3, 1), "4");
  EXPECT_STREQ(TradePriceTypeCode(1, 3), "0");
  EXPECT_STREQ(TradePriceTypeCode(4, 5), "5");
  EXPECT_STREQ(TradePriceTypeCode(12, 2), "0");
  EXPECT_EQ(TradeMarketFromName("深圳深A"), 2);
  EXPECT_EQ(TradeMarketFromName("三板B"), 13);
  EXPECT_EQ(TradeMarketFromName("创业"), 0);
  char date[9];
  FormatTradeDate(date, 2024, 3, 7);
  EXPECT_STREQ(date, "20240307");
}

}  // namespace
