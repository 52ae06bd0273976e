// The trading client against the simulated trade service on loopback: every
// request goes through the program's own HTTP client and the reply path on
// its worker threads.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/transport_timing.h"
#include "tools/simbroker/trade/trade_service.h"
#include "trading/trade_requests.h"

namespace {

using simtrade::TradeFault;

// Replies delivered to one owner, in order.
class Owner {
 public:
  static void Notify(void* user, int status, TradeReply* reply) {
    auto* owner = static_cast<Owner*>(user);
    std::lock_guard<std::mutex> guard(owner->lock_);
    owner->replies_.push_back({status, std::unique_ptr<TradeReply, void (*)(TradeReply*)>(reply, FreeTradeReply)});
    owner->changed_.notify_all();
  }

  struct Got {
    int status = -1;
    std::unique_ptr<TradeReply, void (*)(TradeReply*)> reply{nullptr, FreeTradeReply};
  };

  // The next reply, or status -1 when none comes in time.
  Got Next(int timeoutMs = 5000) {
    std::unique_lock<std::mutex> guard(lock_);
    if (!changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [this] { return !replies_.empty(); })) {
      return Got();
    }
    Got got = std::move(replies_.front());
    replies_.pop_front();
    return got;
  }

  size_t Count() {
    std::lock_guard<std::mutex> guard(lock_);
    return replies_.size();
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<Got> replies_;
};

// Row values of a reply by column name.
std::string Cell(const TradeReply* reply, int row, const char* column) {
  if (reply == nullptr || reply->records == nullptr || reply->records->next == nullptr) return "<none>";
  const RecordList* data = reply->records->next->next;
  for (int i = 0; i < row && data != nullptr; ++i) data = data->next;
  if (data == nullptr) return "<none>";
  const StringList* value = data->fields;
  for (const StringList* name = reply->records->next->fields; name != nullptr && value != nullptr;
       name = name->next, value = value->next) {
    if (strcmp(name->text, column) == 0) return value->text;
  }
  return "<none>";
}

int DataRows(const TradeReply* reply) { return std::max(0, CountRecords(reply->records) - 2); }

class TradeEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = GetTransportTimings();
    TransportTimings timings = saved_;
    timings.httpTimeoutMs = 3000;  // short enough for the no-answer row, long enough under load
    SetTransportTimings(timings);
    simtrade::TradeServiceOptions options;
    options.pageSize = 3;
    service_ = simtrade::RunTradeService(options);
    ASSERT_NE(service_, nullptr);
    session_ = CreateTradeSession();
    ASSERT_EQ(SetTradeAddress(session_, simtrade::TradeServiceAddress(service_).c_str()), 1);
  }
  void TearDown() override {
    DestroyTradeSession(session_);
    simtrade::StopTradeService(service_);
    SetTransportTimings(saved_);
  }

  // Sends with owner_ and waits for its reply.
  Owner::Got Call(const std::function<int(TradeSession*, TradeNotify, void*)>& send) {
    EXPECT_GT(send(session_, Owner::Notify, &owner_), 0);
    return owner_.Next();
  }

  void LogIn() {
    Owner::Got got = Call([](TradeSession* s, TradeNotify n, void* u) { return RequestTradeCaptcha(s, n, u, 0, 4, 0); });
    ASSERT_EQ(got.status, 0);
    char captcha[kTradeCaptchaSize];
    GetTradeCaptcha(session_, captcha);
    got = Call([&](TradeSession* s, TradeNotify n, void* u) {
      return RequestTradeLogin(s, n, u, 0, "880001", "135790", 2, captcha);
    });
    ASSERT_EQ(got.status, 0);
    ASSERT_STREQ(got.reply->errorCode, "0000") << got.reply->message;
  }

  TransportTimings saved_;
  simtrade::TradeService* service_ = nullptr;
  TradeSession* session_ = nullptr;
  Owner owner_;
};

TEST_F(TradeEndToEnd, ATradingDayFromCaptchaToPasswordChange) {
  // Captcha and login.
  Owner::Got got = Call([](TradeSession* s, TradeNotify n, void* u) { return RequestTradeCaptcha(s, n, u, 0, 4, 0); });
  ASSERT_EQ(got.status, 0);
  char captcha[kTradeCaptchaSize];
  GetTradeCaptcha(session_, captcha);
  EXPECT_EQ(std::string(captcha), simtrade::TradeServiceCaptcha(service_));
  got = Call([&](TradeSession* s, TradeNotify n, void* u) {
    return RequestTradeLogin(s, n, u, 0, "880001", "135790", 2, captcha);
  });
  ASSERT_STREQ(got.reply->errorCode, "0000");
  TradeLoginInfo login;
  GetTradeLoginInfo(session_, &login);
  std::string shanghai = FindLoginInfoValue(&login, "沪A");
  EXPECT_EQ(shanghai, "A123456789");
  EXPECT_EQ(FindLoginInfoValue(&login, "弹出公告"), nullptr);
  auto log = simtrade::TradeServiceLog(service_);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1].fields, (std::vector<std::string>{"0", "880001", "135790", "2", captcha}));
  EXPECT_EQ(log[1].token.substr(0, 3), "CAP");  // the captcha session came back

  // Order information and a buy order that fills at the ask.
  got = Call([](TradeSession* s, TradeNotify n, void* u) { return RequestOrderInfo(s, n, u, "600001", 1); });
  ASSERT_STREQ(got.reply->errorCode, "0000");
  OrderInfo info;
  GetTradeOrderInfo(session_, &info);
  EXPECT_STREQ(info.slot[0], "600001");
  EXPECT_STREQ(info.slot[2], "1");
  EXPECT_STREQ(info.slot[17], "10.51");  // 卖1价
  got = Call([&](TradeSession* s, TradeNotify n, void* u) {
    return RequestPlaceOrder(s, n, u, atoi(info.slot[2]), shanghai.c_str(), "600001", "0", "200", "10.60",
                             TradePriceTypeCode(1, 0));
  });
  ASSERT_STREQ(got.reply->errorCode, "0000") << got.reply->message;
  EXPECT_NE(std::string(got.reply->message).find("1007"), std::string::npos);

  // Today's orders, three to a page over seven orders.
  struct PageCase {
    int page;
    int state;
    int rows;
  } pages[] = {{1, kTradePageFirstOfMore, 3}, {2, kTradePageMiddle, 3}, {3, kTradePageLast, 1}};
  for (const auto& p : pages) {
    got = Call([&](TradeSession* s, TradeNotify n, void* u) { return RequestOrderQuery(s, n, u, "", "", p.page); });
    ASSERT_STREQ(got.reply->errorCode, "0000");
    EXPECT_EQ(got.reply->pageState, p.state) << "page " << p.page;
    EXPECT_EQ(DataRows(got.reply.get()), p.rows) << "page " << p.page;
  }
  EXPECT_EQ(Cell(got.reply.get(), 0, "委托序号"), "1007");
  got = Call([](TradeSession* s, TradeNotify n, void* u) { return RequestOrderQuery(s, n, u, "", "", 4); });
  EXPECT_STREQ(got.reply->errorCode, "1010");

  // Cancel the first cancellable order, with the row's own fields.
  got = Call([](TradeSession* s, TradeNotify n, void* u) { return RequestCancellableQuery(s, n, u, 1); });
  ASSERT_STREQ(got.reply->errorCode, "0000");
  ASSERT_EQ(DataRows(got.reply.get()), 2);
  std::string holder = Cell(got.reply.get(), 0, "股东代码");
  int market = TradeMarketFromName(Cell(got.reply.get(), 0, "市场名称").c_str());
  std::string number = Cell(got.reply.get(), 0, "委托序号");
  EXPECT_EQ(market, 1);
  got = Call([&](TradeSession* s, TradeNotify n, void* u) {
    return RequestCancelOrder(s, n, u, holder.c_str(), market, number.c_str());
  });
  EXPECT_STREQ(got.reply->errorCode, "0000");
  EXPECT_STREQ(got.reply->message, "撤单成功");
  got = Call([&](TradeSession* s, TradeNotify n, void* u) {
    return RequestCancelOrder(s, n, u, holder.c_str(), market, number.c_str());
  });
  EXPECT_STREQ(got.reply->errorCode, "1022");

  // Funds and holdings: the buy moved cash into 600001.
  got = Call([](TradeSession* s, TradeNotify n, void* u) { return RequestFundsQuery(s, n, u, 1); });
  ASSERT_STREQ(got.reply->errorCode, "0000");
  EXPECT_EQ(Cell(got.reply.get(), 0, "资金余额"), "97898.00");  // 100,000.00 - 200 x 10.51
  got = Call([](TradeSession* s, TradeNotify n, void* u) { return RequestHoldingsQuery(s, n, u, 1); });
  ASSERT_STREQ(got.reply->errorCode, "0000");
  EXPECT_EQ(Cell(got.reply.get(), 0, "股份余额"), "1200");

  // Bank list, transfers in and out, transfer records.
  got = Call([](TradeSession* s, TradeNotify n, void* u) { return RequestBankList(s, n, u); });
  ASSERT_STREQ(got.reply->errorCode, "0000");
  BankList banks;
  GetTradeBankList(session_, &banks);
  ASSERT_EQ(banks.count, 2);
  std::string bankCode = banks.text[0][kBankCode];
  std::string bankAccount = banks.text[0][kBankAccount];
  EXPECT_STREQ(banks.text[0][kBankInPasswordFlag], "1");
  got = Call([&](TradeSession* s, TradeNotify n, void* u) {
    return RequestBankTransfer(s, n, u, "246810", bankCode.c_str(), bankAccount.c_str(), "1", "", "500.00", "人民币");
  });
  EXPECT_STREQ(got.reply->errorCode, "0000");
  EXPECT_STREQ(got.reply->message, "转账成功");
  got = Call([&](TradeSession* s, TradeNotify n, void* u) {
    return RequestBankTransfer(s, n, u, "", bankCode.c_str(), bankAccount.c_str(), "0", "", "200", "人民币");
  });
  EXPECT_STREQ(got.reply->errorCode, "0000");
  got = Call([&](TradeSession* s, TradeNotify n, void* u) {
    return RequestTransferQuery(s, n, u, bankCode.c_str(), bankAccount.c_str(), "人民币", 1);
  });
  ASSERT_STREQ(got.reply->errorCode, "0000");
  EXPECT_EQ(DataRows(got.reply.get()), 3);
  EXPECT_EQ(Cell(got.reply.get(), 2, "转账方向"), "转出");

  // Password change; later requests carry the new password.
  got = Call([](TradeSession* s, TradeNotify n, void* u) { return RequestPasswordChange(s, n, u, "135790", "975310"); });
  EXPECT_STREQ(got.reply->errorCode, "0000");
  EXPECT_STREQ(got.reply->message, "密码修改成功");
  EXPECT_EQ(simtrade::TradeServicePassword(service_), "975310");
  got = Call([](TradeSession* s, TradeNotify n, void* u) { return RequestFundsQuery(s, n, u, 1); });
  EXPECT_STREQ(got.reply->errorCode, "0000");
  EXPECT_EQ(simtrade::TradeServiceLog(service_).back().fields[2], "975310");
}

TEST_F(TradeEndToEnd, TransportAndFrameFailuresReachTheOwnerAsFailures) {
  LogIn();
  struct Case {
    const char* name;
    TradeFault fault;
    int status;
    const char* code;
  } cases[] = {
      {"never answers", TradeFault::kNoAnswer, 2, ""},
      {"closes before the content length", TradeFault::kCloseEarly, 1, ""},
      {"empty body", TradeFault::kEmptyBody, 1, ""},
      {"one-field first record", TradeFault::kOneFieldRecord, 0, "0001"},
      {"stated plain length beyond the bytes", TradeFault::kStatedTooLong, 1, ""},
      {"body length beyond the plain text", TradeFault::kBodyLengthTooLong, 1, ""},
      {"reply under 85 bytes", TradeFault::kShortReply, 1, ""},
      {"wrong key", TradeFault::kWrongKey, 1, ""},
      {"session expired", TradeFault::kSessionExpired, 0, "9999"},
      {"delayed answer", TradeFault::kDelay, 0, "0000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    simtrade::InjectTradeFault(service_, "20", c.fault, 1, 200);
    Owner::Got got = Call([](TradeSession* s, TradeNotify n, void* u) { return RequestFundsQuery(s, n, u, 1); });
    EXPECT_EQ(got.status, c.status);
    ASSERT_NE(got.reply, nullptr);
    EXPECT_STREQ(got.reply->errorCode, c.code);
    if (c.status != 0) {
      EXPECT_EQ(got.reply->records, nullptr);
    }
  }
  simtrade::InjectTradeFault(service_, "31", TradeFault::kMarketClosed);
  Owner::Got got = Call([](TradeSession* s, TradeNotify n, void* u) { return RequestOrderInfo(s, n, u, "600001", 1); });
  EXPECT_STREQ(got.reply->errorCode, "1042");
  EXPECT_EQ(owner_.Count(), 0u);

  // Nothing listens: the connection is refused.
  simtrade::StopTradeService(service_);
  service_ = nullptr;
  got = Call([](TradeSession* s, TradeNotify n, void* u) { return RequestFundsQuery(s, n, u, 1); });
  EXPECT_EQ(got.status, 1);
  service_ = simtrade::RunTradeService(simtrade::TradeServiceOptions());
}

TEST_F(TradeEndToEnd, ServerRefusalsArriveAsTheirCodes) {
  // Before login every request but captcha and login is refused.
  Owner::Got got = Call([](TradeSession* s, TradeNotify n, void* u) { return RequestFundsQuery(s, n, u, 1); });
  EXPECT_STREQ(got.reply->errorCode, "9999");
  got = Call([](TradeSession* s, TradeNotify n, void* u) { return RequestTradeLogin(s, n, u, 0, "880001", "135790", 0, ""); });
  EXPECT_STREQ(got.reply->errorCode, "1003");
  got = Call([](TradeSession* s, TradeNotify n, void* u) { return RequestTradeLogin(s, n, u, 0, "880001", "135790", 2, "0000"); });
  EXPECT_STREQ(got.reply->errorCode, "1002");
  struct LoginCase {
    const char* name;
    int type;
    const char* password;
    const char* code;
  } logins[] = {{"wrong password", 0, "000000", "1001"}, {"type mismatch", 3, "135790", "1004"}};
  for (const auto& c : logins) {
    SCOPED_TRACE(c.name);
    Call([](TradeSession* s, TradeNotify n, void* u) { return RequestTradeCaptcha(s, n, u, 0, 4, 0); });
    char captcha[kTradeCaptchaSize];
    GetTradeCaptcha(session_, captcha);
    got = Call([&](TradeSession* s, TradeNotify n, void* u) {
      return RequestTradeLogin(s, n, u, c.type, "880001", c.password, 2, captcha);
    });
    EXPECT_STREQ(got.reply->errorCode, c.code);
  }
  LogIn();

  using Send = std::function<int(TradeSession*, TradeNotify, void*)>;
  auto order = [](int market, const char* holder, const char* code, const char* side, const char* quantity,
                  const char* price, const char* type) -> Send {
    return [=](TradeSession* s, TradeNotify n, void* u) {
      return RequestPlaceOrder(s, n, u, market, holder, code, side, quantity, price, type);
    };
  };
  auto transfer = [](const char* fund, const char* bank, const char* direction, const char* bankPassword,
                     const char* amount) -> Send {
    return [=](TradeSession* s, TradeNotify n, void* u) {
      const char* account = strcmp(bank, "01") == 0 ? "6222000011112222" : "6228000033334444";
      return RequestBankTransfer(s, n, u, fund, bank, account, direction, bankPassword, amount, "人民币");
    };
  };
  struct Case {
    const char* name;
    Send send;
    const char* code;
  } cases[] = {
      {"bad market", order(7, "A123456789", "600001", "0", "100", "10.50", "0"), "1031"},
      {"price type of another market", order(1, "A123456789", "600001", "0", "100", "10.50", "1"), "1032"},
      {"holder of another market", order(1, "0123456789", "600001", "0", "100", "10.50", "0"), "1033"},
      {"empty quantity", order(1, "A123456789", "600001", "0", "", "10.50", "0"), "1035"},
      {"odd lot", order(1, "A123456789", "600001", "0", "150", "10.50", "0"), "1035"},
      {"zero price", order(1, "A123456789", "600001", "0", "100", "0", "0"), "1036"},
      {"above the limit", order(1, "A123456789", "600001", "0", "100", "11.40", "0"), "1037"},
      {"not enough cash", order(1, "A123456789", "600002", "0", "10000", "20.12", "0"), "1038"},
      {"not enough shares", order(2, "0123456789", "000002", "1", "600", "12.34", "0"), "1039"},
      {"unknown stock for order info", [](TradeSession* s, TradeNotify n, void* u) { return RequestOrderInfo(s, n, u, "999999", 2); }, "1041"},
      {"unknown order to cancel", [](TradeSession* s, TradeNotify n, void* u) { return RequestCancelOrder(s, n, u, "A123456789", 1, "5"); }, "1021"},
      {"cancel with another market", [](TradeSession* s, TradeNotify n, void* u) { return RequestCancelOrder(s, n, u, "A123456789", 2, "1003"); }, "1023"},
      {"wrong current password", [](TradeSession* s, TradeNotify n, void* u) { return RequestPasswordChange(s, n, u, "111111", "222222"); }, "1005"},
      {"new password not six digits", [](TradeSession* s, TradeNotify n, void* u) { return RequestPasswordChange(s, n, u, "135790", "12ab"); }, "1006"},
      {"wrong fund password", transfer("000000", "01", "1", "", "10"), "1052"},
      {"wrong bank password", transfer("246810", "02", "0", "123456", "10"), "1053"},
      {"amount not positive", transfer("246810", "01", "1", "", "-5"), "1054"},
      {"more than the cash", transfer("", "01", "0", "", "99999999"), "1055"},
      {"dates in the wrong order", [](TradeSession* s, TradeNotify n, void* u) { return RequestDealQuery(s, n, u, "20240310", "20240301", 1); }, "1011"},
      {"page beyond the end", [](TradeSession* s, TradeNotify n, void* u) { return RequestFundFlowQuery(s, n, u, "20240101", "20241231", 0, 9); }, "1010"},
      {"no allotments in range", [](TradeSession* s, TradeNotify n, void* u) { return RequestAllotmentQuery(s, n, u, "20230101", "20230102", 1); }, "1010"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    got = Call(c.send);
    ASSERT_EQ(got.status, 0);
    EXPECT_STREQ(got.reply->errorCode, c.code) << got.reply->message;
  }
  got = Call([](TradeSession* s, TradeNotify n, void* u) { return RequestDealQuery(s, n, u, "20240301", "20240308", 1); });
  EXPECT_STREQ(got.reply->errorCode, "0000");
  EXPECT_EQ(DataRows(got.reply.get()), 2);
}

TEST_F(TradeEndToEnd, RepliesKeepToTheirOwnersWhileRequestsOverlap) {
  LogIn();
  // Order information is slow; the order sent after it answers first.
  simtrade::InjectTradeFault(service_, "31", TradeFault::kDelay, 1, 400);
  Owner infoOwner;
  ASSERT_GT(RequestOrderInfo(session_, Owner::Notify, &infoOwner, "600001", 1), 0);
  Owner::Got got = Call([](TradeSession* s, TradeNotify n, void* u) {
    return RequestPlaceOrder(s, n, u, 1, "A123456789", "600001", "0", "100", "10.00", "0");
  });
  EXPECT_EQ(got.reply->kind, kTradeKindDealsOrPlaceOrder);
  EXPECT_NE(std::string(got.reply->message).find("委托成功"), std::string::npos);
  Owner::Got info = infoOwner.Next();
  ASSERT_EQ(info.status, 0);
  EXPECT_EQ(info.reply->kind, kTradeKindOrderInfo);
  EXPECT_EQ(owner_.Count(), 0u);
  OrderInfo table;
  GetTradeOrderInfo(session_, &table);
  EXPECT_STREQ(table.slot[0], "600001");

  // An abandoned request is never reported.
  simtrade::InjectTradeFault(service_, "05", TradeFault::kDelay, 1, 300);
  Owner abandoned;
  int id = RequestOrderQuery(session_, Owner::Notify, &abandoned, "", "", 1);
  ASSERT_GT(id, 0);
  AbandonTradeRequest(session_, id);
  got = Call([](TradeSession* s, TradeNotify n, void* u) { return RequestFundsQuery(s, n, u, 1); });
  EXPECT_STREQ(got.reply->errorCode, "0000");
  EXPECT_EQ(abandoned.Next(600).status, -1);
}

TEST_F(TradeEndToEnd, LogOutEndsTheSessionAndANewLoginStartsClean) {
  LogIn();
  Owner::Got got = Call([](TradeSession* s, TradeNotify n, void* u) { return RequestBankList(s, n, u); });
  ASSERT_STREQ(got.reply->errorCode, "0000");
  ClearTradeLogin(session_);
  BankList banks;
  GetTradeBankList(session_, &banks);
  EXPECT_EQ(banks.count, 0);
  // The login session bytes are gone with the log-out.
  got = Call([](TradeSession* s, TradeNotify n, void* u) { return RequestFundsQuery(s, n, u, 1); });
  EXPECT_STREQ(got.reply->errorCode, "9999");
  EXPECT_EQ(simtrade::TradeServiceLog(service_).back().token, "00000000000");
  LogIn();
  got = Call([](TradeSession* s, TradeNotify n, void* u) { return RequestFundsQuery(s, n, u, 1); });
  EXPECT_STREQ(got.reply->errorCode, "0000");
}

TEST(TradeEndToEndBanks, SeventeenBanksAreCutToSixteen) {
  simtrade::TradeServiceOptions options;
  options.extraBanks = 15;
  options.checkToken = false;
  simtrade::TradeService* service = simtrade::RunTradeService(options);
  ASSERT_NE(service, nullptr);
  TradeSession* session = CreateTradeSession();
  SetTradeAddress(session, simtrade::TradeServiceAddress(service).c_str());
  RequestTradeLogin(session, nullptr, nullptr, 0, "880001", "135790", 0, nullptr);  // credentials only
  Owner owner;
  ASSERT_GT(RequestBankList(session, Owner::Notify, &owner), 0);
  Owner::Got got = owner.Next();
  ASSERT_EQ(got.status, 0);
  EXPECT_EQ(DataRows(got.reply.get()), 17);
  BankList banks;
  GetTradeBankList(session, &banks);
  EXPECT_EQ(banks.count, 16);
  DestroyTradeSession(session);
  simtrade::StopTradeService(service);
}

}  // namespace
