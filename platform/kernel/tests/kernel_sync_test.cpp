#include "platform/kernel/kernel_sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/kernel/kernel_clock.h"

TEST(KernelCriticalSection, RecursiveEntryHoldsUntilLastLeave) {
  CriticalSection cs;
  cs.Enter();
  cs.Enter();  // the owner enters again without blocking
  auto otherTries = [&] {
    bool got = false;
    std::thread([&] {
      got = cs.TryEnter();
      if (got) cs.Leave();
    }).join();
    return got;
  };
  EXPECT_FALSE(otherTries());
  cs.Leave();
  EXPECT_FALSE(otherTries()) << "one level is still held";
  cs.Leave();
  EXPECT_TRUE(otherTries());
}

TEST(KernelCriticalSection, GuardsCountersAcrossThreads) {
  CriticalSection cs;
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) {
        std::lock_guard<CriticalSection> outer(cs);
        std::lock_guard<CriticalSection> inner(cs);
        ++counter;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 8000);
}

TEST(KernelEvent, AutoResetLetsOneWaiterThroughPerSet) {
  Event event(false, false);
  std::atomic<int> passed{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i)
    waiters.emplace_back([&] {
      if (event.Wait(5000) == static_cast<DWORD>(WAIT_OBJECT_0)) ++passed;
    });
  for (int k = 1; k <= 3; ++k) {
    event.Set();
    ULONGLONG start = RealTickCount64();
    while (passed.load() < k && RealTickCount64() - start < 5000) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(passed.load(), k) << "one Set, one waiter";
  }
  for (auto& t : waiters) t.join();
  EXPECT_EQ(event.Wait(0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the last waiter cleared it";
}

TEST(KernelEvent, ManualResetStaysSetUntilReset) {
  struct Case {
    const char* name;
    bool manual;
    bool initially;
    DWORD first, second;
  };
  const DWORD ok = WAIT_OBJECT_0, timeout = WAIT_TIMEOUT;
  const Case cases[] = {
      {"manual set", true, true, ok, ok},
      {"auto set", false, true, ok, timeout},
      {"manual clear", true, false, timeout, timeout},
  };
  for (const Case& c : cases) {
    Event event(c.manual, c.initially);
    EXPECT_EQ(event.Wait(0), c.first) << c.name;
    EXPECT_EQ(event.Wait(1), c.second) << c.name;
  }
  Event manual(true, true);
  manual.Reset();
  EXPECT_EQ(manual.Wait(0), timeout);
}

TEST(KernelEvent, SetWakesAllWaitersOfManualEvent) {
  Event event(true, false);
  std::atomic<int> passed{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i)
    waiters.emplace_back([&] {
      if (event.Wait(INFINITE) == static_cast<DWORD>(WAIT_OBJECT_0)) ++passed;
    });
  event.Set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(passed.load(), 3);
}

TEST(KernelEvent, TimedWaitReturnsAfterItsTime) {
  Event event(false, false);
  ULONGLONG start = RealTickCount64();
  EXPECT_EQ(event.Wait(30), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_GE(RealTickCount64() - start, 29u);
}
