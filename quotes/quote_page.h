// What every quote page needs to receive engine replies without touching a
// window off the user-interface thread.
//
// The rule: the engine calls a page's reply callback on the connection's
// thread (or on the UI thread inside a request call). The callback
//   1. takes the page's lock (QuotePageRequests::Lock) and identifies the
//      reply by its handle (RoleOf); a handle the page no longer keeps is
//      ignored;
//   2. copies what the page shows out of the engine's result area into
//      storage the page owns (a LatestCopy, or a child's setter that copies
//      under its own lock), and cancels a one-shot request (Cancel);
//   3. posts one refill message per table (PostRefill); while one is
//      pending no second one is posted, and the handler takes the newest copy.
// Grid writes, follow-up requests, status texts, message boxes and every
// read of the copied data happen in the message handlers, on the UI thread,
// which call AssertUiThread at their entry. No page reads an engine result
// area on the UI thread.
//
// Lock order: the page's lock, then the engine's locks (CancelQuoteRequest
// inside Cancel). The engine holds none of its locks while it calls a
// callback, so the order is the same on every thread.
#pragma once

#include <array>
#include <atomic>
#include <mutex>
#include <utility>

#include "platform/window/win_user.h"

struct QuoteEngine;

// Traces and aborts when the calling thread is not the user-interface thread
// (where names the caller). Active in Debug builds and wherever a test turned
// the checks on (EnableUiThreadChecks); otherwise nothing.
void AssertUiThread(const char* where);
void EnableUiThreadChecks(bool on);

// The request handles of one page, each under a role the page names (0 to
// kMaxRoles - 1), with the page's re-entrant lock.
class QuotePageRequests {
 public:
  static constexpr int kMaxRoles = 16;

  explicit QuotePageRequests(QuoteEngine* engine = nullptr) : engine_(engine) {}
  QuotePageRequests(const QuotePageRequests&) = delete;
  QuotePageRequests& operator=(const QuotePageRequests&) = delete;

  void SetEngine(QuoteEngine* engine);
  QuoteEngine* Engine() const { return engine_; }
  std::recursive_mutex& Lock() { return lock_; }

  // Keeps handle under role (0: none). Under the lock.
  void Set(int role, int handle);
  // The handle kept under role; 0 for none or a role out of range.
  int Get(int role);
  // The role that keeps handle; -1 for 0 or a handle no role keeps.
  int RoleOf(int handle);
  // Cancels the role's request with the engine, then zeroes the handle;
  // under the lock. Nothing for a zero handle.
  void Cancel(int role);
  // Cancel for every role.
  void CancelAll();

 private:
  QuoteEngine* engine_ = nullptr;
  std::recursive_mutex lock_;
  std::array<int, kMaxRoles> handles_{};
};

// One coalesced refill message: Post posts (msg, wParam, lParam) to the
// window unless a post is pending; Taken (the handler, first thing) clears
// the pending mark so that the next copy posts again.
class RefillPost {
 public:
  // TRUE when posted now; FALSE when one was pending or the post failed.
  BOOL Post(HWND window, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
  void Taken() { pending_.store(false); }
  bool Pending() const { return pending_.load(); }

 private:
  std::atomic<bool> pending_{false};
};

// The newest copy of something a callback copied for the UI thread. Put and
// Take run under the page's lock; Take moves the copy out and leaves the
// copy empty, so a handler that finds nothing knows a later handler took it.
template <typename T>
class LatestCopy {
 public:
  void Put(T value) {
    value_ = std::move(value);
    fresh_ = true;
  }
  // True and *out set when a copy is waiting.
  bool Take(T* out) {
    if (!fresh_) return false;
    *out = std::move(value_);
    value_ = T();
    fresh_ = false;
    return true;
  }

 private:
  T value_{};
  bool fresh_ = false;
};
