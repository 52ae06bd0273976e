// CTabBar and CTabButton with a recording main window: adding, selecting,
// closing (notice order), layout and squeezing, the show-more menu, the
// close box, titles, tool tips and skin loading.
#include "skin_test_util.h"

#include "controls/tab_bar.h"
#include "platform/kernel/kernel_ini.h"

#include <cstdio>
#include <utility>
#include <cstring>

using namespace skintest;

namespace {

// The fixture strip's frames: home selected, home, tab selected, tab.
const COLORREF kHomeOn = orvtest::ProbeCellColor(0), kHomeOff = orvtest::ProbeCellColor(1),
               kTabOn = orvtest::ProbeCellColor(2), kTabOff = orvtest::ProbeCellColor(3);
// The close strip's frame centres: normal and under the mouse.
const COLORREF kCloseNormal = orvtest::ProbeCellColor(0), kCloseHot = orvtest::ProbeCellColor(1);
constexpr COLORREF kBar = RGB(30, 30, 30), kCloseKey = RGB(73, 73, 73);

struct Notice {
  UINT msg;
  std::uintptr_t page;
  std::string title;  // copied during the call
  int current;        // the bar's current index then
  int count;          // and its number of tabs
};

// The application's main window: records the bar's notices.
class MainRecorder : public CWnd {
 public:
  CTabBar* bar = nullptr;
  std::vector<Notice> notices;
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_OPEN_TAB || msg == WM_CLOSE_TAB) {
      notices.push_back(Notice{msg, static_cast<std::uintptr_t>(w), reinterpret_cast<const char*>(l),
                               bar ? bar->GetCurSel() : -2, bar ? bar->GetTabCount() : -2});
      return 0;
    }
    return CWnd::WindowProc(msg, w, l);
  }
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, RGB(0, 0, 0));
  }
};

class TestApp : public CWinApp {};

// Fixture pictures in a temporary folder: a 4-frame tab strip (30-px
// frames, frames 2 and 3 with transparent 2 × 2 top corners), a 3-frame
// close strip (14-px frames, a 3-px #494949 ring round each), a flat bar
// background and show-more picture, and a theme file naming them.
struct SkinFiles {
  orvtest::TempFolder temp;
  std::string theme;
  std::string tabs;
  SkinFiles() {
    orvtest::ProbePicture strip = orvtest::Probe(120, 32, 4);
    for (int f = 2; f < 4; ++f) {
      strip.transparent.push_back(RECT{30 * f, 0, 30 * f + 2, 2});
      strip.transparent.push_back(RECT{30 * f + 28, 0, 30 * f + 30, 2});
    }
    orvtest::ProbePicture close = orvtest::Probe(42, 14, 3);
    close.keyColor = kCloseKey;
    for (int f = 0; f < 3; ++f) {
      const int l = 14 * f;
      close.keyed.insert(close.keyed.end(), {RECT{l, 0, l + 14, 3}, RECT{l, 11, l + 14, 14}, RECT{l, 0, l + 3, 14},
                                             RECT{l + 11, 0, l + 14, 14}});
    }
    tabs = temp.Path() + "tabs.png";
    EXPECT_TRUE(orvtest::WriteProbePicture(tabs, strip));
    EXPECT_TRUE(orvtest::WriteProbePicture(temp.Path() + "close.png", close));
    WriteFlatPicture(temp.Path() + "bar.png", 8, 32, kBar);
    WriteFlatPicture(temp.Path() + "more.png", 17, 32, RGB(90, 90, 250));
    theme = temp.Path() + "theme.ini";
    const std::pair<const char*, const char*> keys[] = {{"tabbar_background", "bar.png"},
                                                        {"tabbar_showmore", "more.png"},
                                                        {"tabbar_btnbackground", "tabs.png"},
                                                        {"tabbar_close", "close.png"}};
    for (auto& [key, file] : keys)
      WritePrivateProfileStringA("tabbar", key, (temp.Path() + file).c_str(), theme.c_str());
  }
};

class TabBarTest : public ::testing::Test {
 protected:
  TestDesktop desk;
  TestApp app;
  SkinFiles skins;
  MainRecorder main;
  std::unique_ptr<CTabBar> bar = std::make_unique<CTabBar>();

  void SetUp() override {
    ASSERT_TRUE(main.CreateEx(0, nullptr, u"main", WS_POPUP | WS_VISIBLE, CRect(50, 50, 1150, 250), nullptr, 0));
    app.m_pMainWnd = &main;
    main.bar = bar.get();
    ASSERT_EQ(bar->LoadSkin(skins.theme.c_str(), "tabbar"), 1);
  }
  void TearDown() override { app.m_pMainWnd = nullptr; }
  void MakeBar(int w = 500, int h = 32) {
    ASSERT_TRUE(bar->Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(10, 10, 10 + w, 10 + h), &main, 77));
    desk.RunUntilIdle();
  }
  // Home ("首页", page 1) and the titles after it with pages 2, 3, ...
  void AddTabs(std::initializer_list<const char*> titles) {
    bar->AddTab(1, "首页");
    std::uintptr_t page = 2;
    for (const char* t : titles) bar->AddTab(page++, t);
    desk.RunUntilIdle();
    main.notices.clear();
  }
  CRect TabRect(int i) const {
    CRect rc;
    bar->GetTabButton(i)->GetWindowRect(&rc);
    bar->ScreenToClient(&rc);
    return rc;
  }
  QImage ShotOf(CWnd* w) {
    desk.RunUntilIdle();
    return desk.Snapshot(w->m_hWnd);
  }
  void ClickTab(int i, int x, int y) {
    desk.Advance(600);  // never a double click
    desk.Click(bar->GetTabButton(i)->m_hWnd, x, y);
  }
};

TEST_F(TabBarTest, HomeTabIsNarrowPlainAndShowsItsTwoFrames) {
  MakeBar();
  EXPECT_EQ(bar->AddTab(0x1234, "首页"), 1);
  ASSERT_EQ(main.notices.size(), 1u);
  EXPECT_EQ(main.notices[0].msg, WM_OPEN_TAB);
  EXPECT_EQ(main.notices[0].page, 0x1234u);
  EXPECT_EQ(main.notices[0].title, "首页");
  EXPECT_EQ(TabRect(0), CRect(0, 0, 20, 32));
  EXPECT_FALSE(bar->GetTabButton(0)->showClose);
  // Frame 0 whole (its corner markers at the corners), no title, no box.
  QImage on = ShotOf(bar->GetTabButton(0));
  EXPECT_EQ(PixelOf(on, 0, 0), orvtest::ProbeCornerColor(0, 0));
  EXPECT_EQ(PixelOf(on, 19, 31), orvtest::ProbeCornerColor(0, 3));
  EXPECT_GE(CountColor(on, kHomeOn), 20 * 32 - 4);
  bar->AddTab(2, "行情");
  QImage off = ShotOf(bar->GetTabButton(0));
  EXPECT_EQ(PixelOf(off, 19, 0), orvtest::ProbeCornerColor(1, 1));
  EXPECT_GE(CountColor(off, kHomeOff), 20 * 32 - 4);
}

TEST_F(TabBarTest, AddingNotifiesBeforeMarkingAndExistingTitlesAreSelected) {
  MakeBar();
  AddTabs({"行情", "分析"});
  EXPECT_EQ(bar->GetCurSel(), 2);
  EXPECT_EQ(bar->AddTab(9, "交易"), 1);
  ASSERT_EQ(main.notices.size(), 1u);
  EXPECT_EQ(main.notices[0].current, 2);  // still the old index during the notice
  EXPECT_EQ(main.notices[0].count, 4);
  EXPECT_EQ(bar->GetCurSel(), 3);
  EXPECT_TRUE(bar->GetTabButton(3)->selected);
  EXPECT_FALSE(bar->GetTabButton(2)->selected);
  EXPECT_EQ(TabRect(3), CRect(200, 0, 290, 32));

  main.notices.clear();
  EXPECT_EQ(bar->AddTab(99, "行情"), 1);
  EXPECT_EQ(bar->GetTabCount(), 4);
  ASSERT_EQ(main.notices.size(), 1u);
  EXPECT_EQ(main.notices[0].page, 2u);  // the page stored at creation
  EXPECT_EQ(bar->GetCurSel(), 1);
  EXPECT_FALSE(bar->GetTabButton(3)->selected);
}

TEST_F(TabBarTest, ClosingSendsNoticesInOrder) {
  struct Case {
    const char* name;
    int current;  // selected before
    int close;    // index whose close box is clicked
    bool zeroPage;
    std::vector<std::string> expect;  // notices: "C:title" / "O:title"
    int currentAfter;
    int countAfter;
  };
  const Case cases[] = {
      {"left of current", 3, 1, false, {"C:A", "O:C"}, 2, 4},
      {"current last", 4, 4, false, {"C:D", "O:C"}, 3, 4},
      {"right of current", 2, 4, false, {"C:D", "O:B"}, 2, 4},
      {"current in the middle", 2, 2, false, {"C:B", "O:C"}, 2, 4},
      {"page 0 is kept", 2, 2, true, {"C:B", "O:B"}, 2, 5},
  };
  for (const Case& c : cases) {
    bar = std::make_unique<CTabBar>();
    main.bar = bar.get();
    bar->LoadSkin(skins.theme.c_str(), "tabbar");
    MakeBar();
    bar->AddTab(1, "首页");
    bar->AddTab(2, "A");
    bar->AddTab(c.zeroPage ? 0 : 3, "B");
    bar->AddTab(4, "C");
    bar->AddTab(5, "D");
    ClickTab(c.current, 10, 16);
    ASSERT_EQ(bar->GetCurSel(), c.current) << c.name;
    main.notices.clear();
    const int w = TabRect(c.close).Width();
    ClickTab(c.close, w - 20, 4);
    std::vector<std::string> got;
    for (auto& n : main.notices) got.push_back((n.msg == WM_CLOSE_TAB ? "C:" : "O:") + n.title);
    EXPECT_EQ(got, c.expect) << c.name;
    ASSERT_FALSE(main.notices.empty());
    EXPECT_EQ(main.notices[0].count, 5) << c.name;  // the tab still exists
    EXPECT_EQ(bar->GetCurSel(), c.currentAfter) << c.name;
    EXPECT_EQ(bar->GetTabCount(), c.countAfter) << c.name;
    int selected = 0;
    for (int i = 0; i < bar->GetTabCount(); ++i) selected += bar->GetTabButton(i)->selected ? 1 : 0;
    EXPECT_EQ(selected, 1) << c.name;
    EXPECT_TRUE(bar->GetTabButton(c.currentAfter)->selected) << c.name;
    bar->DestroyWindow();
  }
}

TEST_F(TabBarTest, LayoutSqueezesFromSixTabsAt500) {
  MakeBar(500);
  struct Case {
    int n;
    int width;  // of the tabs after the home tab
  };
  const Case cases[] = {{2, 90}, {3, 90}, {5, 90}, {6, 92}, {7, 77}, {8, 66}, {9, 57}, {10, 51}};
  const char* titles[] = {"首页", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
  int added = 0;
  for (const Case& c : cases) {
    while (added < c.n) bar->AddTab(static_cast<std::uintptr_t>(added + 1), titles[added]), ++added;
    EXPECT_EQ(TabRect(0), CRect(0, 0, 20, 32)) << c.n;
    for (int i = 1; i < c.n; ++i)
      EXPECT_EQ(TabRect(i), CRect(20 + (i - 1) * c.width, 0, 20 + i * c.width, 32)) << c.n << " tab " << i;
    EXPECT_LE(TabRect(c.n - 1).right, 483) << c.n;
  }
  CRect more;
  bar->ShowMoreButton().GetWindowRect(&more);
  bar->ScreenToClient(&more);
  EXPECT_EQ(more, CRect(483, 0, 500, 32));
}

TEST_F(TabBarTest, OneTabOnANullWidthBar) {
  MakeBar(0);
  EXPECT_EQ(bar->AddTab(1, "首页"), 1);
  EXPECT_EQ(bar->AddTab(2, "行情"), 1);  // squeezed to a negative width, no crash
  bar->MoveWindow(10, 10, 500, 32);
  desk.RunUntilIdle();
  EXPECT_EQ(TabRect(1), CRect(20, 0, 110, 32));
}

TEST_F(TabBarTest, ShowMoreMenuListsTabsAndActsAsAClick) {
  MakeBar();
  // An empty bar: nothing happens.
  desk.Click(bar->ShowMoreButton().m_hWnd, 8, 16);
  EXPECT_EQ(FindWindowW(WC_POPUPMENU, nullptr), nullptr);
  AddTabs({"行情", "分析", "交易"});
  RECT shown{};
  QImage picture;
  desk.Until([] { return FindWindowW(WC_POPUPMENU, nullptr) != nullptr; });
  desk.Then([&] {
    HWND menu = FindWindowW(WC_POPUPMENU, nullptr);
    GetWindowRect(menu, &shown);
    picture = desk.Snapshot(menu);
  });
  for (UINT vk : {VK_DOWN, VK_DOWN, VK_RETURN}) desk.Then([this, vk] { desk.Key(vk); });
  desk.Advance(600);
  desk.Click(bar->ShowMoreButton().m_hWnd, 8, 16);
  desk.RunUntilIdle();
  EXPECT_FALSE(desk.StepsTimedOut());
  // Right-aligned at the bar's bottom-right corner, one 25-px item per tab.
  CRect barRect;
  bar->GetWindowRect(&barRect);
  EXPECT_EQ(shown.right, barRect.right);
  EXPECT_EQ(shown.top, barRect.bottom);
  EXPECT_EQ(shown.bottom - shown.top, 4 * 25);
  // The current tab (index 3) carries the check mark, no other.
  ASSERT_FALSE(picture.isNull());
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(CountNear(picture, RGB(240, 240, 240), 60, QRect(0, 25 * i, 20, 19)) > 0, i == 3) << "item " << i;
  // The second item chosen: as a click on tab 1.
  ASSERT_EQ(main.notices.size(), 1u);
  EXPECT_EQ(main.notices[0].msg, WM_OPEN_TAB);
  EXPECT_EQ(main.notices[0].title, "行情");
  EXPECT_EQ(bar->GetCurSel(), 1);
}

TEST_F(TabBarTest, CloseBoxHitAreaAndHoverLook) {
  MakeBar();
  AddTabs({"行情", "分析", "交易", "资讯"});
  // Clicking around the close box of tab 1 (90 px wide) selects it.
  for (CPoint p : {CPoint(86, 20), CPoint(69, 4), CPoint(86, 4), CPoint(70, 20)}) {
    ClickTab(1, p.x, p.y);
    EXPECT_EQ(bar->GetTabCount(), 5) << p.x << "," << p.y;
    EXPECT_EQ(bar->GetCurSel(), 1);
  }
  ClickTab(0, 0, 4);  // the home tab never closes
  EXPECT_EQ(bar->GetTabCount(), 5);
  EXPECT_EQ(bar->GetCurSel(), 0);

  // An unselected tab shows its close box only under the mouse; the box's
  // second frame under the mouse. Drawn at (W - c - 5 .. W - 2) = 71 .. 88.
  CTabButton* tab = bar->GetTabButton(2);
  desk.MoveMouse(main.m_hWnd, 900, 150);
  QImage away = ShotOf(tab);
  EXPECT_EQ(CountColor(away, kCloseNormal) + CountColor(away, kCloseHot), 0);
  EXPECT_EQ(PixelOf(away, 45, 1), kTabOff);
  desk.MoveMouse(tab->m_hWnd, 30, 16);
  desk.Advance(10);
  QImage hovered = ShotOf(tab);
  EXPECT_TRUE(tab->hover);
  QRect box = BoxOf(hovered, kCloseNormal);
  ASSERT_FALSE(box.isNull());
  EXPECT_GE(box.left(), 71);
  EXPECT_LE(box.right(), 87);
  EXPECT_EQ(PixelOf(hovered, 72, 16), kTabOff);  // #494949 is transparent
  // The centred title's room ends at W - 24 instead of W - 4: its centre
  // moves 10 px to the left.
  auto titleBox = [](const QImage& img) {
    QRect box;
    for (int y = 6; y < 26; ++y)
      for (int x = 2; x < 68; ++x)
        if (CountNear(img, RGB(255, 255, 255), 40, QRect(x, y, 1, 1))) box = box.united(QRect(x, y, 1, 1));
    return box;
  };
  const QRect before = titleBox(away), after = titleBox(hovered);
  ASSERT_FALSE(before.isNull());
  EXPECT_NEAR(after.center().x(), before.center().x() - 10, 1);
  desk.MoveMouse(tab->m_hWnd, 78, 10);
  QImage hot = ShotOf(tab);
  EXPECT_GT(CountColor(hot, kCloseHot), 0);
  EXPECT_EQ(CountColor(hot, kCloseNormal), 0);
  desk.MoveMouse(main.m_hWnd, 900, 150);
  EXPECT_FALSE(tab->hover);
  EXPECT_FALSE(tab->closeHot);
  // A selected tab always shows its box; the slices keep the bar under the
  // transparent top corners.
  QImage home = ShotOf(bar->GetTabButton(1));
  EXPECT_EQ(CountColor(home, kCloseNormal) > 0, false);
  ClickTab(1, 30, 16);
  QImage sel = ShotOf(bar->GetTabButton(1));
  EXPECT_GT(CountColor(sel, kCloseNormal), 0);
  EXPECT_EQ(PixelOf(sel, 45, 2), kTabOn);
  EXPECT_EQ(PixelOf(sel, 0, 0), kBar);            // transparent corner
  EXPECT_EQ(PixelOf(sel, 0, 31), orvtest::ProbeCornerColor(2, 2));   // left slice
  EXPECT_EQ(PixelOf(sel, 89, 31), orvtest::ProbeCornerColor(2, 3));  // right slice
}

TEST_F(TabBarTest, LongTitlesAreCutOnACharacterAndShownWholeInTheTip) {
  MakeBar();
  AddTabs({});
  std::string title = "a";
  for (int i = 0; i < 23; ++i) title += "中";  // 70 bytes
  ASSERT_EQ(title.size(), 70u);
  bar->AddTab(7, title.c_str());
  bar->AddTab(8, title.c_str());
  EXPECT_EQ(bar->GetTabCount(), 2);
  EXPECT_EQ(std::strlen(bar->GetTabTitle(1)), 61u);  // 63 would split a character
  EXPECT_EQ(std::string(bar->GetTabTitle(1)), title.substr(0, 61));
  CTabButton* tab = bar->GetTabButton(1);
  EXPECT_EQ(tab->GetWindowText().size(), 21u);
  // Resting over the tab for 150 ms shows the whole title.
  desk.MoveMouse(tab->m_hWnd, 30, 16);
  desk.Advance(160);
  ASSERT_TRUE(tab->ToolTip().IsWindowVisible());
  EXPECT_EQ(tab->ToolTip().GetWindowText(), tab->GetWindowText());
  // Bytes that are no UTF-8 become U+FFFD.
  bar->AddTab(9, "\xff\xfe" "ab");
  EXPECT_EQ(bar->GetTabButton(2)->GetWindowText(), u"\uFFFD\uFFFDab");
  // Selection and closing with a button that is not the bar's change nothing.
  CTabButton stranger;
  EXPECT_EQ(bar->SendMessage(WM_TABBUTTON_CLOSE, 0, reinterpret_cast<LPARAM>(&stranger)), 0);
  EXPECT_EQ(bar->SendMessage(WM_TABBUTTON_SELECT, 0, reinterpret_cast<LPARAM>(&stranger)), 0);
  EXPECT_EQ(bar->GetTabCount(), 3);
}

TEST_F(TabBarTest, SkinLoadingErrors) {
  struct Case {
    const char* name;
    const char* background;  // value of tabbar_btnbackground
    const char* close;
    const char16_t* box;     // the message shown, or null
    int result;
  };
  orvtest::TempFolder temp;
  const std::string notPicture = temp.Path() + "not_a_picture.png";
  FILE* f = std::fopen(notPicture.c_str(), "w");
  ASSERT_TRUE(f);
  std::fputs("this is text", f);
  std::fclose(f);
  const std::string missing = temp.Path() + "missing.png";
  const std::string good = skins.tabs;
  const std::string tooLong = good + std::string(300, 'x');  // cut at 255: no such file
  const Case cases[] = {
      {"missing files", missing.c_str(), missing.c_str(), nullptr, 1},
      {"empty keys", "", "", nullptr, 1},
      {"values longer than 255", tooLong.c_str(), tooLong.c_str(), nullptr, 1},
      {"background no picture", notPicture.c_str(), good.c_str(), u"加载m_bmpBmpBkgnd图片失败！", 0},
      {"close no picture", good.c_str(), notPicture.c_str(), u"加载m_bmpClose图片失败！", 0},
  };
  const std::string theme = temp.Path() + "errors.ini";
  for (const Case& c : cases) {
    WritePrivateProfileStringA("tabbar", "tabbar_btnbackground", c.background, theme.c_str());
    WritePrivateProfileStringA("tabbar", "tabbar_close", c.close, theme.c_str());
    const size_t before = desk.Boxes().size();
    CTabButton button;
    EXPECT_EQ(button.LoadSkin(theme.c_str(), "tabbar"), c.result) << c.name;
    if (!c.box) {
      EXPECT_EQ(desk.Boxes().size(), before) << c.name;
      continue;
    }
    ASSERT_EQ(desk.Boxes().size(), before + 1) << c.name;
    EXPECT_EQ(desk.Boxes().back().text, WString(c.box)) << c.name;
    EXPECT_EQ(desk.Boxes().back().caption, AfxGetAppName()) << c.name;
  }
  // A missing theme file or section: empty pictures, no message.
  CTabButton button;
  EXPECT_EQ(button.LoadSkin((temp.Path() + "no_theme.ini").c_str(), "tabbar"), 1);
  EXPECT_EQ(button.LoadSkin(theme.c_str(), "nosection"), 1);
}

}  // namespace
