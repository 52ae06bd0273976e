#include "quotes/quote_page.h"

#include <cstdlib>

#include "marketdata/quote_requests.h"
#include "foundation/debug_trace.h"
#include "platform/window/win_user.h"

namespace {

#ifdef NDEBUG
std::atomic<bool> gUiThreadChecks{false};
#else
std::atomic<bool> gUiThreadChecks{true};
#endif

}  // namespace

void EnableUiThreadChecks(bool on) { gUiThreadChecks.store(on); }

void AssertUiThread(const char* where) {
  if (!gUiThreadChecks.load() || IsUiThread()) return;
  DebugPrintf("\n%s: called off the user-interface thread", where ? where : "?");
  std::abort();
}

void QuotePageRequests::SetEngine(QuoteEngine* engine) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  engine_ = engine;
}

void QuotePageRequests::Set(int role, int handle) {
  if (role < 0 || role >= kMaxRoles) return;
  std::lock_guard<std::recursive_mutex> hold(lock_);
  handles_[static_cast<size_t>(role)] = handle;
}

int QuotePageRequests::Get(int role) {
  if (role < 0 || role >= kMaxRoles) return 0;
  std::lock_guard<std::recursive_mutex> hold(lock_);
  return handles_[static_cast<size_t>(role)];
}

int QuotePageRequests::RoleOf(int handle) {
  if (handle == 0) return -1;
  std::lock_guard<std::recursive_mutex> hold(lock_);
  for (int role = 0; role < kMaxRoles; ++role)
    if (handles_[static_cast<size_t>(role)] == handle) return role;
  return -1;
}

void QuotePageRequests::Cancel(int role) {
  if (role < 0 || role >= kMaxRoles) return;
  std::lock_guard<std::recursive_mutex> hold(lock_);
  int& handle = handles_[static_cast<size_t>(role)];
  if (handle == 0) return;
  if (engine_) CancelQuoteRequest(engine_, handle);
  handle = 0;
}

void QuotePageRequests::CancelAll() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  for (int role = 0; role < kMaxRoles; ++role) Cancel(role);
}

BOOL RefillPost::Post(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  bool expected = false;
  if (!pending_.compare_exchange_strong(expected, true)) return FALSE;
  if (PostMessageW(window, msg, wParam, lParam)) return TRUE;
  pending_.store(false);
  return FALSE;
}
