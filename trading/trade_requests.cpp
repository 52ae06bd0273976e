#include "trading/trade_requests.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "foundation/debug_trace.h"

namespace {

// One body field: a text, or a number written as "%d".
struct Field {
  const char* text;
  int number;
  bool isNumber;
  Field(const char* t) : text(t), number(0), isNumber(false) {}  // NOLINT: fields read as a list
  Field(int n) : text(nullptr), number(n), isNumber(true) {}     // NOLINT
};

struct Credentials {
  int type;
  char account[64];
  char password[196];
};

Credentials ReadCredentials(TradeSession* session) {
  Credentials credentials;
  std::lock_guard<std::mutex> guard(session->lock);
  credentials.type = session->accountType;
  memcpy(credentials.account, session->account, sizeof(credentials.account));
  memcpy(credentials.password, session->password, sizeof(credentials.password));
  return credentials;
}

// Builds the request in the session's buffer ("||", header, fields, 0x01),
// enciphers it in place and sends it with the pending record. Result as the
// builders'.
int BuildAndSend(TradeSession* session, TradeNotify notify, void* user, const char* code, int page, int kind,
                 std::initializer_list<Field> fields, std::unique_ptr<TradePendingRequest> pending = nullptr) {
  if (session == nullptr) return 0;
  if (pending == nullptr) pending = std::make_unique<TradePendingRequest>();
  pending->kind = kind;
  pending->page = page;
  pending->notify = notify;
  pending->user = user;
  BYTE bytes[kTradeRequestBufferSize];
  int sent = -1;
  {
    std::lock_guard<std::mutex> guard(session->lock);
    BYTE* buffer = session->requestBuffer;
    memset(buffer, 0, kTradeRequestBufferSize);
    buffer[0] = '|';
    buffer[1] = '|';
    BYTE* plain = buffer + 2;
    int length = kTradeHeaderSize;
    int packed = 1;
    for (const Field& field : fields) {
      if (!packed) break;
      packed = field.isNumber ? PackTradeNumber(plain, kTradeMaxPlainLength, field.number, &length)
                              : PackTradeText(plain, kTradeMaxPlainLength, field.text, &length);
    }
    if (packed) packed = PackTradeRecordEnd(plain, kTradeMaxPlainLength, &length);
    if (packed) packed = FillTradeHeader(session, plain, code, page, length - kTradeHeaderSize);
    if (packed) sent = EncodeTradeRequest(&session->cipher, plain, length, buffer, kTradeRequestBufferSize);
    if (sent > 0) memcpy(bytes, buffer, static_cast<size_t>(sent));
  }
  if (sent <= 0) {
    DebugPrintf("Trade request %s not sent: its fields do not fit the request buffer\n", code);
    return 0;
  }
  return SendTradeRequest(session, bytes, sent, std::move(pending));
}

}  // namespace

int RequestTradeLogin(TradeSession* session, TradeNotify notify, void* user, int type, const char* account,
                      const char* password, int securityMode, const char* securityText) {
  if (session == nullptr) return 0;
  {
    std::lock_guard<std::mutex> guard(session->lock);
    session->accountType = type;
    CopyTradeText(session->account, sizeof(session->account), account);
    CopyTradeText(session->password, sizeof(session->password), password);
    // A new login starts without the previous account's data.
    session->loggedIn = false;
    memset(&session->loginInfo, 0, sizeof(session->loginInfo));
    memset(&session->bankList, 0, sizeof(session->bankList));
    memset(&session->orderInfo, 0, sizeof(session->orderInfo));
  }
  Credentials c = ReadCredentials(session);
  if (securityMode == 0) {
    return BuildAndSend(session, notify, user, "07", 1, kTradeKindLogin, {c.type, c.account, c.password});
  }
  return BuildAndSend(session, notify, user, "07", 1, kTradeKindLogin,
                      {c.type, c.account, c.password, securityMode, securityText});
}

int RequestTradeCaptcha(TradeSession* session, TradeNotify notify, void* user, int first, int second, int third) {
  return BuildAndSend(session, notify, user, "39", 1, kTradeKindCaptcha, {first, second, third});
}

int RequestPasswordChange(TradeSession* session, TradeNotify notify, void* user, const char* currentPassword,
                          const char* newPassword) {
  if (session == nullptr) return 0;
  Credentials c = ReadCredentials(session);
  auto pending = std::make_unique<TradePendingRequest>();
  CopyTradeText(pending->newPassword, sizeof(pending->newPassword), newPassword);
  return BuildAndSend(session, notify, user, "08", 1, kTradeKindPasswordChange,
                      {c.type, c.account, currentPassword, newPassword}, std::move(pending));
}

int RequestHoldingsQuery(TradeSession* session, TradeNotify notify, void* user, int page) {
  if (session == nullptr) return 0;
  Credentials c = ReadCredentials(session);
  return BuildAndSend(session, notify, user, "03", page, kTradeKindFundsHoldings, {c.type, c.account, c.password, "", ""});
}

int RequestFundsQuery(TradeSession* session, TradeNotify notify, void* user, int page) {
  if (session == nullptr) return 0;
  Credentials c = ReadCredentials(session);
  return BuildAndSend(session, notify, user, "20", page, kTradeKindFundsHoldings, {c.type, c.account, c.password});
}

int RequestFundFlowQuery(TradeSession* session, TradeNotify notify, void* user, const char* startDate,
                         const char* endDate, int number, int page) {
  if (session == nullptr) return 0;
  Credentials c = ReadCredentials(session);
  return BuildAndSend(session, notify, user, "11", page, kTradeKindFundFlow,
                      {c.type, c.account, c.password, startDate, endDate, number});
}

int RequestOrderQuery(TradeSession* session, TradeNotify notify, void* user, const char* startDate,
                      const char* endDate, int page) {
  if (session == nullptr) return 0;
  Credentials c = ReadCredentials(session);
  return BuildAndSend(session, notify, user, "05", page, kTradeKindOrders,
                      {c.type, c.account, c.password, "", startDate, endDate, ""});
}

int RequestDealQuery(TradeSession* session, TradeNotify notify, void* user, const char* startDate,
                     const char* endDate, int page) {
  if (session == nullptr) return 0;
  Credentials c = ReadCredentials(session);
  return BuildAndSend(session, notify, user, "06", page, kTradeKindDealsOrPlaceOrder,
                      {c.type, c.account, c.password, "", startDate, endDate, ""});
}

int RequestPlaceOrder(TradeSession* session, TradeNotify notify, void* user, int market,
                      const char* shareholderCode, const char* stockCode, const char* side, const char* quantity,
                      const char* price, const char* priceType) {
  if (session == nullptr) return 0;
  Credentials c = ReadCredentials(session);
  return BuildAndSend(session, notify, user, "01", 1, kTradeKindDealsOrPlaceOrder,
                      {market, shareholderCode, c.password, stockCode, side, quantity, price, priceType});
}

int RequestCancellableQuery(TradeSession* session, TradeNotify notify, void* user, int page) {
  if (session == nullptr) return 0;
  Credentials c = ReadCredentials(session);
  return BuildAndSend(session, notify, user, "21", page, kTradeKindCancellable, {c.type, c.account, c.password, ""});
}

int RequestCancelOrder(TradeSession* session, TradeNotify notify, void* user, const char* shareholderCode, int market,
                       const char* orderNumber) {
  if (session == nullptr) return 0;
  Credentials c = ReadCredentials(session);
  return BuildAndSend(session, notify, user, "02", 1, kTradeKindCancelOrder,
                      {market, shareholderCode, c.password, orderNumber});
}

int RequestBankList(TradeSession* session, TradeNotify notify, void* user) {
  if (session == nullptr) return 0;
  Credentials c = ReadCredentials(session);
  return BuildAndSend(session, notify, user, "12", 0, kTradeKindBankList, {c.type, c.account, c.password});
}

int RequestBankTransfer(TradeSession* session, TradeNotify notify, void* user, const char* fundPassword,
                        const char* bankCode, const char* bankAccount, const char* direction,
                        const char* bankPassword, const char* amount, const char* currency) {
  if (session == nullptr) return 0;
  Credentials c = ReadCredentials(session);
  return BuildAndSend(session, notify, user, "13", 0, kTradeKindBankTransfer,
                      {c.type, c.account, fundPassword, bankCode, bankAccount, direction, bankPassword, amount,
                       currency});
}

int RequestTransferQuery(TradeSession* session, TradeNotify notify, void* user, const char* bankCode,
                         const char* bankAccount, const char* currency, int page) {
  if (session == nullptr) return 0;
  Credentials c = ReadCredentials(session);
  return BuildAndSend(session, notify, user, "33", page, kTradeKindTransferQuery,
                      {c.type, c.account, c.password, bankCode, bankAccount, currency});
}

int RequestOrderInfo(TradeSession* session, TradeNotify notify, void* user, const char* stockCode, int side) {
  if (session == nullptr) return 0;
  Credentials c = ReadCredentials(session);
  auto pending = std::make_unique<TradePendingRequest>();
  pending->orderInfoSlot = true;
  const bool sell = side == 2;
  return BuildAndSend(session, notify, user, sell ? "32" : "31", 1, kTradeKindOrderInfo,
                      {c.type, c.account, c.password, stockCode, "", "", sell ? "1" : "0"}, std::move(pending));
}

int RequestAllotmentQuery(TradeSession* session, TradeNotify notify, void* user, const char* startDate,
                          const char* endDate, int page) {
  if (session == nullptr) return 0;
  Credentials c = ReadCredentials(session);
  return BuildAndSend(session, notify, user, "09", page, kTradeKindAllotment,
                      {c.type, c.account, c.password, startDate, endDate, ""});
}

const char* TradePriceTypeCode(int market, int choice) {
  static const char* const kShanghai[] = {"0", "4", "7"};
  static const char* const kShenzhen[] = {"0", "1", "2", "3", "4", "5"};
  if ((market == 1 || market == 3) && choice >= 0 && choice < 3) return kShanghai[choice];
  if ((market == 2 || market == 4) && choice >= 0 && choice < 6) return kShenzhen[choice];
  return "0";
}

int TradeMarketFromName(const char* text) {
  if (text == nullptr) return 0;
  static const struct {
    const char* name;
    int market;
  } kMarkets[] = {{"深A", 2}, {"深B", 4}, {"沪A", 1}, {"沪B", 3}, {"三板A", 12}, {"三板B", 13}};
  for (const auto& entry : kMarkets) {
    if (strstr(text, entry.name) != nullptr) return entry.market;
  }
  return 0;
}

void FormatTradeDate(char* out, int year, int month, int day) {
  char text[40];
  snprintf(text, sizeof(text), "%04d%02d%02d", year, month, day);
  CopyTradeText(out, 9, text);
}
