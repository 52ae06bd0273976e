#include "addin/collections.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <thread>
#include <vector>

#include "addin/tests/report_recorder.h"

TEST(PlexBlock, ChainLinksNewestFirstAndFreesAll) {
  PlexBlock* chain = nullptr;
  PlexBlock* first = AllocPlexBlock(&chain, 4, 16);
  PlexBlock* second = AllocPlexBlock(&chain, 2, 8);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(chain, second);
  EXPECT_EQ(second->previous, first);
  EXPECT_EQ(first->previous, nullptr);
  static_cast<char*>(first->Data())[63] = 1;  // the whole room is usable
  EXPECT_EQ(AllocPlexBlock(&chain, SIZE_MAX / 2, 4), nullptr);  // size overflow
  EXPECT_EQ(chain, second);
  FreePlexChain(chain);
  FreePlexChain(nullptr);
}

TEST(PtrNodeList, FifoOrderAndEmptying) {
  PtrNodeList list;
  list.Init(3);
  int values[5];
  for (int& v : values) ASSERT_NE(list.AddTail(&v), nullptr);
  EXPECT_EQ(list.GetCount(), 5);
  // Nodes of one block come in address order.
  EXPECT_LT(list.GetHead(), list.GetHead()->next);
  for (int& v : values) EXPECT_EQ(list.RemoveHead(), &v);
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(list.RemoveHead(), nullptr);  // empty: nothing, no crash
  list.AddTail(&values[0]);
  list.RemoveAll();
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.GetHead(), nullptr);
}

TEST(FixedItemPool, OneBlockOf128BeforeASecond) {
  FixedItemPool pool;
  pool.Init(1, 128, 24, true);
  EXPECT_EQ(pool.GetBlockCount(), 1);
  std::vector<void*> items;
  for (int i = 0; i < 128; ++i) items.push_back(pool.Alloc());
  EXPECT_EQ(pool.GetBlockCount(), 1);
  // Handed out in address order, 24 bytes apart.
  for (int i = 1; i < 128; ++i)
    EXPECT_EQ(static_cast<char*>(items[i]) - static_cast<char*>(items[i - 1]), 24);
  items.push_back(pool.Alloc());
  EXPECT_EQ(pool.GetBlockCount(), 2);
  EXPECT_EQ(std::set<void*>(items.begin(), items.end()).size(), items.size());
  for (void* item : items) pool.Free(item);
}

TEST(FixedItemPool, FreedItemsComeBackFirstInFirstOut) {
  FixedItemPool pool;
  pool.Init(1, 4, 8, true);
  void* items[4];
  for (void*& item : items) item = pool.Alloc();
  pool.Free(items[2]);  // A
  pool.Free(items[0]);  // B
  EXPECT_EQ(pool.Alloc(), items[2]);
  EXPECT_EQ(pool.Alloc(), items[0]);
  pool.Free(nullptr);  // ignored
  for (void* item : items) pool.Free(item);
}

TEST(FixedItemPool, NotPooledUsesTheHeap) {
  FixedItemPool pool;
  pool.Init(3, 128, 40, false);
  EXPECT_EQ(pool.GetBlockCount(), 0);
  void* a = pool.Alloc();
  void* b = pool.Alloc();
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(pool.GetBlockCount(), 0);
  pool.Free(a);
  pool.Free(b);
}

TEST(FixedItemPool, FailedBlocksAreReported) {
  ReportRecorder recorder;
  FixedItemPool pool;
  pool.Init(1, 4, SIZE_MAX / 2, true);  // no block of that size can be made
  EXPECT_EQ(pool.Alloc(), nullptr);
  ASSERT_EQ(recorder.reports().size(), 2u);
  EXPECT_EQ(recorder.reports()[0].text, "FILE:Kelvra\\src\\collection\\coll LINE:179 EXCEPTION: pBlock!=NULL");
  EXPECT_EQ(recorder.reports()[1].text, "FILE:Kelvra\\src\\collection\\coll LINE:207 EXCEPTION: pBlock!=NULL");
}

TEST(FixedItemPool, ConcurrentAllocAndFree) {
  FixedItemPool pool;
  pool.Init(1, 16, sizeof(std::uint64_t), true);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&pool, t] {
      std::vector<std::uint64_t*> mine;
      for (int round = 0; round < 200; ++round) {
        for (int i = 0; i < 10; ++i) {
          auto* item = static_cast<std::uint64_t*>(pool.Alloc());
          ASSERT_NE(item, nullptr);
          *item = static_cast<std::uint64_t>(t) << 32 | static_cast<unsigned>(i);
          mine.push_back(item);
        }
        for (auto* item : mine) {
          EXPECT_EQ(*item >> 32, static_cast<std::uint64_t>(t));  // nobody else got it
          pool.Free(item);
        }
        mine.clear();
      }
    });
  for (auto& th : threads) th.join();
}
