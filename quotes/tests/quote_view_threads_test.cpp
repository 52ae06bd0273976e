// The quote view while simbroker pushes every 10 ms: page switches, stocks
// opened, browsing, drops and reconnections on the UI thread, and a board
// holding a standing subscription in the push slot of the tickers. Run under
// ThreadSanitizer by test.sh.
#include <cstdlib>
#include <cstring>

#include "marketdata/request_builders.h"
#include "quotes/tests/quote_view_test_support.h"

namespace quoteview_test {
namespace {

class QuoteViewThreads : public QuoteViewFixture {};

// A board of another page: a standing subscription of "600000" in the
// stock-list slot the tickers use, counting its replies.
struct StandingBoard {
  std::atomic<int> replies{0};
  static void OnReply(void* owner, PendingRequest*) { ++static_cast<StandingBoard*>(owner)->replies; }
};

TEST_F(QuoteViewThreads, PushesWhileTheUiThreadWorks) {
  WriteDefaultFiles();
  simbroker::MarketServerOptions options;
  options.pushIntervalMs = 10;
  auto* server = StartServer(options);
  ASSERT_NE(server, nullptr);
  MakeWindows(server->Port());
  ASSERT_TRUE(ConnectAndWaitForTickers());

  StandingBoard board;
  const char entry[7] = {'6', '0', '0', '0', '0', '0', 1};
  ASSERT_NE(RequestStockListQuotes(view->Engine(), StandingBoard::OnReply, &board, entry, 7, 0, 1, 1), 0);
  ASSERT_TRUE(WaitFor([&] { return board.replies.load() >= 3; }));

  StockListInfo* info = EngineStockListInfo(view->Engine());
  for (int round = 0; round < 6; ++round) {
    view->ShowRankPage(-1, -1);
    desk.RunUntilIdle();
    ASSERT_TRUE(PostShowStock(view->m_hWnd, 1, MakeStockKey("600036", 1, 2, 2)));
    auto payload = std::make_unique<StockListPayload>();
    payload->keys = {MakeStockKey("600000", 1, 2), MakeStockKey("600036", 1, 2), MakeStockKey("000001", 2, 2)};
    info->kind = 2;
    info->currentIndex = 1;
    ASSERT_TRUE(PostStockList(view->m_hWnd, info, std::move(payload)));
    desk.RunUntilIdle();
    view->SendMessage(WM_KEY_COMMAND, 0, 34);
    view->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    view->SendMessage(WM_KEY_COMMAND, 0, 40114);
    view->ShowQuoteTable();
    view->ShowPoolPage(1);
    desk.RunUntil([] { return false; }, 30);
    // The tickers only ever show the two indices, never the board's stock.
    std::string shanghai;
    for (char16_t c : status_->GetShanghaiText(1)) shanghai += static_cast<char>(c);
    EXPECT_GT(std::atof(shanghai.c_str()), 1000.0) << "round " << round << ": " << shanghai;
    if (round == 2) {
      server->DropConnections();
      ASSERT_TRUE(WaitFor([&] { return view->TryCount() == 1; }));
      desk.Advance(1000);
      ASSERT_TRUE(WaitFor([&] { return view->TryCount() == 0 && status_->GetStatusText() != u"连接断开"; }));
    }
  }
  const int before = board.replies.load();
  ASSERT_TRUE(WaitFor([&] { return board.replies.load() > before; }));  // still pushed after the reconnection
}

}  // namespace
}  // namespace quoteview_test
