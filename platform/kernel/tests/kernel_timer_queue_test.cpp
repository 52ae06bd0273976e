#include "platform/kernel/kernel_timer_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/kernel/kernel_thread.h"

namespace {
const DWORD kSignalled = WAIT_OBJECT_0;
}

TEST(KernelTimerQueue, FiresOnceInDueOrderOnTheQueueThread) {
  ManualClock clock;
  std::mutex lock;
  std::vector<int> order;
  std::vector<DWORD> threads;
  auto record = [&](int n) {
    return [&, n] {
      std::lock_guard<std::mutex> guard(lock);
      order.push_back(n);
      threads.push_back(GetCurrentThreadId());
    };
  };
  ASSERT_NE(ScheduleTimer(45000, record(3)), 0u);
  ASSERT_NE(ScheduleTimer(15000, record(1)), 0u);
  ASSERT_NE(ScheduleTimer(15000, record(2)), 0u);  // same due time: in scheduling order
  clock.Advance(14999);
  {
    std::lock_guard<std::mutex> guard(lock);
    EXPECT_TRUE(order.empty()) << "fired before its time";
  }
  clock.Advance(1);
  {
    std::lock_guard<std::mutex> guard(lock);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
  }
  clock.Advance(30000);
  clock.Advance(100000);
  std::lock_guard<std::mutex> guard(lock);
  ASSERT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_NE(threads[0], GetCurrentThreadId());
  EXPECT_EQ(threads[0], threads[1]);
  EXPECT_EQ(threads[1], threads[2]);
}

TEST(KernelTimerQueue, RealTimeTimerFires) {
  Event fired(true, false);
  ULONGLONG start = RealTickCount64();
  ASSERT_NE(ScheduleTimer(20, [&] { fired.Set(); }), 0u);
  ASSERT_EQ(fired.Wait(5000), kSignalled);
  EXPECT_GE(RealTickCount64() - start, 19u);
}

TEST(KernelTimerQueue, CancelOfPendingFiredUnknownAndRepeated) {
  ManualClock clock;
  auto token = std::make_shared<int>(0);
  std::weak_ptr<int> watch = token;
  std::atomic<int> runs{0};
  TimerHandle pending = ScheduleTimer(1000, [token, &runs] { ++runs; });
  token.reset();
  TimerHandle fired = ScheduleTimer(10, [&runs] { ++runs; });
  clock.Advance(10);
  EXPECT_EQ(runs.load(), 1);

  EXPECT_TRUE(CancelTimer(pending));
  EXPECT_TRUE(watch.expired()) << "a cancelled callback is destroyed";
  EXPECT_FALSE(CancelTimer(pending)) << "second cancel";
  EXPECT_FALSE(CancelTimer(fired)) << "fired timer";
  EXPECT_FALSE(CancelTimer(0)) << "no timer";
  EXPECT_FALSE(CancelTimer(0xFFFFFFFFFFull)) << "unknown handle";
  CancelTimerAndWait(fired);
  CancelTimerAndWait(0);
  clock.Advance(5000);
  EXPECT_EQ(runs.load(), 1);
  EXPECT_EQ(ScheduleTimer(1, nullptr), 0u);
}

// The HTTP time-out case: the canceller holds the registry lock that the
// running callback wants. CancelTimer must not wait for the callback.
TEST(KernelTimerQueue, CancelWhileCallbackWaitsForCancellersLockDoesNotDeadlock) {
  CriticalSection registry;
  Event entered(true, false);
  std::atomic<bool> finished{false};
  registry.Enter();
  TimerHandle timer = ScheduleTimer(0, [&] {
    entered.Set();
    std::lock_guard<CriticalSection> guard(registry);
    finished = true;
  });
  ASSERT_EQ(entered.Wait(5000), kSignalled);
  EXPECT_FALSE(CancelTimer(timer)) << "already running: cannot be stopped";
  EXPECT_FALSE(finished.load());
  registry.Leave();
  CancelTimerAndWait(timer);  // now waits for the callback to end
  EXPECT_TRUE(finished.load());
}

TEST(KernelTimerQueue, CancelAndWaitReturnsOnlyAfterTheCallback) {
  Event entered(true, false);
  Event release(true, false);
  std::atomic<bool> finished{false};
  TimerHandle timer = ScheduleTimer(0, [&] {
    entered.Set();
    release.Wait(5000);
    finished = true;
  });
  ASSERT_EQ(entered.Wait(5000), kSignalled);
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    release.Set();
  });
  CancelTimerAndWait(timer);
  EXPECT_TRUE(finished.load());
  releaser.join();
}

TEST(KernelTimerQueue, CallbackMayCancelItselfAndScheduleMore) {
  Event done(true, false);
  std::atomic<TimerHandle> self{0};
  std::atomic<bool> secondRan{false};
  Event scheduled(true, false);
  TimerHandle timer = ScheduleTimer(0, [&] {
    scheduled.Wait(5000);
    CancelTimerAndWait(self.load());  // never waits for itself
    ScheduleTimer(0, [&] {
      secondRan = true;
      done.Set();
    });
  });
  self = timer;
  scheduled.Set();
  ASSERT_EQ(done.Wait(5000), kSignalled);
  EXPECT_TRUE(secondRan.load());
}

// Many threads schedule and cancel: every timer either runs exactly once or
// is reported cancelled, never both, never neither.
TEST(KernelTimerQueue, ConcurrentScheduleAndCancelAccountForEveryTimer) {
  constexpr int kThreads = 4, kPerThread = 200;
  std::vector<std::unique_ptr<std::atomic<int>>> runs;
  for (int i = 0; i < kThreads * kPerThread; ++i) runs.push_back(std::make_unique<std::atomic<int>>(0));
  std::vector<std::vector<TimerHandle>> handles(kThreads);
  std::vector<std::vector<bool>> cancelled(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        std::atomic<int>* counter = runs[t * kPerThread + i].get();
        handles[t].push_back(ScheduleTimer(i % 3, [counter] { ++*counter; }));
        if (i % 2 == 0) std::this_thread::yield();
      }
      for (int i = 0; i < kPerThread; ++i) cancelled[t].push_back(CancelTimer(handles[t][i]));
    });
  for (auto& t : threads) t.join();
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kPerThread; ++i) CancelTimerAndWait(handles[t][i]);
  Sleep(5);  // anything not cancelled is due by now
  Event drained(true, false);
  ScheduleTimer(5, [&] { drained.Set(); });
  ASSERT_EQ(drained.Wait(5000), kSignalled);
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kPerThread; ++i) {
      int ran = runs[t * kPerThread + i]->load();
      EXPECT_EQ(ran + (cancelled[t][i] ? 1 : 0), 1) << "timer " << t << "/" << i;
    }
}

// Code under test that sleeps (the transport's receive retries) moves a
// manual clock, and the time-outs it passes fire.
TEST(KernelTimerQueue, SleepUnderManualClockFiresDueTimers) {
  ManualClock clock;
  Event fired(true, false);
  ScheduleTimer(15000, [&] { fired.Set(); });
  for (int i = 0; i < 149; ++i) Sleep(100);
  EXPECT_EQ(fired.Wait(20), static_cast<DWORD>(WAIT_TIMEOUT));
  Sleep(100);
  EXPECT_EQ(fired.Wait(5000), kSignalled);
}
