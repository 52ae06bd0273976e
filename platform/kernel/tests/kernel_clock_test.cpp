#include "platform/kernel/kernel_clock.h"

#include <gtest/gtest.h>

TEST(KernelClock, RealTicksMoveForwardWithSleep) {
  ULONGLONG before = GetTickCount64();
  Sleep(20);
  ULONGLONG after = GetTickCount64();
  EXPECT_GE(after - before, 19u);
  EXPECT_LT(after - before, 5000u);
}

TEST(KernelClock, ManualClockMovesOnlyWhenDriven) {
  ManualClock clock(1000);
  EXPECT_EQ(GetTickCount64(), 1000u);
  clock.Advance(250);
  EXPECT_EQ(GetTickCount64(), 1250u);
  ULONGLONG realBefore = RealTickCount64();
  Sleep(10000);  // returns at once, the clock moves by the sleep
  EXPECT_EQ(GetTickCount64(), 11250u);
  EXPECT_LT(RealTickCount64() - realBefore, 1000u);
  Sleep(0);
  EXPECT_EQ(clock.Now(), 11250u);
}

// The 32-bit tick wraps after 49.7 days; the 64-bit one, which our own
// arithmetic uses, does not.
TEST(KernelClock, SixtyFourBitTicksDoNotWrapWhereThirtyTwoBitOnesDo) {
  ManualClock clock(0xFFFFFF00ull);
  ULONGLONG start64 = GetTickCount64();
  DWORD start32 = GetTickCount();
  clock.Advance(0x200);
  EXPECT_EQ(GetTickCount64() - start64, 0x200u);
  EXPECT_LT(GetTickCount(), start32) << "the low 32 bits wrapped";
  EXPECT_EQ(static_cast<DWORD>(GetTickCount() - start32), 0x200u);
}

TEST(KernelClock, NestedManualClocksRestoreTheOuterOne) {
  ManualClock outer(500);
  {
    ManualClock inner(9000);
    EXPECT_EQ(GetTickCount64(), 9000u);
  }
  EXPECT_EQ(GetTickCount64(), 500u);
}

TEST(KernelClock, RealClockReturnsAfterManualClockEnds) {
  { ManualClock clock(5); }
  ULONGLONG real = RealTickCount64();
  ULONGLONG ticks = GetTickCount64();
  EXPECT_LE(ticks - real, 1000u);
}
