#include "platform/kernel/kernel_thread.h"

#include <atomic>
#include <system_error>
#include <utility>

namespace {

std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_threadId = 0;
thread_local DWORD t_lastError = 0;

DWORD NewThreadId() { return g_nextThreadId.fetch_add(1, std::memory_order_relaxed); }

// Creates the std::thread running body under the given id. Throws what
// std::thread throws.
std::thread Launch(std::function<void()> body, DWORD id) {
  return std::thread([body = std::move(body), id]() mutable {
    t_threadId = id;
    body();
    body = nullptr;  // the body's captures die on this thread, as its owner expects
  });
}

}  // namespace

DWORD GetCurrentThreadId() {
  if (t_threadId == 0) t_threadId = NewThreadId();
  return t_threadId;
}

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD code) { t_lastError = code; }
void AdoptCurrentThreadId(DWORD id) {
  if (id != 0) t_threadId = id;
}

bool StartThread(std::function<void()> body, DWORD* threadId) {
  if (!body) return false;
  DWORD id = NewThreadId();
  try {
    Launch(std::move(body), id).detach();
  } catch (const std::system_error&) {
    return false;
  }
  if (threadId) *threadId = id;
  return true;
}

Thread::~Thread() { Join(); }

bool Thread::Start(std::function<void()> body) {
  if (!body || thread_.joinable()) return false;
  DWORD id = NewThreadId();
  try {
    thread_ = Launch(std::move(body), id);
  } catch (const std::system_error&) {
    return false;
  }
  id_ = id;
  return true;
}

void Thread::Join() {
  if (thread_.joinable()) thread_.join();
}
