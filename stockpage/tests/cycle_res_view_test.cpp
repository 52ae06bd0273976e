// The cycle view against simbroker's market-data server through the real
// engine: its nine requests, every cell drawn for 600000, the selection
// table, click and double click with the command posted to the page, and
// pushes while the UI thread resizes and finally destroys the view.
#include "stockpage/cycle_res_view.h"

#include <QImage>

#include <algorithm>
#include <filesystem>
#include <set>

#include "marketdata/request_builders.h"
#include "marketdata/tests/loopback_test_support.h"
#include "platform/window/win_desktop.h"
#include "stockpage/tests/board_test_support.h"
#include "stockpage/tests/popups_test_support.h"

using namespace popup_test;

namespace {

// Pixels of the cell's picture that are not the black background.
int DrawnPixels(const QImage& img) {
  int n = 0;
  for (int y = 0; y < img.height(); y += 2)
    for (int x = 0; x < img.width(); x += 2)
      if ((img.pixel(x, y) & 0xFFFFFF) != 0) ++n;
  return n;
}

void UseDayHours(QuoteEngine* engine) {
  engine->tradingHours.count = 1;
  engine->tradingHours.entries[0] = {930, 1130, 1300, 1500, 0, 0, 1, 1130, 242};
}

class CycleViewTest : public engine_test::LoopbackFixture {
 protected:
  void Serve(int pushMs) {
    simbroker::MarketServerOptions options;
    options.pushIntervalMs = pushMs;
    server = std::make_unique<simbroker::MarketDataServer>(options);
    ASSERT_TRUE(server->Start());
    UseOwner(&owner);
    Connect();
    ASSERT_TRUE(owner.WaitFor([&] { return owner.readyEvents > 0; }));
    UseDayHours(engine);
    desk = std::make_unique<TestDesktop>();
    board_test::UseProgramFonts();
    ASSERT_TRUE(page.Make(0, 0, 912, 612));
    view = std::make_unique<CCycleResView>();
    view->SetEngine(engine);
    ASSERT_TRUE(view->Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 912, 612), &page, 0));
    desk->RunUntilIdle();
  }
  void TearDown() override {
    view.reset();
    CloseQuoteConnection(engine);
    if (server) server->Stop();
    if (page.m_hWnd) page.DestroyWindow();
    desk.reset();
    engine_test::LoopbackFixture::TearDown();
  }
  StockKey Key() { return MakeStockKey("600000", 1, 2, 2); }
  bool AllCellsDrawn() {
    for (int i = 0; i < CCycleResView::kCells; ++i)
      if (!view->CellHasData(i) || DrawnPixels(desk->Snapshot(view->Cell(i).m_hWnd)) < 200) return false;
    return true;
  }
  std::vector<simbroker::JournalEntry> Requests(int type) {
    std::vector<simbroker::JournalEntry> out;
    for (const auto& e : server->Journal())
      if (e.type == type) out.push_back(e);
    return out;
  }

  engine_test::LoopbackOwner owner;
  std::unique_ptr<TestDesktop> desk;
  FrameStandIn page;
  std::unique_ptr<CCycleResView> view;
};

TEST_F(CycleViewTest, NineRequestsFillNineCells) {
  Serve(100);
  view->ShowStock(Key());
  ASSERT_TRUE(desk->RunUntil([&] { return AllCellsDrawn(); }, engine_test::kLoopbackWaitMs));
  const auto minute = Requests(48);
  ASSERT_EQ(minute.size(), 1u);
  EXPECT_EQ(minute[0].parsed.code, "600000");
  EXPECT_EQ(minute[0].parameter, 1);
  const auto bars = Requests(49);
  ASSERT_EQ(bars.size(), 8u);
  std::set<int64_t> periods;
  for (const auto& b : bars) {
    EXPECT_EQ(b.parameter, 1);
    EXPECT_EQ(b.parsed.code, "600000");
    ASSERT_GE(b.parsed.numbers.size(), 4u);
    periods.insert(b.parsed.numbers[0]);
    EXPECT_NE(std::find(b.parsed.numbers.begin(), b.parsed.numbers.end(), 100), b.parsed.numbers.end());
  }
  EXPECT_EQ(periods, (std::set<int64_t>{33, 34, 35, 36, 37, 38, 39, 40}));
  for (int i = 0; i < CCycleResView::kCells; ++i) EXPECT_NE(view->Handle(i), 0) << i;

  const std::string folder = std::string(ORV_BINARY_DIR) + "/stockpage_snapshots";
  std::filesystem::create_directories(folder);
  view->MoveSelection(VK_RIGHT);
  desk->RunUntilIdle();
  desk->SavePng(page.m_hWnd, folder + "/cycle_view.png");

  // A second stock cancels the nine requests of the first.
  view->ShowStock(MakeStockKey("600036", 1, 2, 2));
  EXPECT_TRUE(desk->RunUntil(
      [&] {
        int cancels = 0;
        for (const auto& e : server->Journal()) cancels += e.type == 17 && e.sequence == 1;
        return cancels >= 9;
      },
      engine_test::kLoopbackWaitMs));
}

TEST_F(CycleViewTest, SelectionMovesWithinTheGrid) {
  Serve(0);
  const struct {
    int from;
    UINT key;
    int to;
  } cases[] = {
      {8, VK_RIGHT, 8}, {6, VK_DOWN, 6}, {7, VK_DOWN, 7}, {8, VK_DOWN, 8}, {0, VK_UP, 0},
      {1, VK_UP, 1},    {2, VK_UP, 2},   {0, VK_LEFT, 0}, {4, VK_LEFT, 3}, {4, VK_UP, 1},
      {4, VK_RIGHT, 5}, {4, VK_DOWN, 7}, {2, VK_RIGHT, 3}, {3, VK_LEFT, 2}, {4, VK_RETURN, 4},
  };
  for (const auto& c : cases) {
    view->Clear();
    while (view->GetSelectedCell() < c.from) view->MoveSelection(VK_RIGHT);
    ASSERT_EQ(view->GetSelectedCell(), c.from);
    view->MoveSelection(c.key);
    EXPECT_EQ(view->GetSelectedCell(), c.to) << c.from << " key " << c.key;
    CRect cell;
    view->Cell(c.to).GetWindowRect(&cell);
    view->ScreenToClient(&cell);
    cell.InflateRect(2, 2);
    EXPECT_EQ(view->SelectionRect(), cell);
  }
  // The frame shows in the selection colour, 2 pixels round the cell.
  desk->RunUntilIdle();
  const QImage shot = desk->Snapshot(view->m_hWnd);
  const CRect sel = view->SelectionRect();
  EXPECT_EQ(board_test::PixelRgb(shot, sel.left, sel.top + 20), 0x08306Bu);
  EXPECT_EQ(board_test::PixelRgb(shot, 1, 1), 0u);
}

TEST_F(CycleViewTest, ClicksSelectAndDoubleClicksSwitchThePage) {
  Serve(100);
  view->ShowStock(Key());
  ASSERT_TRUE(desk->RunUntil([&] { return view->Handle(8) != 0; }));
  HWND focus = ::GetFocus();
  desk->Click(view->Cell(5).m_hWnd, 30, 30);
  desk->RunUntilIdle();
  EXPECT_EQ(view->GetSelectedCell(), 5);
  EXPECT_EQ(::GetFocus(), focus);

  const struct {
    int cell;
    WPARAM command;
  } cases[] = {{4, 7236}, {0, 7002}, {8, 7240}, {1, 7233}};
  for (const auto& c : cases) {
    page.heard.clear();
    view->ShowStock(Key());
    desk->Advance(600);
    desk->DoubleClick(view->Cell(c.cell).m_hWnd, 40, 40);
    desk->RunUntilIdle();
    const auto commands = page.Of(WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u) << c.cell;
    EXPECT_EQ(commands[0].wParam, c.command);
    EXPECT_EQ(commands[0].lParam, 1001);
    for (int i = 0; i < CCycleResView::kCells; ++i) EXPECT_EQ(view->Handle(i), 0);
    EXPECT_EQ(view->GetSelectedCell(), 0);
  }
}

TEST_F(CycleViewTest, PushesWhileTheUiThreadResizesAndDestroys) {
  Serve(10);
  view->ShowStock(Key());
  ASSERT_TRUE(desk->RunUntil([&] { return AllCellsDrawn(); }, engine_test::kLoopbackWaitMs));
  for (int i = 0; i < 40; ++i) {
    const int w = 600 + (i % 5) * 60, h = 400 + (i % 3) * 50;
    view->MoveWindow(0, 0, w, h);
    view->MoveSelection(i % 2 ? VK_RIGHT : VK_DOWN);
    view->UpdateWindow();
    desk->RunUntilIdle();
  }
  EXPECT_TRUE(desk->RunUntil([&] { return AllCellsDrawn(); }, engine_test::kLoopbackWaitMs));
  view->DestroyWindow();
  view.reset();  // no callback may reach the freed view while pushes continue
  desk->RunUntilIdle();
}

}  // namespace
