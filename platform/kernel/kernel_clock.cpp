#include "platform/kernel/kernel_clock.h"

#include <time.h>

#include <atomic>
#include <mutex>
#include <thread>

// Defined by the timer queue: the manual clock has moved (or was installed or
// removed); waitForDue asks to return only when the due timers have run.
void TimerQueueClockMoved(bool waitForDue);

namespace {

std::atomic<bool> g_manualActive{false};
std::atomic<ULONGLONG> g_manualTicks{0};
std::mutex g_manualSwap;  // serialises installing and removing ManualClocks

}  // namespace

ULONGLONG RealTickCount64() {
  struct timespec now {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<ULONGLONG>(now.tv_sec) * 1000u + static_cast<ULONGLONG>(now.tv_nsec) / 1000000u;
}

ULONGLONG GetTickCount64() {
  if (g_manualActive.load(std::memory_order_acquire)) return g_manualTicks.load(std::memory_order_acquire);
  return RealTickCount64();
}

DWORD GetTickCount() { return static_cast<DWORD>(GetTickCount64()); }

void Sleep(DWORD ms) {
  if (g_manualActive.load(std::memory_order_acquire)) {
    if (ms != INFINITE && ms != 0) {
      g_manualTicks.fetch_add(ms, std::memory_order_acq_rel);
      TimerQueueClockMoved(false);
    }
    std::this_thread::yield();
    return;
  }
  if (ms == INFINITE) {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

ManualClock::ManualClock() : ManualClock(GetTickCount64()) {}

ManualClock::ManualClock(ULONGLONG startMs) {
  {
    std::lock_guard<std::mutex> guard(g_manualSwap);
    previousActive_ = g_manualActive.load();
    previousTicks_ = g_manualTicks.load();
    g_manualTicks.store(startMs);
    g_manualActive.store(true);
  }
  TimerQueueClockMoved(false);
}

ManualClock::~ManualClock() {
  {
    std::lock_guard<std::mutex> guard(g_manualSwap);
    g_manualTicks.store(previousTicks_);
    g_manualActive.store(previousActive_);
  }
  TimerQueueClockMoved(false);
}

void ManualClock::Advance(ULONGLONG ms) {
  g_manualTicks.fetch_add(ms, std::memory_order_acq_rel);
  TimerQueueClockMoved(true);
}

ULONGLONG ManualClock::Now() const { return g_manualTicks.load(std::memory_order_acquire); }
