// The simulated brokerage's trade service: one POST per request on
// "http://127.0.0.1:<port><path>", the terminal's trade protocol, and one
// simulated account behind it.
//
// Account: type 0, account "880001", trade password "135790", fund password
// "246810", shareholder codes 沪A "A123456789", 深A "0123456789", 沪B
// "C123456789" and 深B "2123456789", cash 100,000.00; stocks in markets 1,
// 2, 3 and 4 (600003 stands at its upper limit with no asks, 600004 offers
// its first ask at "0.00", 600005 trades at its previous close 10.00); holdings; six of today's orders
// (two open, so cancellable); deals, fund flow, allotments; banks "01"
// (转入 flag "1", 转出 "0") and "02" (转入 "3", 转出 "2") with bank password
// "888888".
// A second account, "880002" (trade password "112233", fund password
// "445566", bank password "666666"), has only the 沪A shareholder code
// "A987654321" and the banks "03" (转入 "0", 转出 "1") and "04" (转入 "2",
// 转出 "3"); logging in to it makes it the account every request acts on
// (the positions and orders are shared).
//
// Session token (reply header bytes 23-47): a "39" reply issues a captcha
// session, a "07" reply (which must carry that session and its code) a login
// session, which every other request must carry while token checking is on.
//
// Every decoded request is logged; faults can be armed per function code.
// Threads: one accepting thread and one thread per connection; every public
// function may be called from any thread.
#pragma once

#include <string>
#include <vector>

namespace simtrade {

struct TradeServiceOptions {
  int port = 0;                  // 0: any free port
  std::string path = "/trade";   // requests to other paths get 404
  int pageSize = 1000;           // rows per page of every list
  bool checkToken = true;        // requests other than "39"/"07" need the login session
  int extraBanks = 0;            // banks added after the two (to exercise a client's bound)
  std::string today = "20240315";  // date of today's orders and deals
  bool recentPriceColumn = false;  // order information names its current-price column "最近价格"
};

enum class TradeFault {
  kNone,
  kNoAnswer,          // read the request, never answer (until the client goes or the service stops)
  kCloseEarly,        // Content-Length says more than is sent, then close
  kEmptyBody,         // 200 with an empty body
  kOneFieldRecord,    // reply body "0000" 0x00 0x01
  kStatedTooLong,     // the cipher head states more plain bytes than are sent
  kBodyLengthTooLong, // header body length larger than the plain body
  kShortReply,        // a reply of 40 bytes
  kWrongKey,          // enciphered with another key
  kDelay,             // answer after delayMs
  kSessionExpired,    // "9999"/"会话已失效，请重新登录"
  kMarketClosed,      // "31"/"32": "1042"/"非交易时间"
};

struct LoggedRequest {
  std::string code;
  int page = 0;
  std::vector<std::string> fields;
  std::string token;
  std::string replyCode;  // record 1 field 1 of the answer (empty when a fault replaced it)
};

class TradeService;

// Starts the service; null when the port cannot be bound.
TradeService* RunTradeService(const TradeServiceOptions& options);
// Stops it: closes the port, ends every connection, joins every thread, frees.
void StopTradeService(TradeService* service);

int TradeServicePort(TradeService* service);
// "http://127.0.0.1:<port><path>"
std::string TradeServiceAddress(TradeService* service);
// The element for res\server.data: "<PCTrade>http://127.0.0.1:<port><path></PCTrade>".
std::string TradeServiceServerDataLine(const TradeServiceOptions& options, int port);

// Arms a fault for requests of the function code ("" for any): for the next
// `times` such requests (-1: until cleared). kDelay waits delayMs first.
void InjectTradeFault(TradeService* service, const std::string& code, TradeFault fault, int times = 1,
                      int delayMs = 0);
void ClearTradeFaults(TradeService* service);
void SetTradePageSize(TradeService* service, int pageSize);
void SetTradeTokenCheck(TradeService* service, bool on);

std::vector<LoggedRequest> TradeServiceLog(TradeService* service);
// The last captcha issued (for tests that log in without the client's table).
std::string TradeServiceCaptcha(TradeService* service);
std::string TradeServicePassword(TradeService* service);

// The active account as the service holds it, for checks that do not go
// through the client.
struct TradeAccountHolding {
  std::string code;
  long long shares = 0;
  long long available = 0;  // not under open sell orders
};
struct TradeAccountOrder {
  int number = 0;
  std::string code;
  int side = 0;          // 0 buy, 1 sell
  long long price = 0;   // cents
  long long quantity = 0;
  long long filled = 0;
  std::string status;    // 已成 未成 已撤
};
struct TradeAccountSnapshot {
  std::string account;
  long long cash = 0;  // cents
  std::vector<TradeAccountHolding> holdings;
  std::vector<TradeAccountOrder> orders;
};
TradeAccountSnapshot TradeServiceAccount(TradeService* service);
void SetTradeRecentPriceColumn(TradeService* service, bool on);

}  // namespace simtrade
