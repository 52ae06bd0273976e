// The reply path of the session, driven without a network: each test
// registers pending records as SendTradeRequest would and hands OnTradeReply
// the bytes the HTTP layer would deliver.
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

struct Seen {
  int calls = 0;
  int status = -1;
  std::string code;
  std::string message;
  int kind = -1;
  int records = 0;
};

void Remember(void* user, int status, TradeReply* reply) {
  auto* seen = static_cast<Seen*>(user);
  ++seen->calls;
  seen->status = status;
  seen->code = reply->errorCode;
  seen->message = reply->message;
  seen->kind = reply->kind;
  seen->records = CountRecords(reply->records);
  FreeTradeReply(reply);
}

class TradeSessionReplies : public ::testing::Test {
 protected:
  void SetUp() override { session_ = CreateTradeSession(); }
  void TearDown() override { DestroyTradeSession(session_); }

  // A registered request of the kind, owned by seen.
  TradePendingRequest* Register(int kind, Seen* seen, int page = 1, bool orderInfoSlot = false) {
    auto pending = std::make_unique<TradePendingRequest>();
    pending->session = session_;
    pending->id = ++lastId_;
    pending->kind = kind;
    pending->page = page;
    pending->notify = Remember;
    pending->user = seen;
    pending->orderInfoSlot = orderInfoSlot;
    TradePendingRequest* record = pending.get();
    std::lock_guard<std::mutex> guard(session_->lock);
    session_->pending.push_back(std::move(pending));
    return record;
  }

  void Deliver(TradePendingRequest* record, const std::string& bytes, int status = 0) {
    std::vector<char> copy(bytes.begin(), bytes.end());
    OnTradeReply(nullptr, record, copy.empty() ? nullptr : copy.data(), static_cast<int>(copy.size()), status);
  }

  size_t PendingCount() {
    std::lock_guard<std::mutex> guard(session_->lock);
    return session_->pending.size();
  }

  TradeSession* session_ = nullptr;
  int lastId_ = 0;
};

const std::vector<std::vector<std::string>> kOrderInfoReply = {
    {"0000", "OK"}, {"股票代码", "股票名称", "市场代码", "当前价"}, {"600001", "甲股份", "1", "10.50"}};

TEST_F(TradeSessionReplies, SessionBytesComeBackFromEveryReplyAndNothingElse) {
  std::string token = "ABCDEFGHIJKLMNOPQRSTUVWXY";
  std::string plain = ReplyPlain(ReplyBody({{"1001", "账号或密码错误"}}), "1", token);
  for (int i = 0; i < 17; ++i) plain[58 + i] = static_cast<char>('a' + i);
  for (int i = 48; i < 58; ++i) plain[i] = '9';
  BYTE before[kTradeHeaderSize];
  memcpy(before, session_->headerTemplate, kTradeHeaderSize);
  Seen seen;
  Deliver(Register(kTradeKindLogin, &seen), Wire(plain));
  EXPECT_EQ(seen.status, 0);
  EXPECT_EQ(seen.code, "1001");
  for (int i = 0; i < kTradeHeaderSize; ++i) {
    bool sessionByte = (i >= 23 && i < 48) || (i >= 58 && i < 75);
    EXPECT_EQ(session_->headerTemplate[i], sessionByte ? static_cast<BYTE>(plain[i]) : before[i]) << "byte " << i;
  }
}

TEST_F(TradeSessionReplies, FailuresReachTheOwnerAndProgressDoesNot) {
  Seen info;
  Deliver(Register(kTradeKindOrderInfo, &info, 1, true), Wire(ReplyPlain(ReplyBody(kOrderInfoReply))));
  ASSERT_EQ(info.status, 0);
  std::string malformed = Wire(ReplyPlain(ReplyBody({{"0000", "OK"}})));
  malformed.resize(malformed.size() - 3);

  struct Case {
    const char* name;
    std::string bytes;
    int status;
    int seenStatus;
  } cases[] = {
      {"connection failed", "", 1, 1},
      {"timed out", "", 2, 2},
      {"empty completed body", "", 0, 1},
      {"malformed completed body", malformed, 0, 1},
      {"no record in the body", Wire(ReplyPlain("")), 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Seen seen;
    TradePendingRequest* record = Register(kTradeKindOrderInfo, &seen, 1, true);
    Deliver(record, c.bytes, 4);  // progress first
    EXPECT_EQ(seen.calls, 0);
    Deliver(record, c.bytes, c.status);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.status, c.seenStatus);
    EXPECT_EQ(seen.records, 0);
    OrderInfo table;
    GetTradeOrderInfo(session_, &table);
    EXPECT_STREQ(table.slot[0], "600001");  // the earlier table stays
  }
  EXPECT_EQ(PendingCount(), 0u);
}

TEST_F(TradeSessionReplies, EachReplyReachesOnlyItsOwnRequestsOwner) {
  Seen orderInfoOwner;
  Seen orderOwner;
  TradePendingRequest* orderInfo = Register(kTradeKindOrderInfo, &orderInfoOwner, 1, true);
  TradePendingRequest* order = Register(kTradeKindDealsOrPlaceOrder, &orderOwner);
  // The order-information reply comes after the order was sent.
  Deliver(orderInfo, Wire(ReplyPlain(ReplyBody(kOrderInfoReply))));
  EXPECT_EQ(orderInfoOwner.calls, 1);
  EXPECT_EQ(orderInfoOwner.kind, kTradeKindOrderInfo);
  EXPECT_EQ(orderInfoOwner.records, 3);
  EXPECT_EQ(orderOwner.calls, 0);
  OrderInfo table;
  GetTradeOrderInfo(session_, &table);
  EXPECT_STREQ(table.slot[7], "10.50");

  // A list-shaped reply of the order does not touch the order information.
  Deliver(order, Wire(ReplyPlain(ReplyBody({{"0000", "委托成功"}, {"股票代码"}, {"000002"}}))));
  EXPECT_EQ(orderOwner.calls, 1);
  EXPECT_EQ(orderOwner.code, "0000");
  EXPECT_EQ(orderOwner.kind, kTradeKindDealsOrPlaceOrder);
  EXPECT_EQ(orderInfoOwner.calls, 1);
  GetTradeOrderInfo(session_, &table);
  EXPECT_STREQ(table.slot[0], "600001");
}

TEST_F(TradeSessionReplies, TablesFillOnlyOnSuccessAndOnlyForTheirKind) {
  Seen seen;
  Deliver(Register(kTradeKindLogin, &seen),
          Wire(ReplyPlain(ReplyBody({{"0000", "OK"}, {"客户姓名", "沪A"}, {"张三", "A123456789"}}))));
  Deliver(Register(kTradeKindCaptcha, &seen), Wire(ReplyPlain(ReplyBody({{"0000", "OK"}, {"验证码"}, {"4821"}}))));
  Deliver(Register(kTradeKindBankList, &seen),
          Wire(ReplyPlain(ReplyBody({{"0000", "OK"}, {"银行代码", "银行名称"}, {"01", "甲银行"}}))));
  TradeLoginInfo login;
  GetTradeLoginInfo(session_, &login);
  EXPECT_STREQ(FindLoginInfoValue(&login, "沪A"), "A123456789");
  char captcha[kTradeCaptchaSize];
  GetTradeCaptcha(session_, captcha);
  EXPECT_STREQ(captcha, "4821");
  BankList banks;
  GetTradeBankList(session_, &banks);
  EXPECT_EQ(banks.count, 1);

  // An error reply of the same kinds changes nothing.
  Deliver(Register(kTradeKindLogin, &seen),
          Wire(ReplyPlain(ReplyBody({{"1001", "错"}, {"客户姓名", "沪A"}, {"李四", "B"}}))));
  Deliver(Register(kTradeKindBankList, &seen), Wire(ReplyPlain(ReplyBody({{"9001", "错"}, {"银行代码"}, {"09"}}))));
  GetTradeLoginInfo(session_, &login);
  EXPECT_STREQ(FindLoginInfoValue(&login, "沪A"), "A123456789");
  GetTradeBankList(session_, &banks);
  EXPECT_STREQ(banks.text[0][kBankCode], "01");
}

TEST_F(TradeSessionReplies, SuccessfulPasswordChangeUpdatesTheStoredPassword) {
  session_->sendHookForTesting = [](void*, const BYTE*, int, const TradePendingRequest&) { return 1; };
  RequestTradeLogin(session_, nullptr, nullptr, 0, "880001", "111111", 0, nullptr);
  char password[196];
  struct Case {
    const char* name;
    const char* code;
    const char* after;
  } cases[] = {{"refused", "1003", "111111"}, {"accepted", "0000", "222222"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Seen seen;
    TradePendingRequest* record = Register(kTradeKindPasswordChange, &seen);
    CopyTradeText(record->newPassword, sizeof(record->newPassword), "222222");
    Deliver(record, Wire(ReplyPlain(ReplyBody({{c.code, "msg"}}))));
    GetTradePassword(session_, password);
    EXPECT_STREQ(password, c.after);
  }
}

TEST_F(TradeSessionReplies, LogOutAndNewLoginStartWithoutThePreviousAccountsData) {
  Seen seen;
  Deliver(Register(kTradeKindLogin, &seen),
          Wire(ReplyPlain(ReplyBody({{"0000", "OK"}, {"沪A"}, {"A1"}}), "0", "SESSIONTOKEN")));
  Deliver(Register(kTradeKindBankList, &seen),
          Wire(ReplyPlain(ReplyBody({{"0000", "OK"}, {"银行代码"}, {"01"}}), "0", "SESSIONTOKEN")));
  Deliver(Register(kTradeKindOrderInfo, &seen, 1, true), Wire(ReplyPlain(ReplyBody(kOrderInfoReply))));
  session_->loggedIn = true;

  ClearTradeLogin(session_);
  TradeLoginInfo login;
  GetTradeLoginInfo(session_, &login);
  BankList banks;
  GetTradeBankList(session_, &banks);
  OrderInfo info;
  GetTradeOrderInfo(session_, &info);
  EXPECT_EQ(login.count, 0);
  EXPECT_EQ(banks.count, 0);
  EXPECT_STREQ(info.slot[0], "");
  EXPECT_FALSE(session_->loggedIn);
  BYTE fresh[kTradeHeaderSize];
  MakeTradeHeaderTemplate(fresh);
  EXPECT_EQ(memcmp(session_->headerTemplate + 23, fresh + 23, 25), 0);
  EXPECT_EQ(memcmp(session_->headerTemplate + 58, fresh + 58, 17), 0);

  // A new login clears the tables too (it keeps the captcha session bytes it
  // must send back).
  Deliver(Register(kTradeKindLogin, &seen), Wire(ReplyPlain(ReplyBody({{"0000", "OK"}, {"沪A"}, {"A1"}}))));
  Deliver(Register(kTradeKindBankList, &seen), Wire(ReplyPlain(ReplyBody({{"0000", "OK"}, {"银行代码"}, {"01"}}))));
  Deliver(Register(kTradeKindCaptcha, &seen),
          Wire(ReplyPlain(ReplyBody({{"0000", "OK"}, {"验证码"}, {"1234"}}), "0", "CAPTCHASESSION")));
  session_->sendHookForTesting = [](void*, const BYTE*, int, const TradePendingRequest&) { return 1; };
  RequestTradeLogin(session_, nullptr, nullptr, 1, "990002", "333333", 2, "1234");
  GetTradeLoginInfo(session_, &login);
  GetTradeBankList(session_, &banks);
  EXPECT_EQ(login.count, 0);
  EXPECT_EQ(banks.count, 0);
  EXPECT_EQ(memcmp(session_->headerTemplate + 23, "CAPTCHASESSION", 14), 0);
}

TEST_F(TradeSessionReplies, TradeAddressThatDoesNotFitIsRefused) {
  EXPECT_EQ(SetTradeAddress(session_, "http://127.0.0.1:1/trade"), 1);
  std::string longAddress = "http://127.0.0.1:1/" + std::string(237, 'p');  // 256 bytes
  EXPECT_EQ(SetTradeAddress(session_, longAddress.c_str()), 0);
  EXPECT_STREQ(session_->tradeAddress, "http://127.0.0.1:1/trade");
  longAddress.pop_back();  // 255 bytes fit
  EXPECT_EQ(SetTradeAddress(session_, longAddress.c_str()), 1);
  EXPECT_EQ(SetTradeAddress(session_, ""), 0);
}

}  // namespace
