// A worker standing in for the network thread feeds the board freshly
// decoded simbroker records while the UI thread paints and resizes; the
// worker rewrites its source records after every call (the engine reusing
// its result areas), so only the board's copies may be painted.
#include "stockpage/tests/board_test_support.h"

#include <atomic>
#include <cstdio>
#include <thread>

using namespace board_test;

namespace {

class BoardThreads : public ViewFixture<RecordingPriceView> {};

TEST_F(BoardThreads, WorkerFeedsWhileTheUiPaints) {
  Make(202, 226);
  simbroker::MarketData data(5);
  constexpr int kRounds = 300;
  std::atomic<int> done{0};
  std::atomic<bool> failed{false};
  float lastAsk = 0;
  std::thread worker([&] {
    auto table = std::make_unique<FieldTableArea>();
    QuoteRecord quote{};
    for (int i = 0; i < kRounds; ++i) {
      data.Step();
      if (!DecodeSimQuote(data, "600000", 1, &quote) || !DecodeSimIndexTable(data, table.get())) failed = true;
      view->SetQuote(&quote);
      view->SetIndexTable(table.get());
      lastAsk = quote.askPrice1;
      std::memset(&quote, 0xA5, sizeof quote);  // the area is rewritten
      table->recordsHeld = 0x7FFF;
      done = i + 1;
    }
  });
  int size = 0;
  while (done < kRounds) {
    view->SetWindowPos(nullptr, 0, 0, 190 + size % 20, 200 + size % 26, SWP_NOZORDER);
    ++size;
    view->Invalidate();
    desk->RunUntilIdle();
  }
  worker.join();
  EXPECT_FALSE(failed);
  view->SetWindowPos(nullptr, 0, 0, 202, 226, SWP_NOZORDER);
  const std::vector<TextCall> calls = Calls();
  char expected[32];
  std::snprintf(expected, sizeof expected, "%.2f", lastAsk);
  bool found = false;
  for (const TextCall& c : calls)
    if (c.rect.top == 26 + 4 * 20 && c.alignment == 1) found = Utf8(c.text) == expected;
  EXPECT_TRUE(found) << "the final paint shows the last copy: " << expected;
  EXPECT_TRUE(Find(calls, u"600000  浦发银行"));
}

}  // namespace
