#include "platform/kernel/kernel_global_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "platform/kernel/debug_sink.h"

namespace {

bool AllZero(const void* data, size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i)
    if (p[i] != 0) return false;
  return true;
}

}  // namespace

TEST(GlobalMemory, ZeroInitLockCountsAndFree) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 4096);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GlobalSize(h), 4096u);
  void* p = GlobalLock(h);
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(AllZero(p, 4096));
  EXPECT_EQ(GlobalLock(h), p);          // second lock, same address
  EXPECT_EQ(GlobalUnlock(h), TRUE);     // still locked once
  EXPECT_EQ(GlobalUnlock(h), FALSE);    // now unlocked
  EXPECT_EQ(GlobalUnlock(h), FALSE);    // unlocking an unlocked block is harmless
  EXPECT_EQ(GlobalFree(h), nullptr);
  EXPECT_EQ(GlobalFree(nullptr), nullptr);
}

TEST(GlobalMemory, FixedBlocksAreRefused) {
  DebugCapture capture;
  EXPECT_EQ(GlobalAlloc(GMEM_FIXED, 16), nullptr);
  EXPECT_EQ(GlobalAlloc(GMEM_ZEROINIT, 16), nullptr);
  EXPECT_TRUE(capture.Contains("GlobalAlloc:"));
}

TEST(GlobalMemory, ZeroSizeBlockLocksToNull) {
  HGLOBAL h = GlobalAlloc(GHND, 0);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GlobalSize(h), 0u);
  EXPECT_EQ(GlobalLock(h), nullptr);
  EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(GlobalMemory, ReAllocKeepsHandleAndContents) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 64);
  ASSERT_NE(h, nullptr);
  auto* p = static_cast<unsigned char*>(GlobalLock(h));
  for (int i = 0; i < 64; ++i) p[i] = static_cast<unsigned char>(i + 1);
  GlobalUnlock(h);

  // Shrinking keeps the handle and the leading bytes.
  EXPECT_EQ(GlobalReAlloc(h, 16, GMEM_MOVEABLE), h);
  EXPECT_EQ(GlobalSize(h), 16u);
  p = static_cast<unsigned char*>(GlobalLock(h));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(p[i], i + 1);
  GlobalUnlock(h);

  // Growing with zero-init: old bytes kept, new bytes zero.
  EXPECT_EQ(GlobalReAlloc(h, 1 << 20, GMEM_MOVEABLE | GMEM_ZEROINIT), h);
  EXPECT_EQ(GlobalSize(h), size_t{1} << 20);
  p = static_cast<unsigned char*>(GlobalLock(h));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(p[i], i + 1);
  EXPECT_TRUE(AllZero(p + 16, (1 << 20) - 16));
  GlobalUnlock(h);
  EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(GlobalMemory, ReAllocFailuresLeaveBlockUnchanged) {
  HGLOBAL h = GlobalAlloc(GHND, 32);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GlobalReAlloc(h, 64, 0), nullptr);  // growth needs GMEM_MOVEABLE
  EXPECT_EQ(GlobalReAlloc(h, 0, GMEM_MOVEABLE), nullptr);  // no discarding
  EXPECT_EQ(GlobalSize(h), 32u);
  EXPECT_EQ(GlobalReAlloc(h, 8, 0), h);  // shrinking in place is allowed
  EXPECT_EQ(GlobalSize(h), 8u);
  EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(GlobalMemory, StaleAndForeignHandlesAreRefused) {
  DebugCapture capture;
  HGLOBAL h = GlobalAlloc(GHND, 8);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(GlobalFree(h), nullptr);
  // A later block never gets the freed handle back.
  HGLOBAL other = GlobalAlloc(GHND, 8);
  EXPECT_NE(other, h);

  int local = 0;
  for (HGLOBAL bad : {h, static_cast<HGLOBAL>(&local)}) {
    EXPECT_EQ(GlobalLock(bad), nullptr);
    EXPECT_EQ(GlobalUnlock(bad), FALSE);
    EXPECT_EQ(GlobalReAlloc(bad, 16, GMEM_MOVEABLE), nullptr);
    EXPECT_EQ(GlobalSize(bad), 0u);
    EXPECT_EQ(GlobalFree(bad), bad);
  }
  EXPECT_TRUE(capture.Contains("GlobalFree: invalid handle"));
  EXPECT_EQ(GlobalFree(other), nullptr);
}

TEST(GlobalMemory, ConcurrentAllocationsStayApart) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) {
        HGLOBAL h = GlobalAlloc(GHND, 32);
        ASSERT_NE(h, nullptr);
        auto* p = static_cast<unsigned char*>(GlobalLock(h));
        std::memset(p, t + 1, 32);
        GlobalUnlock(h);
        ASSERT_EQ(GlobalReAlloc(h, 64, GMEM_MOVEABLE | GMEM_ZEROINIT), h);
        p = static_cast<unsigned char*>(GlobalLock(h));
        EXPECT_EQ(p[31], t + 1);
        EXPECT_EQ(p[32], 0);
        GlobalUnlock(h);
        ASSERT_EQ(GlobalFree(h), nullptr);
      }
    });
  for (auto& th : threads) th.join();
}
