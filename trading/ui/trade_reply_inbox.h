// The rules every trade window follows for its requests.
//
// A request's notify runs on the request's worker or timer thread. It never
// touches a control, shows a box or builds a request: it queues the reply in
// its owner's inbox (under the inbox's lock) and posts the owner's message —
// WM_TRADE_LOGIN_REPLY with the status for a login-kind inbox, else
// WM_TRADE_REPLY. The handler, on the user-interface thread, takes the
// oldest reply (Take), works from that reply's own code, message and records
// (never the session's "last" ones) and the reply is freed with its holder.
//
// Each inbox remembers the ids of its own requests; Abandon drops only
// those (the session routes every reply to its owner, so abandoning another
// window's request would lose that window's answer). The owner calls
// AbandonAll when its window goes; the destructor does it too and frees
// whatever is still queued.
//
// A request that was not sent (the builder answered 0: no trade address, a
// text too long) is a network failure: Sent queues a status-1 reply and
// posts the message, so the handler treats it like any other failure.
//
// Message boxes of the trade windows: server messages and network failures
// titled "提示", input errors "提示信息" — always from the handler.
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/kernel/win_types.h"
#include "platform/window/win_user.h"
#include "trading/trade_session.h"
#include "trading/ui/trade_messages.h"

struct TradeReplyDeleter {
  void operator()(TradeReply* reply) const { FreeTradeReply(reply); }
};
using TradeReplyPtr = std::unique_ptr<TradeReply, TradeReplyDeleter>;

// One reply taken from an inbox: its status and the reply (never null).
struct TradeInboxItem {
  int status = -1;  // -1: the inbox was empty
  TradeReplyPtr reply;
};

class TradeReplyInbox {
 public:
  // message: WM_TRADE_LOGIN_REPLY (lParam the status) or WM_TRADE_REPLY.
  explicit TradeReplyInbox(UINT message = WM_TRADE_REPLY) : message_(message) {}
  ~TradeReplyInbox();
  TradeReplyInbox(const TradeReplyInbox&) = delete;
  TradeReplyInbox& operator=(const TradeReplyInbox&) = delete;

  // The window that gets the message and the session its requests go to.
  void Attach(HWND owner, TradeSession* session);

  // The notify and user data to hand a builder.
  static void Notify(void* user, int status, TradeReply* reply);
  void* User() { return this; }

  // To be called with a builder's result: remembers a sent request's id;
  // for 0 queues a status-1 reply and posts. Returns the id.
  int Sent(int id);

  // The oldest queued reply (status -1 when none).
  TradeInboxItem Take();

  // Abandons this inbox's requests still in flight (UI thread).
  void AbandonAll();
  // AbandonAll, and frees the replies queued but not yet taken: nothing
  // sent before comes back (a page that starts over).
  void Restart();
  // Replies queued and requests in flight (tests).
  size_t Queued();
  size_t InFlight();

 private:
  void Queue(int status, TradeReply* reply);

  const UINT message_;
  HWND owner_ = nullptr;
  TradeSession* session_ = nullptr;
  std::mutex lock_;                 // guards the queue and the ids
  std::deque<TradeInboxItem> queue_;
  std::vector<int> ids_;            // requests of this inbox in flight
  std::vector<int> early_;          // answered before Sent was told their id
};

// The message box of a trade window, shown by the UI thread: caption "提示"
// for server messages and network failures.
void ShowTradeMessage(HWND owner, const WCHAR* text);
// An input error: caption "提示信息".
void ShowTradeInputError(HWND owner, const WCHAR* text);
// A server message (UTF-8) with the caption "提示".
void ShowTradeServerMessage(HWND owner, const char* utf8);
