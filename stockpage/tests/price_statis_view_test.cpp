// The price statistics panel: page size, scrolling (the position kept,
// clamped and reset, the bar shown and hidden on the UI thread only), the
// bars and their split, the index case, and feeding from another thread.
#include "controls/control_messages.h"
#include "stockpage/tests/panels_test_support.h"

#include <atomic>
#include <thread>

using namespace board_test;
using namespace panel_test;

namespace {

std::unique_ptr<PriceStatArea> Levels(int n, int64_t largest = 1000) {
  auto area = std::make_unique<PriceStatArea>();
  area->key = Key("600000", "浦发银行", 1);
  area->referencePrice = 10.0f;
  area->largestVolume = largest;
  area->totalVolume = largest * 2;
  area->levelCount = n;
  for (int i = 0; i < n; ++i)
    area->levels[i] = PriceLevel{9.9f + i * 0.01f, largest / 2, largest / 4, 0.25f, 0.5f};
  return area;
}

class PriceStatis : public PanelFixture<Recording<CPriceStatisView>> {
 protected:
  bool BarShown() {
    return (::GetWindowLongPtrW(view->ScrollBar().m_hWnd, GWL_STYLE) & WS_VISIBLE) != 0;
  }
  void Scroll(int code, int pos = 0) {
    view->SendMessage(WM_VSCROLL, MAKEWPARAM(code, pos), reinterpret_cast<LPARAM>(view->ScrollBar().m_hWnd));
    desk->RunUntilIdle();
  }
};

TEST_F(PriceStatis, PageSizeFollowsTheHeight) {
  Make(300, 54 + 26 * 3);
  for (int k : {0, 1, 5, 12}) {
    view->SetWindowPos(nullptr, 0, 0, 300, 54 + 26 * k, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(view->PageSize(), k + 1) << "height 54 + 26 x " << k;
    view->SetWindowPos(nullptr, 0, 0, 300, 53 + 26 * k, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(view->PageSize(), k) << "height 53 + 26 x " << k;
  }
  view->SetWindowPos(nullptr, 0, 0, 300, 40, SWP_NOZORDER | SWP_NOMOVE);
  EXPECT_EQ(view->PageSize(), 0);
  auto area = Levels(5);
  view->SetData(area.get());
  const std::vector<TextCall> calls = Calls();
  ASSERT_EQ(calls.size(), 1u) << "page size 0: the title only";
  EXPECT_EQ(calls[0].text, u"分价统计");
}

TEST_F(PriceStatis, ScrollPositionIsKeptClampedAndReset) {
  Make(300, 28 + 26 * 10);  // page size 10
  ASSERT_EQ(view->PageSize(), 10);
  auto area = Levels(30);
  view->SetData(area.get());
  desk->RunUntilIdle();
  EXPECT_TRUE(BarShown());
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  view->ScrollBar().GetScrollInfo(&info);
  EXPECT_EQ(info.nMax, 20);

  Scroll(SB_BOTTOM);
  EXPECT_EQ(view->FirstRow(), 20);
  Scroll(SB_LINEDOWN);
  EXPECT_EQ(view->FirstRow(), 20) << "clamped at the maximum";
  Scroll(SB_LINEUP);
  EXPECT_EQ(view->FirstRow(), 19);
  Scroll(SB_PAGEUP);
  EXPECT_EQ(view->FirstRow(), 18) << "a page is one row";
  Scroll(SB_PAGEDOWN);
  EXPECT_EQ(view->FirstRow(), 19);
  Scroll(SB_THUMBTRACK, 7);
  EXPECT_EQ(view->FirstRow(), 7);
  EXPECT_EQ(view->ScrollBar().GetScrollPos(), 7);
  Scroll(SB_THUMBPOSITION, 3);
  EXPECT_EQ(view->FirstRow(), 7) << "thumb position changes nothing";
  Scroll(SB_ENDSCROLL);
  EXPECT_EQ(view->FirstRow(), 7);
  Scroll(SB_TOP);
  EXPECT_EQ(view->FirstRow(), 0);
  Scroll(SB_LINEUP);
  EXPECT_EQ(view->FirstRow(), 0) << "clamped at 0";
  Scroll(SB_THUMBTRACK, 15);

  // The rows drawn start at the first row.
  std::vector<TextCall> calls = Calls();
  EXPECT_TRUE(Find(calls, u"10.05")) << "row 15";
  EXPECT_FALSE(Find(calls, u"10.04"));

  // Fewer rows: the position is clamped to the new maximum.
  auto fewer = Levels(20);
  view->SetData(fewer.get());
  EXPECT_EQ(view->FirstRow(), 10);
  // Rows that fit: the bar hides, the position is kept.
  Scroll(SB_THUMBTRACK, 2);
  auto eight = Levels(8);
  view->SetData(eight.get());
  desk->RunUntilIdle();
  EXPECT_FALSE(BarShown());
  EXPECT_EQ(view->FirstRow(), 0) << "no maximum above 0";
  view->SetData(area.get());
  desk->RunUntilIdle();
  EXPECT_TRUE(BarShown());
  Scroll(SB_THUMBTRACK, 12);
  view->Clear();
  desk->RunUntilIdle();
  EXPECT_EQ(view->FirstRow(), 0) << "Clear resets";
  EXPECT_FALSE(BarShown());
}

TEST_F(PriceStatis, EightRowsKeepThePositionWhileTheyFit) {
  Make(300, 28 + 26 * 10);
  auto area = Levels(12);
  view->SetData(area.get());
  desk->RunUntilIdle();
  Scroll(SB_BOTTOM);
  ASSERT_EQ(view->FirstRow(), 2);
  auto grown = Levels(14);
  view->SetData(grown.get());
  EXPECT_EQ(view->FirstRow(), 2) << "an update that adds rows does not move the view";
}

TEST_F(PriceStatis, BarsAndTheirSplit) {
  const int w = 300, g = (w - 28) / 2, cellRight = w - 18;  // g = 136
  Make(w, 28 + 26 * 6);
  auto area = Levels(5, 1000);
  area->levels[0] = PriceLevel{10.1f, 1000, 0, 0.5f, 0};      // the largest, second 0: all first colour
  area->levels[1] = PriceLevel{10.0f, 500, 500, 0.25f, 1};    // second = volume: all second colour
  area->levels[2] = PriceLevel{9.9f, 0, 0, 0, 0};             // volume 0: outline only
  area->levels[3] = PriceLevel{9.8f, 1000, 250, 0.1234f, 0};  // split at 3/4
  area->levels[4] = PriceLevel{9.7f, 2000, -5, 1, 0};         // beyond the largest: held in the cell
  view->SetData(area.get());
  Save("price_statis_bars");
  const QImage img = Paint();
  auto rowY = [](int i) { return 26 + i * 26 + 13; };
  // Row 0: E = cellRight; inner g+1 .. E, all 0x079B00.
  EXPECT_EQ(PixelRgb(img, g + 1, rowY(0)), 0x079B00u);
  EXPECT_EQ(PixelRgb(img, cellRight - 2, rowY(0) - 10), 0x079B00u) << "whole cell (above the share text)";
  EXPECT_EQ(PixelRgb(img, g, rowY(0)), 0xFF0000u) << "outline in the price colour";
  // Row 1: E = g + 141 / 2 = g + 70; all 0x9B0000 from g+1 to E-1.
  const int e1 = g + (cellRight - g) * 500 / 1000;
  EXPECT_EQ(PixelRgb(img, g + 1, rowY(1)), 0x9B0000u);
  EXPECT_EQ(PixelRgb(img, e1 - 2, rowY(1)), 0x9B0000u);
  EXPECT_EQ(PixelRgb(img, e1 + 1, rowY(1)), 0x000000u);
  EXPECT_EQ(PixelRgb(img, g, rowY(1)), 0xFFFFFFu) << "white outline: the price equals the reference";
  // Row 2: only the outline.
  EXPECT_FALSE(HasColor(img, 0x079B00, g + 1, rowY(2) - 9, cellRight - 1, rowY(2) + 9));
  EXPECT_FALSE(HasColor(img, 0x9B0000, g + 1, rowY(2) - 9, cellRight - 1, rowY(2) + 9));
  EXPECT_EQ(PixelRgb(img, g, rowY(2)), 0x00FF00u);
  // Row 3: X = (g+1) + (cellRight - g - 1) * 750 / 1000.
  const int x3 = (g + 1) + (cellRight - (g + 1)) * 750 / 1000;
  EXPECT_EQ(PixelRgb(img, x3 - 1, rowY(3) - 10), 0x079B00u);
  EXPECT_EQ(PixelRgb(img, x3, rowY(3) - 10), 0x9B0000u);
  // Row 4 stays inside its cell.
  EXPECT_NE(PixelRgb(img, cellRight + 3, rowY(4)), 0x079B00u);
  const std::vector<TextCall> calls = view->log.Calls();
  EXPECT_TRUE(Find(calls, u"12.34%"));
  EXPECT_TRUE(Find(calls, u"2000"));
}

TEST_F(PriceStatis, AllVolumesZeroDrawOutlinesOnly) {
  Make(300, 28 + 26 * 4);
  auto area = Levels(3, 0);
  for (int i = 0; i < 3; ++i) area->levels[i].volume = 0;
  view->SetData(area.get());
  const QImage img = Paint();
  EXPECT_FALSE(HasColor(img, 0x079B00, 0, 26, 300, 130));
  EXPECT_FALSE(HasColor(img, 0x9B0000, 0, 26, 300, 130));
  EXPECT_EQ(PixelRgb(img, 136, 26 + 13), 0x00FF00u) << "outline of 9.90 below 10";
}

TEST_F(PriceStatis, IndexAndUnansweredAreasShowOnlyTheTitle) {
  Make(300, 200);
  std::vector<TextCall> calls = Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].text, u"分价统计");
  auto pending = Levels(0);
  pending->levelCount = -1;  // sent, not answered
  view->SetData(pending.get());
  calls = Calls();
  EXPECT_EQ(calls.size(), 1u);
  auto hostile = Levels(3);
  hostile->levelCount = kPriceLevelRoom + 5000;
  view->SetData(hostile.get());
  EXPECT_GT(Calls().size(), 1u) << "held at the room, no overrun";
  const QImage img = Paint();
  EXPECT_EQ(PixelRgb(img, 150, 5), 0x292929u);
}

// The UI thread paints and resizes while a worker feeds. The bar's window
// procedure is wrapped: a message that reaches it from another thread's
// send (a show, a hide or a scroll setting made on the worker) is counted.
std::atomic<int> g_foreignBarMessages{0};
std::atomic<int> g_barShows{0};
WNDPROC g_barProc = nullptr;

LRESULT WatchBar(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  if (InSendMessage()) ++g_foreignBarMessages;
  if (msg == SBM_SETSCROLLINFO) ++g_barShows;
  return CallWindowProcW(g_barProc, hwnd, msg, w, l);
}

TEST_F(PriceStatis, FeedingFromAnotherThreadShowsTheBarOnTheUiThreadOnly) {
  Make(300, 28 + 26 * 10);
  HWND bar = view->ScrollBar().m_hWnd;
  g_barProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchBar)));
  g_foreignBarMessages = 0;
  g_barShows = 0;
  auto big = Levels(30);
  auto small = Levels(4);
  std::atomic<int> fed{0};
  std::thread worker([&] {
    for (int i = 0; i < 400; ++i) {
      view->SetData(i % 2 ? big.get() : small.get());
      fed = i + 1;
    }
  });
  for (int i = 0; fed < 400 || i < 50; ++i) {
    view->SetWindowPos(nullptr, 0, 0, 280 + i % 40, 200 + i % 60, SWP_NOZORDER | SWP_NOMOVE);
    view->Invalidate();
    desk->RunUntilIdle();
  }
  worker.join();
  view->SetData(big.get());
  view->SetWindowPos(nullptr, 0, 0, 300, 28 + 26 * 10, SWP_NOZORDER | SWP_NOMOVE);
  desk->RunUntilIdle();
  EXPECT_TRUE((::GetWindowLongPtrW(bar, GWL_STYLE) & WS_VISIBLE) != 0);
  EXPECT_GT(g_barShows, 0) << "the bar was shown and hidden";
  EXPECT_EQ(g_foreignBarMessages, 0) << "every change came on the UI thread";
  EXPECT_EQ(::GetWindowThreadProcessId(bar, nullptr), GetUiThreadId());
  ::SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_barProc));
}

}  // namespace
