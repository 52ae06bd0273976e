#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "charts/kline_chart.h"
#include "charts/kline_chart_indicators.h"
#include "charts/kline_markers.h"
#include "charts/kline_rel_data.h"
#include "charts/kline_view.h"
#include "charts/tests/kline_test_support.h"
#include "controls/control_messages.h"
#include "foundation/draw_helpers.h"
#include "foundation/number_codecs.h"
#include "platform/window/win_desktop.h"

namespace {

struct Notice {
  UINT msg;
  WPARAM w;
  LPARAM l;
};

// A parent (and main window) that records the chart's notices.
class RecordingParent : public CWnd {
 public:
  std::vector<Notice> notices;
  std::u16string lastHtml;
  bool Make(int w, int h) {
    return CreateEx(0, nullptr, u"parent", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, CRect(0, 0, w, h), nullptr, 0) != FALSE;
  }
  std::vector<Notice> Of(UINT msg) const {
    std::vector<Notice> v;
    for (const Notice& n : notices)
      if (n.msg == msg) v.push_back(n);
    return v;
  }
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    switch (msg) {
      case WM_KLINE_EXRIGHTS:
      case WM_RATING_MARK_PICK:
      case WM_KLINE_CLICK:
      case WM_NEWS_MARK_PICK:
      case WM_STOCKPAGE_NOTE:
      case WM_CHART_MENU_KLINE:
      case WM_KLINE_PANE_LAYOUT:
        notices.push_back({msg, w, l});
        return 0;
      case WM_POP_HTML:
        notices.push_back({msg, w, l});
        lastHtml = reinterpret_cast<const char16_t*>(w);
        return 0;
      default:
        return CWnd::WindowProc(msg, w, l);
    }
  }
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
};

// A view of 1,000 x 600 in a recording parent, over count plain bars.
class KLineViewTest : public ::testing::Test {
 protected:
  TestDesktop desk;
  RecordingParent parent;
  std::unique_ptr<CKLineView> view;
  KFixture data{300, 400};
  void SetUp() override {
    ASSERT_TRUE(parent.Make(1000, 600));
    view = std::make_unique<CKLineView>();
    ASSERT_TRUE(view->Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 1000, 600), &parent, 0));
    desk.RunUntilIdle();
    view->SetBars(data.area.get(), data.workspace.get(), true);
    desk.RunUntilIdle();
  }
  void TearDown() override { view.reset(); }
  KLineChart* C() { return view->Chart(); }
  std::string Date(int bar) {
    char text[16] = {};
    FormatKLineBarDate(C(), data.area->bars[bar].time, text);
    return text;
  }
};

TEST_F(KLineViewTest, NewestBarsShownAndResizeScrollsBack) {
  const int visible = GetKLineVisibleCount(C());
  EXPECT_EQ(C()->firstVisible, 400 - visible);
  C()->firstVisible = 10;
  view->MoveWindow(0, 0, 800, 500);
  desk.RunUntilIdle();
  EXPECT_EQ(C()->firstVisible, 400 - GetKLineVisibleCount(C()));
  // A 0 x 0 size changes nothing.
  const int first = C()->firstVisible;
  view->SendMessage(WM_SIZE, 0, 0);
  EXPECT_EQ(C()->rect.right, 800);
  EXPECT_EQ(C()->firstVisible, first);
}

TEST_F(KLineViewTest, ArrowKeys) {
  const int first = C()->firstVisible, visible = GetKLineVisibleCount(C());
  // A magenta mark far from the cursor's regions: it stays until the whole
  // window is repainted.
  const POINT mark{500, 250};
  auto plantMark = [&] {
    HDC dc = ::GetDC(view->m_hWnd);
    const RECT r{mark.x, mark.y, mark.x + 2, mark.y + 2};
    FillRectColor(dc, &r, 0xFF00FF);
    ::ReleaseDC(view->m_hWnd, dc);
  };
  auto markKept = [&] { return desk.Snapshot(view->m_hWnd).pixel(mark.x, mark.y) == qRgb(255, 0, 255); };
  desk.RunUntilIdle();
  view->MoveCursorLeft();
  EXPECT_EQ(C()->firstVisible, first);
  EXPECT_EQ(C()->cursor, visible - 1);
  EXPECT_TRUE(view->TipView().IsWindowVisible());
  desk.RunUntilIdle();
  plantMark();
  ASSERT_TRUE(markKept());
  view->MoveCursorLeft();
  desk.RunUntilIdle();
  EXPECT_EQ(C()->cursor, visible - 2);
  EXPECT_EQ(C()->firstVisible, first);
  EXPECT_TRUE(markKept()) << "a move inside the window repaints only the cursor's regions";
  // At the left edge the chart scrolls and the whole window is repainted.
  C()->cursor = 0;
  view->MoveCursorLeft();
  desk.RunUntilIdle();
  EXPECT_EQ(C()->firstVisible, first - 1);
  EXPECT_EQ(C()->cursor, 0);
  EXPECT_FALSE(markKept());
}

TEST_F(KLineViewTest, HoverOnNewsDotPostsItsDateOnce) {
  NewsRecord items[2]{};
  const std::string d = Date(390);
  for (NewsRecord& r : items) std::snprintf(r.pubTime, sizeof r.pubTime, "%.4s-%.2s-%.2s 09:00:00", d.c_str(), d.c_str() + 4, d.c_str() + 6);
  std::snprintf(items[0].url, sizeof items[0].url, "http://127.0.0.1/news/1.html");
  std::snprintf(items[1].url, sizeof items[1].url, "http://127.0.0.1/news/2.html");
  NewsListArea news{};
  news.records = items;
  news.recordCount = 2;
  view->SetMineNews(&news);
  std::memset(items, 0, sizeof items);  // the view keeps its own copy
  desk.RunUntilIdle();
  const NewsMark& m = view->GetNewsMarks()[1];
  ASSERT_GT(m.rect.left, 72);
  const int x = (m.rect.left + m.rect.right) / 2, y = (m.rect.top + m.rect.bottom) / 2;
  desk.MoveMouse(view->m_hWnd, x, y);
  desk.Advance(999);
  EXPECT_TRUE(parent.Of(WM_NEWS_MARK_PICK).empty());
  desk.Advance(2);
  desk.Advance(2000);
  auto picks = parent.Of(WM_NEWS_MARK_PICK);
  ASSERT_EQ(picks.size(), 1u);
  EXPECT_EQ(picks[0].l, std::atoi(d.c_str()));
  EXPECT_EQ(picks[0].w, static_cast<WPARAM>(y * 65536 + x));
  // The pop-up list's second row opens the second item's page on the main window.
  CWinApp app;
  app.m_pMainWnd = &parent;
  view->SetMarkSource(1);
  view->SendMessage(WM_POPLIST_DBLCLK, 0, 1);
  EXPECT_EQ(parent.lastHtml, u"http://127.0.0.1/news/2.html");
  ASSERT_EQ(parent.Of(WM_POP_HTML).size(), 1u);
  EXPECT_EQ(parent.Of(WM_POP_HTML)[0].l, 0);
  view->SendMessage(WM_POPLIST_DBLCLK, 0, 5);  // beyond the items
  EXPECT_EQ(parent.Of(WM_POP_HTML).size(), 1u);
  app.m_pMainWnd = nullptr;
  // Leaving posts (0, 1).
  desk.MoveMouse(view->m_hWnd, 500, 300);
  picks = parent.Of(WM_NEWS_MARK_PICK);
  ASSERT_EQ(picks.size(), 2u);
  EXPECT_EQ(picks[1].w, 0u);
  EXPECT_EQ(picks[1].l, 1);
}

TEST_F(KLineViewTest, HoverOnExRightsAndRatingMarks) {
  ExRightsArea list;
  list.records = new ExRightsRecord[1]{};
  list.records[0].date = std::atoi(Date(380).c_str());
  list.count = 1;
  view->SetExRightsList(&list);
  KLineRelData rel;
  rel.Init();
  KLineRelTable table;
  const std::string reply = "{\"total\":\"2\",\"data\":[{\"pubDate\":\"" + Date(370) + "\",\"ratingSide\":\"1\",\"url\":\"http://a/1\"},"
                            "{\"pubDate\":\"" + Date(370) + "\",\"ratingSide\":\"1\",\"url\":\"http://a/2\"}]}";
  ASSERT_TRUE(ParseKLineRelReply(3, reply.c_str(), &table));
  rel.ratingRows = static_cast<KLineRatingRow*>(table.rows);
  rel.ratingCount = table.count;
  C()->ratingItems = rel.ratingRows;
  C()->ratingCount = rel.ratingCount;
  SetKLineRatingMarks(C());
  view->ToggleMainOverlay(1);
  desk.RunUntilIdle();
  ASSERT_EQ(C()->exRightsMarkCount, 1);
  const ChartRect e = C()->exRightsMarkRects[0];
  desk.MoveMouse(view->m_hWnd, e.left + 5, e.top + 5);
  desk.Advance(1001);
  auto ex = parent.Of(WM_KLINE_EXRIGHTS);
  ASSERT_EQ(ex.size(), 1u);
  EXPECT_EQ(ex[0].l, list.records[0].date);
  desk.DoubleClick(view->m_hWnd, e.left + 5, e.top + 5);
  ex = parent.Of(WM_KLINE_EXRIGHTS);
  ASSERT_EQ(ex.size(), 2u);
  EXPECT_EQ(ex[1].w, 0u);
  EXPECT_EQ(ex[1].l, 0);
  // The rating flag: the stem's middle.
  const RatingMark& m = view->GetRatingMarks()[1];
  ASSERT_EQ(m.visible, 1);
  EXPECT_STREQ(m.countText, "2");
  desk.MoveMouse(view->m_hWnd, m.stemRect.left + 1, (m.stemRect.top + m.stemRect.bottom) / 2);
  EXPECT_EQ(parent.Of(WM_KLINE_EXRIGHTS).back().l, 1);  // left the ex-rights mark
  desk.Advance(1001);
  auto picks = parent.Of(WM_RATING_MARK_PICK);
  ASSERT_EQ(picks.size(), 1u);
  EXPECT_EQ(picks[0].l, std::atoi(Date(370).c_str()));
  CWinApp app;
  app.m_pMainWnd = &parent;
  view->SetMarkSource(0);
  view->SendMessage(WM_POPLIST_DBLCLK, 0, 1);
  EXPECT_EQ(parent.lastHtml, u"http://a/2");
  app.m_pMainWnd = nullptr;
  // Timers firing after the marks went away do nothing.
  desk.MoveMouse(view->m_hWnd, m.stemRect.left + 1, (m.stemRect.top + m.stemRect.bottom) / 2 + 1);
  view->ClearChart();
  desk.Advance(2000);
  EXPECT_EQ(parent.Of(WM_RATING_MARK_PICK).size(), 1u);
  rel.Release();
}

TEST_F(KLineViewTest, AdjustmentsChangeTheBarsAndRecalculate) {
  // One event on bar 380: bars before it halve (forward), bars on or after
  // it double (backward); the undo gives the bars back.
  ExRightsArea list;
  list.records = new ExRightsRecord[1]{};
  list.records[0].date = std::atoi(Date(380).c_str());
  list.records[0].forwardFactor = 0.5;
  list.records[0].backwardFactor = 2.0;
  list.count = 1;
  const float before = data.area->bars[379].close, after = data.area->bars[390].close;
  const float top = C()->priceMax;
  view->ApplyForwardAdjust(data.area.get(), &list);
  EXPECT_FLOAT_EQ(data.area->bars[379].close, before * 0.5f);
  EXPECT_FLOAT_EQ(data.area->bars[390].close, after);
  view->RemoveAdjust(data.area.get(), &list, kExRightsForward);
  EXPECT_FLOAT_EQ(data.area->bars[379].close, before);
  view->ApplyBackwardAdjust(data.area.get(), &list, 0);
  EXPECT_FLOAT_EQ(data.area->bars[379].close, before);
  EXPECT_FLOAT_EQ(data.area->bars[390].close, after * 2.0f);
  EXPECT_GT(C()->priceMax, top * 1.5f);  // recalculated over the doubled bars
  desk.RunUntilIdle();
  view->RemoveAdjust(data.area.get(), &list, kExRightsBackward);
  EXPECT_FLOAT_EQ(data.area->bars[390].close, after);
  EXPECT_FLOAT_EQ(C()->priceMax, top);
  // Null lists and areas do nothing.
  view->ApplyForwardAdjust(data.area.get(), nullptr);
  view->ApplyBackwardAdjust(nullptr, &list, -1);
  view->RemoveAdjust(data.area.get(), nullptr, kExRightsForward);
  EXPECT_FLOAT_EQ(data.area->bars[390].close, after);
}

// Bad input on 8,000 bars: all volumes 0, 300 ex-rights records on the
// 1-minute period, 1,000 news items with full-length titles. Drawn without
// a read past any array (ASan), marks held to the engine's room.
TEST(KLineViewBadInput, ZeroVolumesManyExRightsAndNews) {
  TestDesktop desk;
  RecordingParent parent;
  ASSERT_TRUE(parent.Make(1400, 800));
  auto view = std::make_unique<CKLineView>();
  ASSERT_TRUE(view->Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 1400, 800), &parent, 0));
  KFixture data{300, kKLineBarRoom};
  data.area->period = 34;
  for (int i = 0; i < kKLineBarRoom; ++i) {
    DayBar& b = data.area->bars[i];
    b.volume = 0;
    b.time = PackTime(2000 + i / 336, 1 + (i / 28) % 12, 1 + i % 28, 9, 31);
  }
  view->SetBars(data.area.get(), data.workspace.get(), true);
  ExRightsArea list;
  list.records = new ExRightsRecord[300]{};
  list.count = 300;
  for (int k = 0; k < 300; ++k) {
    const uint32_t t = data.area->bars[kKLineBarRoom - 300 + k].time;
    list.records[k].date = static_cast<int32_t>(DecodePackedDateTime(t) / 1000000);
    list.records[k].forwardFactor = list.records[k].backwardFactor = 1.0;
  }
  view->SetExRightsList(&list);
  std::vector<NewsRecord> items(1000);
  for (size_t k = 0; k < items.size(); ++k) {
    NewsRecord& r = items[k];
    std::memset(r.title, 'x', sizeof r.title - 1);
    std::snprintf(r.pubTime, sizeof r.pubTime, "20%02d-%02d-%02d 09:00:00", static_cast<int>(20 - k % 20), static_cast<int>(1 + k % 12), static_cast<int>(1 + k % 28));
  }
  NewsListArea news{};
  news.records = items.data();
  news.recordCount = static_cast<int32_t>(items.size());
  view->SetMineNews(&news);
  for (int layout : {0, 1, 2, 3}) {
    view->SetPaneCount(layout);
    view->ZoomOut();
    view->MoveCursorLeft();
    view->Invalidate(FALSE);
    view->UpdateWindow();
    desk.RunUntilIdle();
    EXPECT_LE(view->Chart()->exRightsMarkCount, kKLineExRightsMarkRoom);
    EXPECT_GT(view->Chart()->exRightsMarkCount, 0) << layout;
    EXPECT_LE(view->Chart()->newsMarkCount, 1000);
  }
  view->ApplyForwardAdjust(data.area.get(), &list);
  view->RemoveAdjust(data.area.get(), &list, kExRightsForward);
  desk.RunUntilIdle();
  view.reset();
}

TEST_F(KLineViewTest, CloseBoxAndRightClick) {
  EXPECT_FALSE(view->ToggleFundamentalsPane(1));
  EXPECT_EQ(view->GetPaneCount(), 3);
  EXPECT_EQ(view->GetFundamentalsPane(), 1);
  desk.RunUntilIdle();
  const int r = C()->topStripRect.right, t = C()->fundTop;
  desk.Click(view->m_hWnd, r - 6, t + 6);
  ASSERT_EQ(parent.Of(WM_KLINE_PANE_LAYOUT).size(), 1u);
  EXPECT_EQ(parent.Of(WM_KLINE_PANE_LAYOUT)[0].l, 7200);
  EXPECT_FALSE(view->IsCrossHairShown());
  EXPECT_EQ(parent.Of(WM_KLINE_CLICK).size(), 1u);
  desk.RightClick(view->m_hWnd, 300, 200);
  ASSERT_EQ(parent.Of(WM_CHART_MENU_KLINE).size(), 1u);
  POINT s{300, 200};
  ::ClientToScreen(view->m_hWnd, &s);
  EXPECT_EQ(parent.Of(WM_CHART_MENU_KLINE)[0].w, static_cast<WPARAM>(s.y * 65536 + s.x));
  // The three pane cases.
  EXPECT_TRUE(view->ToggleFundamentalsPane(1));
  EXPECT_EQ(view->GetPaneCount(), 2);
  EXPECT_FALSE(view->ToggleFundamentalsPane(2));
  EXPECT_EQ(view->GetFundamentalsPane(), 2);
  EXPECT_FALSE(view->ToggleFundamentalsPane(-1));
  EXPECT_EQ(view->GetPaneCount(), 2);
  // Overlays: choosing the shown one switches it off.
  EXPECT_FALSE(view->ToggleMainOverlay(2));
  EXPECT_TRUE(view->ToggleMainOverlay(2));
  EXPECT_EQ(view->GetMainOverlay(), 0);
}

TEST_F(KLineViewTest, NoRightTextOverLevel2Panes) {
  for (int indicator = 0; indicator <= 17; ++indicator) {
    view->SetIndicator(indicator);
    view->Invalidate(FALSE);
    view->UpdateWindow();
    const RECT& r = view->NoRightRect();
    EXPECT_EQ(r.right > r.left, indicator > 10) << indicator;
  }
  view->SetDataRight(1);
  view->Invalidate(FALSE);
  view->UpdateWindow();
  EXPECT_EQ(view->NoRightRect().right, 0);
}

TEST_F(KLineViewTest, OlderBarsKeepTheirPlace) {
  // 400 bars scrolled to bar 100; 512 older ones arrive in front of them.
  KFixture longer(300, 912);
  std::memmove(longer.area->bars + 512, data.area->bars, 400 * sizeof(DayBar));
  for (bool zoom : {false, true}) {
    view->SetBars(data.area.get(), data.workspace.get(), true);
    C()->scrollToEnd = 0;
    C()->firstVisible = 100;
    const float width = C()->candleWidth;
    view->KeepBarPosition(1);
    view->SetPendingZoomOut(zoom ? 1 : 0);
    // A supplement push in between (apply 0) leaves both flags set.
    view->SetBars(data.area.get(), data.workspace.get(), false);
    EXPECT_EQ(C()->firstVisible, 100);
    {
      CriticalSection& lock = view->DataLock();
      lock.Enter();
      view->SetBars(longer.area.get(), longer.workspace.get(), true);
      lock.Leave();
    }
    desk.RunUntilIdle();
    if (!zoom) {
      // One extra older bar: the old bar 99 (now 611) leads, the old first bar is one step right.
      EXPECT_EQ(C()->firstVisible, 100 + 512 - 1);
      EXPECT_EQ(C()->candleWidth, width);
    } else {
      EXPECT_LT(C()->candleWidth, width);
    }
  }
}

TEST_F(KLineViewTest, FundFlowPairsFromTheEnd) {
  // An area whose first is 60, with supplement records at first + k, copied
  // by CopyKLineSupplements into the chart's area.
  auto src = std::make_unique<KLineArea>();
  std::memset(src.get(), 0, sizeof(KLineArea));
  src->first = 60;
  src->level2Count = 10;
  src->supplementCount = 10;
  for (int k = 0; k < 10; ++k) {
    for (int i = 0; i < 8; ++i) {
      src->level2Records[60 + k].values[10 + i] = (k + 1) * 10000 + i * 100;
      src->level2Records[60 + k].values[18 + i] = k * 10 + i;
      src->supplementRecords[60 + k].values[3 + i] = (k + 1) * 1000 + i * 100;
    }
  }
  {
    CriticalSection& lock = view->DataLock();
    lock.Enter();
    CopyKLineSupplements(data.area.get(), src.get());
    std::memcpy(data.area->key.code, "600000", 7);
    lock.Leave();
  }
  EXPECT_EQ(view->GetCursorBarFundFlow(), nullptr);  // no cursor
  view->MoveCursorLeft();  // the last visible bar = the newest bar 399
  ASSERT_EQ(view->GetCursorBar(), 399);
  const FundFlowRecord* f = view->GetCursorBarFundFlow();
  ASSERT_NE(f, nullptr);
  EXPECT_STREQ(f->code, "600000");
  EXPECT_EQ(f->amounts[0], 1000);   // record 9: 100000 / 100
  EXPECT_EQ(f->amounts[7], 1007);
  EXPECT_EQ(f->counts[7], 97);
  const FundFlowRecord* o = view->GetCursorBarOrderFlow();
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(o->amounts[1], 101);    // (10 * 1000 + 100) / 100
  // A bar older than the records has none.
  view->MoveCursorLeft();
  for (int i = 0; i < 20; ++i) view->MoveCursorLeft();
  EXPECT_EQ(view->GetCursorBarFundFlow(), nullptr);
}

TEST_F(KLineViewTest, ClearChartDropsBorrowedRows) {
  KLineRelData rel;
  rel.Init();
  KLineRelTable table;
  ASSERT_TRUE(ParseKLineRelReply(1, R"({"total":"2","data":[{"startDate":"20000101","endDate":"20000331","basicEPS":"0.5"},{}]})", &table));
  rel.financeRows = static_cast<KLineFinanceRow*>(table.rows);
  rel.financeCount = table.count;
  view->ToggleFundamentalsPane(1);
  C()->financeRows = rel.financeRows;
  C()->financeRowCount = rel.financeCount;
  view->ClearChart();
  EXPECT_EQ(C()->financeRows, nullptr);
  EXPECT_EQ(C()->financeRowCount, 0);
  rel.Clear();
  view->Invalidate(FALSE);
  view->UpdateWindow();  // reads nothing freed
  rel.Release();
}

// A worker stands in for the network thread: it rewrites the owner's copy
// under DataLock() and feeds the view while the UI thread works the view.
// Rating replies replace the rows the chart shows, on the request's thread,
// while the UI thread takes them, lays out and paints: the chart never reads
// a freed table (run under ASan and TSan).
TEST_F(KLineViewTest, RelatedDataRepliesReplaceRowsWhileTheUiPaints) {
  KLineRelData rel;
  rel.Init();
  rel.requestIds[2] = 77;  // the ratings request in flight
  view->SetPaneCount(3);
  char first[16] = {}, second[16] = {};
  FormatKLineBarDate(C(), data.area->bars[390].time, first);
  FormatKLineBarDate(C(), data.area->bars[395].time, second);
  std::atomic<bool> stop{false};
  std::atomic<int> replies{0};
  std::thread network([&] {
    for (int i = 0; i < 200 && !stop; ++i) {
      std::string json = "{\"total\":" + std::to_string(1 + i % 5) + ",\"data\":[";
      for (int k = 0; k < 1 + i % 5; ++k)
        json += std::string(k ? "," : "") + "{\"pubDate\":\"" + (k % 2 ? second : first) +
                "\",\"ratingSide\":\"" + std::to_string(k % 2) + "\",\"comName\":\"机构" + std::to_string(k) +
                "\",\"invRatingOriginal\":\"买入\",\"url\":\"http://127.0.0.1/r/" + std::to_string(i) + "\"}";
      json += "]}";
      rel.OnReply(json.c_str(), 77);
      replies = i + 1;
    }
  });
  int step = 0;
  while (replies < 200 && step < 100000) {
    view->SetRelatedData(&rel, 3);
    switch (step++ % 3) {
      case 0: view->ZoomOut(); break;
      case 1: view->ZoomIn(); break;
      default: view->MoveWindow(0, 0, 950 + step % 50, 580); break;
    }
    view->UpdateWindow();
    desk.RunUntilIdle();
  }
  stop = true;
  network.join();
  view->SetRelatedData(&rel, 3);
  view->UpdateWindow();
  EXPECT_EQ(replies.load(), 200);
  EXPECT_EQ(C()->ratingCount, 1 + 199 % 5);  // the last reply's rows
  view->ClearChart();
  rel.Release();
}

TEST_F(KLineViewTest, NetworkThreadFeedsWhileTheUiWorks) {
  std::atomic<bool> stop{false};
  std::atomic<int> rounds{0};
  KFixture owner(300, 400);
  NewsRecord item{};
  std::snprintf(item.pubTime, sizeof item.pubTime, "2001-01-05 09:00:00");
  NewsListArea news{};
  news.records = &item;
  news.recordCount = 1;
  ExRightsRecord record{};
  ExRightsArea exr;
  exr.records = new ExRightsRecord[1]{record};
  exr.count = 1;
  std::thread worker([&] {
    for (int i = 0; i < 300 && !stop; ++i) {
      CriticalSection& lock = view->DataLock();
      lock.Enter();
      owner.area->bars[399].close = 10.0f + static_cast<float>(i % 7) / 100.0f;
      lock.Leave();
      view->SetBars(owner.area.get(), owner.workspace.get(), i % 3 == 0);
      view->SetMineNews(&news);
      view->SetExRightsList(&exr);
      rounds = i + 1;
    }
  });
  int step = 0;
  while (rounds < 300 && step < 100000) {
    switch (step++ % 5) {
      case 0: view->ZoomOut(); break;
      case 1: view->ZoomIn(); break;
      case 2: view->MoveCursorLeft(); break;
      case 3: desk.MoveMouse(view->m_hWnd, 100 + step % 700, 100 + step % 300); break;
      default: view->MoveWindow(0, 0, 900 + step % 100, 560); break;
    }
    desk.RunUntilIdle();
  }
  stop = true;
  worker.join();
  desk.RunUntilIdle();
  EXPECT_EQ(rounds.load(), 300);
}

}  // namespace

namespace {

TEST_F(KLineViewTest, Snapshot) {
  const char* folder = std::getenv("ORV_SNAPSHOT_DIR");
  if (!folder) GTEST_SKIP() << "set ORV_SNAPSHOT_DIR to write the picture";
  view->SetIndicator(13);
  view->ShowStockNameInTitle(1);
  std::memcpy(data.area->key.code, "600000", 7);
  std::snprintf(data.area->key.name, sizeof data.area->key.name, "演示银行");
  desk.Click(view->m_hWnd, 700, 150);
  desk.RunUntilIdle();
  ASSERT_TRUE(desk.SavePng(parent.m_hWnd, std::string(folder) + "/kline_view_noright.png"));
}

}  // namespace
