#include "foundation/debug_trace.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/debug_sink.h"

namespace {

TEST(DebugTrace, FormatsAndAppendsATab) {
  DebugCapture capture;
  DebugPrintf("conn %d: %s", 7, "closed");
  DebugPrintf("%s", "");
  EXPECT_EQ(capture.Text(DebugChannel::Debugger), "conn 7: closed\t\t");
  EXPECT_EQ(capture.Text(DebugChannel::Stderr), "");
}

TEST(DebugTrace, LongTextIsCutWithinTheBuffer) {
  DebugCapture capture;
  const std::string longText(50000, 'x');
  DebugPrintf("%s", longText.c_str());
  const std::string line = capture.Text();
  ASSERT_EQ(line.size(), static_cast<size_t>(kDebugLineSize - 1));
  EXPECT_EQ(line.back(), '\t');
  EXPECT_EQ(line.find_first_not_of('x'), line.size() - 1);

  capture.Clear();
  const std::string exact(kDebugLineSize - 2, 'y');
  DebugPrintf("%s", exact.c_str());
  EXPECT_EQ(capture.Text(), exact + "\t") << "the longest text that fits is kept whole";
}

TEST(DebugTrace, ManyThreadsAtOnce) {
  DebugCapture capture;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 50; ++i) DebugPrintf("thread %d line %d", t, i);
    });
  }
  for (auto& th : threads) th.join();
  const std::string all = capture.Text();
  size_t lines = 0;
  for (char c : all) lines += c == '\t';
  EXPECT_EQ(lines, 400u);
  EXPECT_NE(all.find("thread 7 line 49\t"), std::string::npos);
}

}  // namespace
