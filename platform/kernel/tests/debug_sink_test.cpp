#include "platform/kernel/debug_sink.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

TEST(DebugSink, CaptureKeepsChannelsApart) {
  DebugCapture capture;
  OutputDebugStringA("one\t");
  DebugWrite(DebugChannel::Stdout, "out\n");
  OutputDebugStringA(nullptr);
  EXPECT_EQ(capture.Text(), "one\tout\n");
  EXPECT_EQ(capture.Text(DebugChannel::Debugger), "one\t");
  EXPECT_EQ(capture.Text(DebugChannel::Stdout), "out\n");
  EXPECT_EQ(capture.Text(DebugChannel::Stderr), "");
}

TEST(DebugSink, NestedCaptureRestoresOuter) {
  DebugCapture outer;
  {
    DebugCapture inner;
    OutputDebugStringA("inner");
    EXPECT_TRUE(inner.Contains("inner"));
  }
  OutputDebugStringA("outer");
  EXPECT_EQ(outer.Text(), "outer");
}

TEST(DebugSink, ConcurrentWritesStayWhole) {
  DebugCapture capture;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([] {
      for (int i = 0; i < 200; ++i) OutputDebugStringA("abcdefgh|");
    });
  for (auto& t : threads) t.join();
  std::string all = capture.Text();
  ASSERT_EQ(all.size(), 4u * 200u * 9u);
  for (size_t i = 0; i < all.size(); i += 9) EXPECT_EQ(all.compare(i, 9, "abcdefgh|"), 0);
}
