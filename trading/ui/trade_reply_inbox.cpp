#include "trading/ui/trade_reply_inbox.h"

#include <algorithm>

#include "foundation/text_codec.h"

TradeReplyInbox::~TradeReplyInbox() { AbandonAll(); }

void TradeReplyInbox::Attach(HWND owner, TradeSession* session) {
  std::lock_guard<std::mutex> hold(lock_);
  owner_ = owner;
  session_ = session;
}

void TradeReplyInbox::Queue(int status, TradeReply* reply) {
  HWND owner;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (reply && reply->requestId > 0) {
      auto it = std::find(ids_.begin(), ids_.end(), reply->requestId);
      if (it != ids_.end()) ids_.erase(it);
      else early_.push_back(reply->requestId);  // answered before Sent heard of it
    }
    queue_.push_back(TradeInboxItem{status, TradeReplyPtr(reply)});
    owner = owner_;
  }
  if (owner) PostMessageW(owner, message_, 0, message_ == WM_TRADE_LOGIN_REPLY ? status : 0);
}

void TradeReplyInbox::Notify(void* user, int status, TradeReply* reply) {
  static_cast<TradeReplyInbox*>(user)->Queue(status, reply);
}

int TradeReplyInbox::Sent(int id) {
  if (id > 0) {
    std::lock_guard<std::mutex> hold(lock_);
    // A reply that came before the builder returned has already gone by.
    auto it = std::find(early_.begin(), early_.end(), id);
    if (it != early_.end()) early_.erase(it);
    else ids_.push_back(id);
    return id;
  }
  Queue(1, new TradeReply());
  return 0;
}

TradeInboxItem TradeReplyInbox::Take() {
  std::lock_guard<std::mutex> hold(lock_);
  if (queue_.empty()) return TradeInboxItem{};
  TradeInboxItem item = std::move(queue_.front());
  queue_.pop_front();
  return item;
}

void TradeReplyInbox::AbandonAll() {
  std::vector<int> ids;
  TradeSession* session;
  {
    std::lock_guard<std::mutex> hold(lock_);
    ids.swap(ids_);
    session = session_;
  }
  // Abandoning waits for a notify already running, which takes lock_: never
  // hold it here.
  if (session)
    for (int id : ids) AbandonTradeRequest(session, id);
  std::lock_guard<std::mutex> hold(lock_);
  ids_.clear();
}

void TradeReplyInbox::Restart() {
  AbandonAll();
  std::deque<TradeInboxItem> dropped;
  {
    std::lock_guard<std::mutex> hold(lock_);
    dropped.swap(queue_);
  }
}

size_t TradeReplyInbox::Queued() {
  std::lock_guard<std::mutex> hold(lock_);
  return queue_.size();
}

size_t TradeReplyInbox::InFlight() {
  std::lock_guard<std::mutex> hold(lock_);
  return ids_.size();
}

void ShowTradeMessage(HWND owner, const WCHAR* text) { MessageBoxW(owner, text, u"提示", MB_OK); }

void ShowTradeInputError(HWND owner, const WCHAR* text) { MessageBoxW(owner, text, u"提示信息", MB_OK); }

void ShowTradeServerMessage(HWND owner, const char* utf8) {
  WCHAR* text = Utf8ToUtf16Alloc(utf8 ? utf8 : "");
  ShowTradeMessage(owner, text ? text : u"");
  free(text);
}
