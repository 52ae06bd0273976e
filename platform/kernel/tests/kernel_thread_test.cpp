#include "platform/kernel/kernel_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <set>
#include <vector>

#include "platform/kernel/kernel_sync.h"

TEST(KernelThread, IdsAreNonZeroStableAndDistinct) {
  DWORD mine = GetCurrentThreadId();
  EXPECT_NE(mine, 0u);
  EXPECT_EQ(GetCurrentThreadId(), mine);
  std::set<DWORD> seen{mine};
  std::vector<Thread> threads(4);
  std::vector<DWORD> ids(4);
  for (size_t i = 0; i < threads.size(); ++i) threads[i].Start([&ids, i] { ids[i] = GetCurrentThreadId(); });
  for (size_t i = 0; i < threads.size(); ++i) {
    threads[i].Join();
    EXPECT_EQ(ids[i], threads[i].Id());
    EXPECT_TRUE(seen.insert(ids[i]).second) << "id reused: " << ids[i];
  }
}

// The system's workers: the record and its running flag are ready before the
// thread starts, and the thread frees the record itself.
TEST(KernelThread, DetachedWorkerSeesRunningFlagAndFreesItsRecord) {
  struct Record {
    std::atomic<bool> running{false};
    std::shared_ptr<int> owned = std::make_shared<int>(1);
  };
  Event done(true, false);
  std::atomic<bool> sawRunning{false};
  std::atomic<DWORD> seenId{0};
  auto* record = new Record;
  std::weak_ptr<int> watch = record->owned;
  record->running = true;
  DWORD id = 0;
  ASSERT_TRUE(StartThread(
      [record, &done, &sawRunning, &seenId] {
        sawRunning = record->running.load();
        seenId = GetCurrentThreadId();
        delete record;
        done.Set();
      },
      &id));
  ASSERT_EQ(done.Wait(5000), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_TRUE(sawRunning.load());
  EXPECT_NE(id, 0u);
  EXPECT_EQ(seenId.load(), id);
  EXPECT_TRUE(watch.expired());
}

TEST(KernelThread, StartRefusesEmptyBodyAndSecondStart) {
  EXPECT_FALSE(StartThread(nullptr));
  Thread thread;
  EXPECT_FALSE(thread.Start(nullptr));
  Event release(true, false);
  ASSERT_TRUE(thread.Start([&] { release.Wait(INFINITE); }));
  EXPECT_TRUE(thread.Joinable());
  EXPECT_FALSE(thread.Start([] {}));
  release.Set();
  thread.Join();
  EXPECT_FALSE(thread.Joinable());
}

TEST(KernelThread, BodyCapturesDieOnTheThread) {
  auto token = std::make_shared<int>(7);
  std::weak_ptr<int> watch = token;
  Thread thread;
  ASSERT_TRUE(thread.Start([token = std::move(token)] { EXPECT_EQ(*token, 7); }));
  thread.Join();
  EXPECT_TRUE(watch.expired());
}
