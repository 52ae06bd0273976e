// Trade session: request framing, encipherment, sending and the reply path.
//
// Wire form of a request and of a reply (both directions alike):
//   "||" then the Blowfish buffer of the plain text: byte 1, the plain length
//   L as 16-bit little-endian, then the plain text zero-padded to whole
//   8-byte blocks, each block enciphered alone (ECB). Sent length is
//   2 + 3 + 8 x ceil(L / 8).
// Plain text: an 80-byte header and a body.
//   offset len  content
//   0      7    "SLUTF8" + 0 (magic; texts are UTF-8)
//   7      3    "13" + 0
//   10     2    "C" + 0
//   12     2    "R" + 0
//   14     2    "0" + 0; in a reply "1" means more records follow this page
//   16     7    "000000" + 0
//   23     25   session bytes: "00000000000" and 14 zeros at creation, then
//               bytes 23-47 of the last reply
//   48     2    function code, two digits, no terminator
//   50     1    zero (never written)
//   51     5    page number "%04d" + 0
//   56     2    zero
//   58     17   session bytes: zero at creation, then bytes 58-74 of the
//               last reply
//   75     5    body length "%04d" + 0
// Body: zero-terminated UTF-8 fields, numbers as "%d", closed by one 0x01
// that the body length counts. A reply body holds records ended by 0x01 whose
// fields end with 0x00: record 1 error code ("0000" success) and message,
// then optionally the column names and one record per row.
//
// Request lifecycle. A builder (trade_requests.h) packs the body behind the
// header template, fills the header, enciphers and sends with
// StartHttpRequest; each request carries its own pending record (kind,
// owner's notify and user data, page sent, builder's extra value), so its
// reply reaches only that owner, whatever was sent after it. States of one
// pending record:
//   registered (SendTradeRequest) -> replied (OnTradeReply: record removed,
//   owner notified once) or abandoned (AbandonTradeRequest: record removed,
//   no callback follows).
// Progress reports (status 4) are not passed on. A completed reply that is
// empty or malformed (stated length beyond the bytes received, plain text
// under 80 bytes, body length beyond the plain text, no record) is reported to
// its owner as failed (status 1).
//
// Threads: builders run on the user-interface thread; OnTradeReply on the
// request's worker or timer thread. The session's lock guards every field
// marked (lock); notify functions are called without it. The key schedule is
// written once at creation and only read afterwards: each buffer operation
// works on its own copy, so the cipher direction belongs to that call.
#pragma once

#include <list>
#include <memory>
#include <mutex>

#include "foundation/blowfish.h"
#include "foundation/http_request.h"
#include "foundation/string_helpers.h"
#include "trading/trade_tables.h"

constexpr int kTradeHeaderSize = 80;
constexpr int kTradeRequestBufferSize = 1024;
// 2 + 3 + 8 x ceil(L / 8) must fit the request buffer.
constexpr int kTradeMaxPlainLength = 1016;
// The body-length field has four digits.
constexpr int kTradeMaxBodyLength = 9999;
constexpr int kTradeAddressSize = 256;

// Which reply table a request's reply fills (and what its owner expects).
enum TradeRequestKind {
  kTradeKindLogin = 0,
  kTradeKindCaptcha = 1,
  kTradeKindPasswordChange = 2,
  kTradeKindFundsHoldings = 3,
  kTradeKindFundFlow = 5,
  kTradeKindOrders = 6,
  kTradeKindDealsOrPlaceOrder = 7,
  kTradeKindCancellable = 8,
  kTradeKindCancelOrder = 9,
  kTradeKindBankList = 13,
  kTradeKindBankTransfer = 14,
  kTradeKindTransferQuery = 16,
  kTradeKindOrderInfo = 17,
  kTradeKindAllotment = 19,
};

// Page state of a reply, from the page sent and the reply's byte-14 field.
enum TradePageState {
  kTradePageFirstOfMore = -1,  // "1", page 1 or below
  kTradePageMiddle = 0,        // "1", page above 1
  kTradePageLast = 1,          // not "1", page above 1
  kTradePageOnly = 2,          // not "1", page 1 or below
};

// What one reply hands its owner. Owned by the owner once notified: free it
// with FreeTradeReply (it may be posted on to another thread first).
struct TradeReply {
  int requestId = 0;           // the request it answers
  int kind = 0;                // TradeRequestKind of that request
  int page = 0;                // page number sent
  char errorCode[8] = {};      // status 0: record 1 field 1 ("0000" success); else empty
  char message[256] = {};      // status 0: record 1 field 2
  int pageState = kTradePageOnly;
  RecordList* records = nullptr;  // status 0: all records of the body; else null
};

// The owner's callback: status 0 completed, 1 failed (network, empty or
// malformed reply), 2 timed out. reply is never null.
typedef void (*TradeNotify)(void* user, int status, TradeReply* reply);

void FreeTradeReply(TradeReply* reply);

struct TradeSession;

// One request in flight (internal to the session; see the states above).
struct TradePendingRequest {
  TradeSession* session = nullptr;
  int id = 0;                  // 0 until StartHttpRequest returned
  int kind = 0;
  int page = 0;
  TradeNotify notify = nullptr;
  void* user = nullptr;
  bool orderInfoSlot = false;  // kept in the order-information slot
  char newPassword[196] = {};  // password change: stored on "0000"
};

// Saved-account fields (TradeUser.data; trade_account.h).
struct TradeSavedAccount {
  char tradeUrl[256];
  char account[64];
  char tradeCompany[64];
  char tradeSale[128];
  char tradeCode[64];
  char tradeSign[8];
  char tradeProtection[8];
  int tradeType;
};

// The one trade account of the program. Created by CreateTradeSession and
// kept for the life of the process; owners get a pointer and never free it.
struct TradeSession {
  std::mutex lock;                                 // guards the fields marked (lock)
  BYTE headerTemplate[kTradeHeaderSize] = {};      // (lock) header every request sends
  BYTE lastReplyHeader[kTradeHeaderSize] = {};     // (lock) plain header of the last reply
  char errorCode[8] = {};                          // (lock) of the last completed reply
  char message[256] = {};                          // (lock) of the last completed reply
  int pageState = kTradePageOnly;                  // (lock) of the last completed reply
  TradeLoginInfo loginInfo = {};                   // (lock) kind 0 table
  BankList bankList = {};                          // (lock) kind 13 table
  OrderInfo orderInfo = {};                        // (lock) kind 17 table
  BYTE* requestBuffer = nullptr;                   // (lock) 1,024 bytes, every request is built here
  int requestId = 0;                               // (lock) id of the last general request
  int orderInfoRequestId = 0;                      // (lock) id of the last order-information request
  BlowfishContext cipher = {};                     // keyed at creation, read-only afterwards
  int accountType = 0;                             // (lock) credentials of the last login request
  char account[64] = {};                           // (lock)
  char password[196] = {};                         // (lock) trade password, sent with most requests
  char tradeAddress[kTradeAddressSize] = {};       // (lock) "http://host[:port]/path"
  char captchaText[kTradeCaptchaSize] = {};        // (lock) kind 1 result
  TradeSavedAccount saved = {};                    // UI thread only
  char fileName[256] = {};                         // "TradeUser.data"
  bool loggedIn = false;                           // (lock) set by the login dialog
  // Tests: when set, SendTradeRequest hands the bytes here instead of
  // starting an HTTP request (nothing is registered) and returns its result.
  int (*sendHookForTesting)(void* context, const BYTE* bytes, int length, const TradePendingRequest& pending) = nullptr;
  void* sendHookContext = nullptr;
  std::list<std::unique_ptr<TradePendingRequest>> pending;  // (lock) requests in flight
};

// A new session: creation header template, key schedule of kTradeCipherKey
// (mode 1), 1,024-byte request buffer, TradeCode "000000", file name
// "TradeUser.data". Null only when out of memory.
TradeSession* CreateTradeSession();
// Abandons every request in flight and frees the session (tests; the program
// keeps its session to the end).
void DestroyTradeSession(TradeSession* session);

// Copies the address (at most 255 bytes) into the session's trade address.
// Result 1; 0 when the address is null, empty or too long: the old address
// then stays (a cut address would send to the wrong place).
int SetTradeAddress(TradeSession* session, const char* address);
// SetTradeAddress of the server directory's "PCTrade" entry (every "amp;"
// removed). 1 on success, 0 when absent or too long.
int LoadTradeAddressFromServerList(TradeSession* session);

// Log-out: clears the logged-in flag, the login information, bank list,
// order information, captcha text, the last reply's header, code and message,
// and restores the template's session bytes to their creation values.
// Requests in flight stay (their owners abandon them).
void ClearTradeLogin(TradeSession* session);

// Body packing. plain is the start of the plain text (header included) of
// capacity bytes; *length is the running length, where the field is written.
// Each appends its field with its zero byte (PackTradeRecordEnd: one 0x01)
// and adds its size to *length. Result 1; 0 when it would pass capacity, and
// then nothing is written and *length is unchanged. A null text packs as
// empty.
int PackTradeText(BYTE* plain, int capacity, const char* text, int* length);
int PackTradeNumber(BYTE* plain, int capacity, int number, int* length);
int PackTradeRecordEnd(BYTE* plain, int capacity, int* length);

// Writes the two-digit code into template bytes 48-49, "%04d" of page into
// bytes 51-55 and "%04d" of bodyLength into bytes 75-79, then copies the 80
// template bytes to destination. Caller holds the session's lock. Result 1;
// 0 (nothing written) for a code that is not two digits, a page outside
// 0-9999 or a body length outside 0-9999.
int FillTradeHeader(TradeSession* session, BYTE* destination, const char* code, int page, int bodyLength);

// Fills header (80 bytes) as at session creation.
void MakeTradeHeaderTemplate(BYTE* header);

// Pure encoding: writes "||" and the Blowfish buffer of the plainLength bytes
// at plain into out. Result the bytes to send; -1 (out untouched) when
// plainLength is not 1 to 1,016 or out is too small. plain and out + 2 may be
// the same bytes. key is read only.
int EncodeTradeRequest(const BlowfishContext* key, const BYTE* plain, int plainLength, BYTE* out,
                       int outCapacity);

// A decoded reply (or request) frame.
struct TradeFrame {
  BYTE header[kTradeHeaderSize] = {};
  int plainLength = 0;  // L of the Blowfish head
  int bodyLength = 0;   // header bytes 75-78
  BYTE* body = nullptr; // bodyLength bytes and a zero (owned; FreeTradeFrame)
};
void FreeTradeFrame(TradeFrame* frame);

// Pure decoding of received bytes: checks that 5 + 8 x ceil(L / 8) bytes were
// received, L >= 80, the body-length field is 1 to 4 digits and fits L - 80;
// deciphers; fills frame. Result 1; 0 when malformed (frame left empty).
int DecodeTradeFrame(const BlowfishContext* key, const BYTE* bytes, int length, TradeFrame* frame);

// Splits a decoded reply into its records and fills the reply's error code
// and message (a one-field first record gives "0001"/"后台返回数据错误") and
// page state (from pageSent and header byte 14). Result 1; 0 when the body
// holds no record (the reply then stays empty).
int UnpackTradeReply(const TradeFrame* frame, int pageSent, TradeReply* reply);

// Page state for the page sent and the reply header's byte-14 field.
int ComputeTradePageState(int pageSent, const BYTE* replyHeader);

// Sends the length bytes of buffer (already "||" + enciphered) to the trade
// address as one POST, with the pending record (moved into the session).
// Stores the id in the general or the order-information slot and returns it;
// 0 when the session has no trade address (pending dropped, nobody notified).
int SendTradeRequest(TradeSession* session, const BYTE* buffer, int length,
                     std::unique_ptr<TradePendingRequest> pending);

// No callback follows for the request id (AbandonHttpRequest) and its
// pending record is dropped. Unknown or finished ids do nothing. Never call
// it from that request's own notify.
void AbandonTradeRequest(TradeSession* session, int id);

// The HttpReplyCallback of every trade request; user is its pending record.
void OnTradeReply(HttpRequest* request, void* user, const char* body, int length, int status);

// Copies of the tables under the session's lock (for owners on any thread).
void GetTradeLoginInfo(TradeSession* session, TradeLoginInfo* out);
void GetTradeBankList(TradeSession* session, BankList* out);
void GetTradeOrderInfo(TradeSession* session, OrderInfo* out);
void GetTradeCaptcha(TradeSession* session, char* out /* kTradeCaptchaSize bytes */);
// Copies the current trade password (196 bytes).
void GetTradePassword(TradeSession* session, char* out);
