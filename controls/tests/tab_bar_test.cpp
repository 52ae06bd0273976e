// CTabBar and CTabButton with a recording main window: adding, selecting,
// closing (notice order), layout and squeezing, the show-more menu, the
// close box, titles, tool tips and skin loading.
#include "skin_test_util.h"

#include "controls/tab_bar.h"
#include "platform/kernel/kernel_ini.h"

#include <cstdio>
#include <cstring>

using namespace skintest;

namespace {

constexpr COLORREF kHomeOn = RGB(200, 0, 0), kHomeOff = RGB(0, 160, 0), kTabOn = RGB(0, 0, 200),
                   kTabOff = RGB(200, 200, 0), kBar = RGB(30, 30, 30), kCloseNormal = RGB(0, 200, 200),
                   kCloseHot = RGB(255, 0, 255);

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

// Fixture pictures: a 4-frame tab strip (30 px frames, frames 2 and 3 with
// transparent top corners), a 3-frame close strip (14 px frames with a
// #494949 ring), a bar background and a show-more picture.
struct SkinFiles {
  std::vector<std::string> paths;
  std::string theme;
  std::string Add(const std::string& name, const QImage& img) {
    std::string path = TempFile(name);
    img.save(QString::fromStdString(path), "PNG");
    paths.push_back(path);
    return path;
  }
  SkinFiles() {
    QImage strip(120, 32, QImage::Format_ARGB32);
    const COLORREF frames[4] = {kHomeOn, kHomeOff, kTabOn, kTabOff};
    for (int f = 0; f < 4; ++f)
      for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 30; ++x) {
          COLORREF c = frames[f];
          bool corner = f >= 2 && y < 2 && (x < 2 || x >= 28);
          strip.setPixel(30 * f + x, y, corner ? 0u : qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
        }
    QImage close(42, 14, QImage::Format_RGB32);
    close.fill(qRgb(73, 73, 73));
    for (int y = 3; y < 11; ++y)
      for (int x = 3; x < 11; ++x) {
        close.setPixel(x, y, qRgb(0, 200, 200));
        close.setPixel(14 + x, y, qRgb(255, 0, 255));
        close.setPixel(28 + x, y, qRgb(255, 255, 255));
      }
    QImage bar(8, 32, QImage::Format_RGB32);
    bar.fill(qRgb(30, 30, 30));
    QImage more(17, 32, QImage::Format_RGB32);
    more.fill(qRgb(90, 90, 250));
    theme = TempFile("theme.ini");
    WritePrivateProfileStringA("tabbar", "tabbar_background", Add("bar.png", bar).c_str(), theme.c_str());
    WritePrivateProfileStringA("tabbar", "tabbar_showmore", Add("more.png", more).c_str(), theme.c_str());
    WritePrivateProfileStringA("tabbar", "tabbar_btnbackground", Add("tabs.png", strip).c_str(), theme.c_str());
    WritePrivateProfileStringA("tabbar", "tabbar_close", Add("close.png", close).c_str(), theme.c_str());
    paths.push_back(theme);
  }
  ~SkinFiles() {
    for (auto& p : paths) std::remove(p.c_str());
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
  QImage on = ShotOf(bar->GetTabButton(0));
  EXPECT_EQ(CountColor(on, kHomeOn), 20 * 32);  // frame 0 alone: no title, no close box
  bar->AddTab(2, "行情");
  QImage off = ShotOf(bar->GetTabButton(0));
  EXPECT_EQ(CountColor(off, kHomeOff), 20 * 32);
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
  EXPECT_EQ(PixelOf(sel, 0, 0), kBar);
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
  const std::string notPicture = TempFile("not_a_picture.png");
  FILE* f = std::fopen(notPicture.c_str(), "w");
  ASSERT_TRUE(f);
  std::fputs("this is text", f);
  std::fclose(f);
  const std::string missing = TempFile("missing.png");
  const std::string good = skins.paths[2];
  const std::string tooLong = good + std::string(300, 'x');  // cut at 255: no such file
  const Case cases[] = {
      {"missing files", missing.c_str(), missing.c_str(), nullptr, 1},
      {"empty keys", "", "", nullptr, 1},
      {"values longer than 255", tooLong.c_str(), tooLong.c_str(), nullptr, 1},
      {"background no picture", notPicture.c_str(), good.c_str(), u"加载m_bmpBmpBkgnd图片失败！", 0},
      {"close no picture", good.c_str(), notPicture.c_str(), u"加载m_bmpClose图片失败！", 0},
  };
  const std::string theme = TempFile("errors.ini");
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
  }
  // A missing theme file or section: empty pictures, no message.
  CTabButton button;
  EXPECT_EQ(button.LoadSkin(TempFile("no_theme.ini").c_str(), "tabbar"), 1);
  EXPECT_EQ(button.LoadSkin(theme.c_str(), "nosection"), 1);
  std::remove(notPicture.c_str());
  std::remove(theme.c_str());
}

}  // namespace
