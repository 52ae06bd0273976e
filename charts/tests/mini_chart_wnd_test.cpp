// The boards' mini chart window in the test desktop: mode switching by the
// data handed last, double clicks, title buttons and their group, the title
// strip, the flat minute scale, keys and commands to the parents, and a
// snapshot of a minute and a K-line window with the generated title picture.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "charts/mini_chart_wnd.h"
#include "charts/tests/kline_test_support.h"
#include "charts/tests/minute_view_support.h"
#include "controls/control_messages.h"
#include "controls/tests/resource_fixture.h"
#include "marketdata/indicator_workspace.h"
#include "platform/window/win_desktop.h"

using namespace minute_test;

namespace {

struct Notice {
  UINT msg;
  WPARAM w;
  LPARAM l;
};

class Recorder : public CWnd {
 public:
  std::vector<Notice> notices;
  bool Make(CWnd* parent, int w, int h) {
    const DWORD style = parent ? WS_CHILD | WS_VISIBLE : WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN;
    return CreateEx(0, nullptr, u"", style, CRect(0, 0, w, h), parent, 0) != FALSE;
  }
  std::vector<Notice> Of(UINT msg) const {
    std::vector<Notice> v;
    for (const Notice& n : notices)
      if (n.msg == msg) v.push_back(n);
    return v;
  }
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_MINICHART_BUTTON || msg == WM_MINICHART_DBLCLK || msg == WM_LIST_COMMAND_NOTICE ||
        (msg == WM_KEYDOWN && w == VK_DOWN)) {
      notices.push_back({msg, w, l});
      return 0;
    }
    return CWnd::WindowProc(msg, w, l);
  }
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
};

class MiniChartTest : public ::testing::Test {
 protected:
  TestDesktop desk;
  orvtest::ScopedWorkingFolder folder{orvtest::BuildProgramFolder()};
  Recorder top, middle, parent;
  std::unique_ptr<CMiniMinKLineWnd> wnd;
  TradingHoursTable hours = StandardHours();
  std::unique_ptr<MinuteArea> minutes = PlainArea();
  KFixture bars{300, 120};
  void SetUp() override {
    ASSERT_TRUE(folder.Ok());
    ASSERT_TRUE(top.Make(nullptr, 800, 600));
    ASSERT_TRUE(middle.Make(&top, 800, 600));
    ASSERT_TRUE(parent.Make(&middle, 800, 600));
    wnd = std::make_unique<CMiniMinKLineWnd>();
  }
  void Create(int index = 805, int w = 400, int h = 260) {
    wnd->SetWindowIndex(index);
    wnd->SetTitleHeight(20);
    ASSERT_TRUE(wnd->Create(nullptr, u"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, CRect(0, 0, w, h), &parent, 0));
  }
  void TearDown() override { wnd.reset(); }
  QRgb Pixel(int x, int y) { return desk.Snapshot(wnd->m_hWnd).pixel(x, y); }
};

TEST_F(MiniChartTest, TheDataHandedLastChoosesTheChart) {
  Create();
  wnd->SetMinuteData(minutes.get(), &hours);
  desk.RunUntilIdle();
  EXPECT_TRUE(wnd->IsMinuteMode());
  const QImage minuteShot = desk.Snapshot(wnd->m_hWnd);
  wnd->SetKLineData(bars.area.get(), bars.workspace.get());
  desk.RunUntilIdle();
  EXPECT_FALSE(wnd->IsMinuteMode());
  EXPECT_NE(desk.Snapshot(wnd->m_hWnd), minuteShot);
  wnd->ClearChart();
  desk.RunUntilIdle();
  EXPECT_EQ(wnd->GetKLineChart()->bars, nullptr);
  EXPECT_NE(wnd->GetMinuteChart()->Data, nullptr) << "only the shown chart is cleared";
  wnd->SetMinuteData(minutes.get(), &hours);
  desk.RunUntilIdle();
  EXPECT_TRUE(wnd->IsMinuteMode());
  EXPECT_EQ(desk.Snapshot(wnd->m_hWnd), minuteShot);
  // The window's copy: rewriting the engine's area changes nothing drawn.
  minutes->points[5].price = 99.0f;
  minutes->pointsHeld = 1024;
  wnd->Invalidate(FALSE);
  desk.RunUntilIdle();
  EXPECT_EQ(desk.Snapshot(wnd->m_hWnd), minuteShot);
}

TEST_F(MiniChartTest, DoubleClicksInTheChartAreaOnly) {
  Create(806);
  wnd->SetMinuteData(minutes.get(), &hours);
  desk.RunUntilIdle();
  desk.DoubleClick(wnd->m_hWnd, 100, 10);  // title strip
  desk.RunUntilIdle();
  EXPECT_TRUE(parent.Of(WM_MINICHART_DBLCLK).empty());
  desk.DoubleClick(wnd->m_hWnd, 100, 120);
  wnd->SetKLineData(bars.area.get(), bars.workspace.get());
  desk.Advance(1000);
  desk.DoubleClick(wnd->m_hWnd, 150, 150);
  desk.RunUntilIdle();
  auto clicks = parent.Of(WM_MINICHART_DBLCLK);
  ASSERT_EQ(clicks.size(), 2u);
  EXPECT_EQ(clicks[0].w, 806u);
  EXPECT_EQ(clicks[0].l, 1);
  EXPECT_EQ(clicks[1].w, 806u);
  EXPECT_EQ(clicks[1].l, 2);
  // A double click without a press first is taken the same way, and a
  // message with any point is harmless.
  wnd->SendMessage(WM_LBUTTONDBLCLK, 0, MAKELPARAM(-5, 30000));
  EXPECT_EQ(parent.Of(WM_MINICHART_DBLCLK).size(), 2u);
}

TEST_F(MiniChartTest, TitleButtonsReportTheirCommandAndFormOneGroup) {
  const char16_t* sel = u"res\\quote_table_item_sel_bg.png";
  const char16_t* normal = u"res\\quote_table_item_bg.png";
  // Added before the index: group "-1".
  Create(-1);
  wnd->AddButton(sel, normal, u"分  时", 4003, 1, 0xFFFFFF);
  wnd->AddButton(sel, normal, u"K  线", 4004, 0, 0xFFFFFF);
  EXPECT_EQ(FooButton::GroupMembers(u"-1").size(), 2u);
  wnd->SetWindowIndex(807);
  desk.RunUntilIdle();
  ASSERT_TRUE(wnd->ButtonsActive());
  CRect first, second;
  wnd->Button(0)->GetWindowRect(&first);
  wnd->Button(1)->GetWindowRect(&second);
  EXPECT_EQ(first.left, 1);
  EXPECT_EQ(first.top, 1);
  EXPECT_EQ(first.bottom, 19);
  EXPECT_EQ(second.left, first.right);
  desk.Click(wnd->Button(1)->m_hWnd, 10, 8);
  desk.Click(wnd->Button(1)->m_hWnd, 10, 8);  // the checked one again
  desk.RunUntilIdle();
  auto presses = parent.Of(WM_MINICHART_BUTTON);
  ASSERT_EQ(presses.size(), 2u);
  for (const Notice& n : presses) {
    EXPECT_EQ(n.w, 4004u);
    EXPECT_EQ(n.l, 807);
  }
  EXPECT_EQ(wnd->Button(1)->GetCheck(), 1);
  EXPECT_EQ(wnd->Button(0)->GetCheck(), 0);
  wnd->CheckButton(0);
  EXPECT_EQ(wnd->Button(0)->GetCheck(), 1);
  EXPECT_EQ(wnd->Button(1)->GetCheck(), 0);
  wnd->CheckButton(7);  // no such button
}

TEST_F(MiniChartTest, ButtonsWithOnePictureReportNothing) {
  Create(808);
  const char16_t* pic = u"res\\quote_table_item_bg.png";
  wnd->AddButton(pic, pic, u"上  证", 4005, 1, 0xFFFFFF);
  wnd->AddButton(u"res\\missing.png", u"res\\missing.png", u"深  证", 4006, 0, 0xFFFFFF);
  desk.RunUntilIdle();
  EXPECT_FALSE(wnd->ButtonsActive());
  CRect r;
  wnd->Button(1)->GetWindowRect(&r);
  EXPECT_GT(r.Width(), 30) << "a button without its picture keeps room for its text";
  desk.Click(wnd->Button(0)->m_hWnd, 10, 8);
  desk.RunUntilIdle();
  EXPECT_TRUE(parent.Of(WM_MINICHART_BUTTON).empty());
  // Not a title button's command: it goes to the third parent.
  EXPECT_EQ(top.Of(WM_LIST_COMMAND_NOTICE).size(), 1u);
}

TEST_F(MiniChartTest, TitleStripGreyPictureOrNone) {
  struct Case {
    int titleHeight;
    const char16_t* picture;
  } cases[] = {{20, nullptr}, {20, u"res\\Tactical_title_bg.png"}, {20, u"res\\no_such_title.png"}, {0, nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.titleHeight);
    wnd = std::make_unique<CMiniMinKLineWnd>();
    wnd->SetTitleHeight(c.titleHeight);
    wnd->SetBorderColor(0x646464);
    ASSERT_TRUE(wnd->Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 300, 200), &parent, 0));
    wnd->LoadTitleImage(c.picture);
    wnd->SetMinuteData(minutes.get(), &hours);
    desk.RunUntilIdle();
    EXPECT_EQ(Pixel(0, 0), qRgb(0x64, 0x64, 0x64)) << "the frame";
    const QRgb strip = Pixel(150, 10);
    if (c.titleHeight == 0) {
      EXPECT_NE(strip, qRgb(0x2C, 0x2C, 0x2C));
      EXPECT_EQ(wnd->GetMinuteChart()->Bounds.bottom, 200 - 1);
    } else if (c.picture && std::u16string(c.picture).find(u"Tactical") != std::u16string::npos) {
      // The generated gradient: blue-grey, darker at the bottom.
      EXPECT_NE(strip, qRgb(0x2C, 0x2C, 0x2C));
      EXPECT_GT(qBlue(strip), qRed(strip));
      EXPECT_GT(qBlue(Pixel(150, 3)), qBlue(Pixel(150, 17)));
    } else {
      EXPECT_EQ(strip, qRgb(0x2C, 0x2C, 0x2C));
    }
  }
}

TEST_F(MiniChartTest, FlatMinuteChartSpansThreeCentsAroundThePreviousClose) {
  Create();
  auto flat = PlainArea(60, 12.5f);
  for (int i = 0; i < 60; ++i) flat->points[i].price = flat->points[i].average = 12.5f;
  wnd->SetMinuteData(flat.get(), &hours);
  desk.RunUntilIdle();
  const MinuteChart* c = wnd->GetMinuteChart();
  EXPECT_EQ(c->PriceLineCount, 7);
  EXPECT_EQ(c->LayoutMode, kMinuteLayoutPriceVolume);
  EXPECT_NEAR(c->PriceScale[0], 12.53f, 1e-4);
  EXPECT_NEAR(c->PriceScale[3], 12.50f, 1e-4);
  EXPECT_NEAR(c->PriceScale[6], 12.47f, 1e-4);
}

TEST_F(MiniChartTest, KeysToTheParentCommandsToTheThirdParent) {
  Create();
  wnd->SetFocus();
  desk.Key(VK_DOWN);
  desk.RunUntilIdle();
  ASSERT_EQ(parent.Of(WM_KEYDOWN).size(), 1u);
  EXPECT_EQ(parent.Of(WM_KEYDOWN)[0].l, 1);
  wnd->SendMessage(WM_KEYDOWN, VK_DOWN, 3);
  MSG m;
  EXPECT_TRUE(PeekMessageW(&m, parent.m_hWnd, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE)) << "posted, not sent";
  desk.RunUntilIdle();
  ASSERT_EQ(parent.Of(WM_KEYDOWN).size(), 2u);
  EXPECT_EQ(parent.Of(WM_KEYDOWN)[1].l, 3);
  wnd->SendMessage(WM_COMMAND, 32771, 0);
  auto notices = top.Of(WM_LIST_COMMAND_NOTICE);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].w, 32771u);
  EXPECT_EQ(notices[0].l, 0);
  // A window with two parents: nobody hears of it.
  auto shallow = std::make_unique<CMiniMinKLineWnd>();
  ASSERT_TRUE(shallow->Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 100, 100), &middle, 0));
  shallow->SendMessage(WM_COMMAND, 32772, 0);
  desk.RunUntilIdle();
  EXPECT_EQ(top.Of(WM_LIST_COMMAND_NOTICE).size(), 1u);
}

// A board's reply thread hands minute and K-line data while the UI thread
// paints and resizes (run under ThreadSanitizer); the engine's areas are
// rewritten after each call without the window noticing.
TEST_F(MiniChartTest, NetworkThreadFeedsWhileTheUiPaints) {
  Create();
  auto engineMinutes = PlainArea(242);
  std::atomic<int> rounds{0};
  std::thread worker([&] {
    for (int i = 0; i < 200; ++i) {
      engineMinutes->pointsHeld = 100 + i % 100;
      if (i % 3 == 2) {
        wnd->SetKLineData(bars.area.get(), bars.workspace.get());
      } else {
        wnd->SetMinuteData(engineMinutes.get(), &hours);
      }
      if (i % 40 == 39) wnd->ClearChart();
      engineMinutes->pointsHeld = 1024;
      ++rounds;
    }
    engineMinutes->pointsHeld = 77;
    wnd->SetMinuteData(engineMinutes.get(), &hours);
    ++rounds;
  });
  for (int step = 0; rounds < 201; ++step) {
    if (step % 5 == 4) wnd->MoveWindow(0, 0, 380 + step % 40, 260);
    wnd->Invalidate(FALSE);
    desk.RunUntilIdle();
  }
  worker.join();
  desk.RunUntilIdle();
  EXPECT_TRUE(wnd->IsMinuteMode());
  EXPECT_EQ(wnd->GetMinuteChart()->Data->pointsHeld, 77);
}

// A board's pair for the eye: a minute window and a K-line window with the
// generated title picture and their buttons, over simbroker's served day.
TEST_F(MiniChartTest, Snapshot) {
  static const ServedDay day;
  auto served = day.Minutes("600036", 1);
  ASSERT_TRUE(served);
  top.MoveWindow(0, 0, 820, 300);
  const char16_t* sel = u"res\\quote_table_item_sel_bg.png";
  const char16_t* normal = u"res\\quote_table_item_bg.png";
  std::unique_ptr<CMiniMinKLineWnd> windows[2];
  for (int i = 0; i < 2; ++i) {
    windows[i] = std::make_unique<CMiniMinKLineWnd>();
    CMiniMinKLineWnd& w = *windows[i];
    w.SetWindowIndex(805 + i);
    w.SetBorderColor(0x646464);
    w.LoadTitleImage(u"res\\Tactical_title_bg.png");
    w.SetTitleHeight(20);
    ASSERT_TRUE(w.Create(nullptr, u"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, CRect(10 + i * 400, 10, 400 + i * 400, 290),
                         &parent, 0));
    w.AddButton(sel, normal, u"分  时", 4003, i == 0, 0xFFFFFF);
    w.AddButton(sel, normal, u"K  线", 4004, i == 1, 0xFFFFFF);
    w.MoveWindow(10 + i * 400, 10, 390, 280);
  }
  windows[0]->SetMinuteData(served.get(), &hours);
  windows[1]->SetKLineData(bars.area.get(), bars.workspace.get());
  desk.RunUntilIdle();
  EXPECT_TRUE(windows[0]->IsMinuteMode());
  EXPECT_FALSE(windows[1]->IsMinuteMode());
  if (const char* dir = std::getenv("ORV_SNAPSHOT_DIR")) {
    EXPECT_TRUE(desk.SavePng(top.m_hWnd, std::string(dir) + "/mini_chart_pair.png"));
  }
}

}  // namespace
